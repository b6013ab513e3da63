#include <QApplication>

#include "app/Application.h"

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    CVREN_KESTO_CONFIGURATORApp app;
    return app.InitInstance();
}
