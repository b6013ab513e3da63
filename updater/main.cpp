// AutoUpdator: brings the configurator in its folder up to the newest
// version the update description lists, then starts it again.
//
// The configurator writes this program into its own folder and starts it
// without arguments. It reads the update address from the settings file
// there, as the configurator does.
//
//   AutoUpdator [--close-on-failure]
//
// --close-on-failure: after a failure, start the configurator and end at
// once instead of waiting for Close (for tests).

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

#include "UpdaterJob.h"
#include "UpdaterWindow.h"
#include "update/UpdateDescription.h"

namespace {

QString processExecutable(const QString& pid)
{
#ifdef Q_OS_LINUX
    char buffer[4096];
    const QByteArray link = QFile::encodeName(QStringLiteral("/proc/%1/exe").arg(pid));
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer - 1);
    return n > 0 ? QFile::decodeName(QByteArray(buffer, int(n))) : QString();
#else
    Q_UNUSED(pid);
    return {}; // elsewhere the old copy is not looked for
#endif
}

// The configurator lets one copy run at a time: a new one started while the
// old one is still closing would only wave at it and end.
bool configuratorRunning(const QString& program)
{
    const QString deleted = program + QStringLiteral(" (deleted)");
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        entry.toLongLong(&number);
        if (!number || entry == self)
            continue;
        const QString exe = processExecutable(entry);
        if (exe == program || exe == deleted)
            return true;
    }
    return false;
}

bool startConfigurator(const QString& folder, QString* error)
{
    const QString program = QFileInfo(folder).canonicalFilePath() + u'/' + QLatin1String(kConfiguratorFileName);
    QElapsedTimer waited;
    waited.start();
    while (configuratorRunning(program) && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    if (!QFileInfo(program).isExecutable()) {
        *error = QStringLiteral("%1 is missing or not executable.").arg(program);
        return false;
    }
    if (!QProcess::startDetached(program, {}, folder)) {
        *error = QStringLiteral("%1 could not be started.").arg(program);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("AutoUpdator"));

    QCommandLineParser parser;
    const QCommandLineOption closeOnFailure(QStringLiteral("close-on-failure"),
                                            QStringLiteral("Do not wait for Close after a failure."));
    parser.addOption(closeOnFailure);
    parser.addHelpOption();
    parser.process(app);

    const QString folder = QCoreApplication::applicationDirPath();
    UpdaterJob::Options options;
    options.programFolder = folder;
    options.baseUrl = updateBaseUrl(folder + u'/' + QLatin1String(kSettingsFileName));

    UpdaterWindow window;
    UpdaterJob job(options);
    bool ended = false;
    int exitCode = 0;

    const auto finish = [&](int code) {
        QString error;
        if (!startConfigurator(folder, &error)) {
            qWarning("%s", qPrintable(error));
            if (code == 0) {
                window.showFailure(QStringLiteral("The update is installed, but %1").arg(error));
                exitCode = 2;
                if (!parser.isSet(closeOnFailure))
                    return;
                code = 2;
            }
        }
        QCoreApplication::exit(code);
    };

    QObject::connect(&job, &UpdaterJob::listed, &window, [&] {
        QList<UpdaterWindow::Line> lines;
        for (const UpdaterRow& row : job.rows())
            lines.append({row.name, row.version,
                          row.refused ? QStringLiteral("refused") : QStringLiteral("waiting")});
        window.setLines(lines);
        window.setStatus(QStringLiteral("Downloading from %1 ...").arg(options.baseUrl));
    });
    QObject::connect(&job, &UpdaterJob::fileProgress, &window, &UpdaterWindow::setLineProgress);
    QObject::connect(&job, &UpdaterJob::fileDone, &window, [&](int row) { window.setLineState(row, QStringLiteral("done")); });
    QObject::connect(&job, &UpdaterJob::overallProgress, &window, &UpdaterWindow::setOverall);
    QObject::connect(&job, &UpdaterJob::finished, &window, [&](bool ok, const QString& message) {
        ended = true;
        if (ok) {
            window.setStatus(message + QStringLiteral(" Starting VREN Kesto Configurator..."));
            finish(0);
            return;
        }
        qWarning("AutoUpdator: %s", qPrintable(message));
        exitCode = 1;
        window.showFailure(message);
        if (parser.isSet(closeOnFailure))
            finish(1);
    });
    QObject::connect(&window, &UpdaterWindow::closeRequested, &window, [&] {
        if (!ended) {
            job.cancel(); // finished() follows with the failure
            return;
        }
        // The program is as it was (or updated): the user gets it back.
        finish(exitCode);
    });

    window.show();
    // From the event loop, so that a failure at once can still end it.
    QTimer::singleShot(0, &job, &UpdaterJob::start);
    return app.exec();
}
