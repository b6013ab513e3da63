// The demo bench: the configurator on emulated writers, no hardware needed,
// with a panel that plugs, unplugs and sets up the writers.
//
// --screenshot FILE: plug in a writer and unplug the first one, save a picture
// of the screen to FILE and end (for a run under xvfb-run).
// --screenshot-config FILE: a Config Load, then a Config Save to every writer,
// with pictures FILE-load.png and FILE-save.png.
// --screenshot-tooltip FILE: a Config Load, then the first writer row's
// tooltip (identification, firmware, USB location) shown and pictured.
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QToolTip>

#include "app/ContactList.h"

#include "DemoBench.h"
#include "DemoPanel.h"
#include "app/Application.h"
#include <QSlider>

#include "pages/CTab_ConfigSave.h"

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
    QString configShots;
    if (const int i = int(args.indexOf(QStringLiteral("--screenshot-config"))); i >= 0 && i + 1 < args.size())
        configShots = args[i + 1];
    if (!configShots.isEmpty()) {
        auto grab = [](const QString& file) { QGuiApplication::primaryScreen()->grabWindow(0).save(file); };
        QTimer::singleShot(1500, &panel, [] {
            if (CVREN_KESTO_CONFIGURATORDlg* window = mainWindow())
                window->configPage()->OnConfigLoad();
        });
        QTimer::singleShot(3500, &panel, [grab, configShots, &panel] {
            grab(configShots + QStringLiteral("-load.png"));
            panel.select(2);
            if (CVREN_KESTO_CONFIGURATORDlg* window = mainWindow()) {
                window->configPage()->speedSlider()->setValue(8); // an edit the save carries
                window->configPage()->OnConfigSave();
            }
        });
        QTimer::singleShot(6000, &panel, [grab, configShots] {
            grab(configShots + QStringLiteral("-save.png"));
            if (CVREN_KESTO_CONFIGURATORDlg* window = mainWindow())
                window->close();
            QCoreApplication::quit();
        });
    }
    QString tooltipShot;
    if (const int i = int(args.indexOf(QStringLiteral("--screenshot-tooltip"))); i >= 0 && i + 1 < args.size())
        tooltipShot = args[i + 1];
    if (!tooltipShot.isEmpty()) {
        QTimer::singleShot(1500, &panel, [] {
            if (CVREN_KESTO_CONFIGURATORDlg* window = mainWindow())
                window->configPage()->OnConfigLoad();
        });
        QTimer::singleShot(3500, &panel, [] {
            CVREN_KESTO_CONFIGURATORDlg* window = mainWindow();
            if (!window || window->contactList()->GetRowCount() == 0)
                return;
            ContactList* list = window->contactList();
            const QModelIndex cell = list->model()->index(0, ContactList::ColumnStatus);
            const QPoint at = list->viewport()->mapToGlobal(list->visualRect(cell).center());
            QToolTip::showText(at, cell.data(Qt::ToolTipRole).toString(), list->viewport());
        });
        QTimer::singleShot(4500, &panel, [tooltipShot] {
            QGuiApplication::primaryScreen()->grabWindow(0).save(tooltipShot);
            if (CVREN_KESTO_CONFIGURATORDlg* window = mainWindow())
                window->close();
            QCoreApplication::quit();
        });
    }
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
