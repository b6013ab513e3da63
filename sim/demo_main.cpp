// The demo bench: the configurator on emulated writers, no hardware needed.
#include <QApplication>

#include "DemoBench.h"
#include "app/Application.h"

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    DemoBench bench;
    bench.plugStartingWriters();
    CVREN_KESTO_CONFIGURATORApp app;
    return app.InitInstance(bench.environment(), CVREN_KESTO_CONFIGURATORDlg::caption() + QStringLiteral(" demo"));
}
