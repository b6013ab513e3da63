#pragma once
// The About box: the program's versions and the Program Upgrade Check. The
// check's decisions are ProgramUpgradeCheck's; the box shows the versions,
// waits for the remote description behind a small progress dialog, and closes
// itself and the main window when the updater has taken over.

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

#include "update/UpgradeCheck.h"

class QLabel;
class QPushButton;
class UpdateBoxes;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // Empty parts of `environment` are filled with the real ones: the
    // executable's folder and settings file, boxes over this box, the user's
    // profile. `closeMainWindow` is called after a hand-over to the updater.
    explicit CAboutDlg(QWidget* parent = nullptr, UpgradeCheckEnvironment environment = {},
                       std::function<void()> closeMainWindow = {});
    ~CAboutDlg() override;

    // Button 1034.
    UpgradeOutcome OnUpgradeCheck();

    // Lines 1000 and 1001.
    static std::string productVersionLine();
    static std::string buildLine();

private:
    UpgradeCheckEnvironment env_;
    std::unique_ptr<UpdateBoxes> ownBoxes_;
    std::function<void()> closeMainWindow_;
};
