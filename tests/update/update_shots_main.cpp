// The About box and the updater's window, saved as PNG files.
//
//   kesto_update_shots [--about FILE] [--updater FILE]
//
// The updater's window shows a download in the middle: one file done, one
// on its way, one waiting and one refused name.

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>

#include "UpdaterWindow.h"
#include "update/CAboutDlg.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption aboutFile(QStringLiteral("about"), QStringLiteral("Save the About box."), QStringLiteral("FILE"));
    const QCommandLineOption updaterFile(QStringLiteral("updater"), QStringLiteral("Save the updater's window."),
                                         QStringLiteral("FILE"));
    parser.addOptions({aboutFile, updaterFile});
    parser.addHelpOption();
    parser.process(app);

    CAboutDlg about;
    about.show();

    UpdaterWindow updater;
    updater.setLines({{QStringLiteral("VREN_Kesto_Configurator"), QStringLiteral("2.10.9176.10"), QStringLiteral("waiting")},
                      {QStringLiteral("chips/SOLVAN.cfg"), QStringLiteral("1.3"), QStringLiteral("waiting")},
                      {QStringLiteral("update-notes.txt"), QStringLiteral("2.10"), QStringLiteral("waiting")},
                      {QStringLiteral("../outside.bin"), QStringLiteral("1"),
                       QStringLiteral("refused")}});
    updater.setLineProgress(0, 4200000, 4200000);
    updater.setLineState(0, QStringLiteral("done"));
    updater.setLineProgress(1, 61000, 145000);
    updater.setOverall(1, 3, 61000.0 / 145000.0);
    updater.setStatus(QStringLiteral("Downloading from https://update.velmont.example ..."));
    updater.move(about.width() + 20, 0);
    updater.show();

    int status = 0;
    QTimer::singleShot(300, &app, [&] {
        if (parser.isSet(aboutFile) && !about.grab().save(parser.value(aboutFile)))
            status = 1;
        if (parser.isSet(updaterFile) && !updater.grab().save(parser.value(updaterFile)))
            status = 1;
        if (parser.isSet(aboutFile) || parser.isSet(updaterFile))
            app.exit(status);
    });
    return app.exec();
}
