#pragma once
// The application: one copy at a time, the main window until it is closed.

#include <QString>

#include "app/MainWindow.h"

class CVREN_KESTO_CONFIGURATORApp {
public:
    // Runs the program; returns its exit code. A second copy asks the first
    // window for attention and ends at once without a window. `instanceKey`
    // defaults to the caption.
    int InitInstance(MainWindowEnvironment environment = {}, QString instanceKey = {});
};
