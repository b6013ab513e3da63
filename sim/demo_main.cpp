// The demo bench: the configurator on emulated writers, no hardware needed,
// with a panel that plugs, unplugs and sets up the writers.
//
// --screenshot FILE: plug in a writer and unplug the first one, save a picture
// of the screen to FILE and end (for a run under xvfb-run).
#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "DemoBench.h"
#include "DemoPanel.h"
#include "app/Application.h"

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    QString screenshot;
    const QStringList args = QCoreApplication::arguments();
    if (const int i = int(args.indexOf(QStringLiteral("--screenshot"))); i >= 0 && i + 1 < args.size())
        screenshot = args[i + 1];

    DemoBench bench;
    bench.plugStartingWriters();
    DemoPanel panel(bench);
    // Beside the main window, once it is placed.
    QTimer::singleShot(0, &panel, [&panel] {
        if (CVREN_KESTO_CONFIGURATORDlg* window = mainWindow())
            panel.move(window->frameGeometry().right() + 12, window->frameGeometry().top());
        panel.show();
    });
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(1500, &panel, [&panel] { panel.plugNew(); });
        QTimer::singleShot(3000, &panel, [&panel] {
            panel.select(0);
            panel.unplugSelected();
            panel.select(1);
        });
        QTimer::singleShot(4500, &panel, [screenshot] {
            QGuiApplication::primaryScreen()->grabWindow(0).save(screenshot);
            if (CVREN_KESTO_CONFIGURATORDlg* window = mainWindow())
                window->close();
            QCoreApplication::quit();
        });
    }
    CVREN_KESTO_CONFIGURATORApp app;
    return app.InitInstance(bench.environment(), CVREN_KESTO_CONFIGURATORDlg::caption() + QStringLiteral(" demo"));
}
