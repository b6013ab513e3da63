// The demo bench: the configurator on emulated writers, no hardware needed,
// with a panel that plugs, unplugs and sets up the writers.
//
// --screenshot FILE: plug in a writer and unplug the first one, save a picture
// of the screen to FILE and end (for a run under xvfb-run).
// --screenshot-config FILE: a Config Load, then a Config Save to every writer,
// with pictures FILE-load.png and FILE-save.png.
// --screenshot-tooltip FILE: a Config Load, then the first writer row's
// tooltip (identification, firmware, USB location) shown and pictured.
// --screenshot-init DIR: initialize the writers from the "Kesto Initial" page
// (answering its question Yes), save the window before, during and after to
// DIR/init_page.png, init_during.png and init_after.png, give the first
// writer its files back and end. Takes about 35 seconds: writers 2..4 are
// left alone for 30 seconds (the two in download mode then refuse the format).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QToolTip>

#include "app/ContactList.h"

#include <cstdio>

#include "DemoBench.h"
#include "DemoPanel.h"
#include "app/Application.h"
#include "pages/CTab_ConfigSave.h"
#include "app/COptionTabCtrl.h"
#include "pages/CTab_KestoFormat.h"

namespace {

void printFiles(DemoBench& bench, const char* when)
{
    std::printf("%s:\n", when);
    for (const auto& w : bench.bus().writers())
        std::printf("  %s: %zu file(s)\n", w->identification().c_str(), w->fileNames().size());
    std::fflush(stdout);
}

void saveWindow(const QString& file)
{
    if (CVREN_KESTO_CONFIGURATORDlg* window = mainWindow()) {
        const bool saved = window->grab().save(file);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
        std::fflush(stdout);
    }
}

// The initialization run as a user does it, with pictures along the way.
void initializeWithScreenshots(DemoBench& bench, DemoPanel& panel, const QString& dir)
{
    QTimer::singleShot(1500, &panel, [&bench, &panel, dir] {
        CVREN_KESTO_CONFIGURATORDlg* window = mainWindow();
        if (!window)
            return;
        printFiles(bench, "before");
        window->tabControl()->tabBar()->setCurrentIndex(1);
        QTimer::singleShot(300, &panel, [&bench, &panel, dir, window] {
            saveWindow(QDir(dir).filePath(QStringLiteral("init_page.png")));
            // The question comes up modal; Yes as soon as it shows.
            auto* answer = new QTimer(&panel);
            QObject::connect(answer, &QTimer::timeout, answer, [answer] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    box->button(QMessageBox::Yes)->click();
                    answer->deleteLater();
                }
            });
            answer->start(100);
            QTimer::singleShot(0, window->initPage()->runButton(), &QPushButton::click);
            QTimer::singleShot(2500, &panel, [&bench, &panel, dir, window] {
                saveWindow(QDir(dir).filePath(QStringLiteral("init_during.png")));
                auto* finished = new QTimer(&panel);
                QObject::connect(finished, &QTimer::timeout, finished, [&bench, &panel, dir, window, finished] {
                    if (window->initPage()->initRunning || window->operationRunning())
                        return;
                    finished->deleteLater();
                    saveWindow(QDir(dir).filePath(QStringLiteral("init_after.png")));
                    printFiles(bench, "after the initialization");
                    panel.select(0);
                    panel.giveFilesToSelected();
                    printFiles(bench, "after giving the first writer its files back");
                    window->close();
                    QCoreApplication::quit();
                });
                finished->start(500);
            });
        });
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    QString screenshot;
    QString initShots;
    const QStringList args = QCoreApplication::arguments();
    if (const int i = int(args.indexOf(QStringLiteral("--screenshot"))); i >= 0 && i + 1 < args.size())
        screenshot = args[i + 1];
    if (const int i = int(args.indexOf(QStringLiteral("--screenshot-init"))); i >= 0 && i + 1 < args.size())
        initShots = args[i + 1];

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
    if (!initShots.isEmpty())
        initializeWithScreenshots(bench, panel, initShots);
    CVREN_KESTO_CONFIGURATORApp app;
    return app.InitInstance(bench.environment(), CVREN_KESTO_CONFIGURATORDlg::caption() + QStringLiteral(" demo"));
}
