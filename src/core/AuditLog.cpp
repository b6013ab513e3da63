#include "core/AuditLog.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "core/CodePage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

AuditLog::AuditLog(QString folder, Warn warn, Now now)
    : folder_(std::move(folder)), warn_(std::move(warn)), now_(std::move(now))
{
    if (!now_)
        now_ = [] { return QDateTime::currentDateTime(); };
}

QString AuditLog::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs");
}

QString AuditLog::fileFor(const QDate& day) const
{
    return folder_ + QLatin1Char('/') + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log");
}

void AuditLog::appendLine(const QString& text)
{
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));

    int error = 0;
    {
        // The lock keeps the day's file and folder checks of two threads
        // apart (the append itself is one write() in any case), and the time
        // is taken under it, so that the file's lines stand in time order.
        std::lock_guard lock(mutex_);
        const QDateTime at = now_();
        const QByteArray bytes = (at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char(' ') + line
                                  + QLatin1Char('\n')).toUtf8();
        QDir().mkpath(folder_);
        const QByteArray path = QFile::encodeName(fileFor(at.date()));
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = errno;
        } else {
            const ssize_t written = ::write(fd, bytes.constData(), std::size_t(bytes.size()));
            if (written != ssize_t(bytes.size()))
                error = written < 0 ? errno : ENOSPC;
            if (::close(fd) != 0 && error == 0)
                error = errno;
        }
    }
    if (error != 0 && !failed_.exchange(true) && warn_)
        warn_(QStringLiteral("The log file in %1 cannot be written (%2); the log pane goes on without it.")
                  .arg(folder_, QString::fromLocal8Bit(std::strerror(error))));
}

QString AuditLog::resultRecord(const char* operation, int dev, std::string_view identification,
                               std::string_view location, std::string_view result, const QString& note)
{
    QString line = QStringLiteral("RESULT %1 Dev%2 id=\"%3\" usb=%4 result=\"%5\"")
                       .arg(QString::fromLatin1(operation))
                       .arg(dev + 1, 2, 10, QLatin1Char('0'))
                       .arg(fromCodePage(identification))
                       .arg(location.empty() ? QStringLiteral("?") : fromCodePage(location))
                       .arg(fromCodePage(result));
    if (!note.isEmpty())
        line += QLatin1Char(' ') + note;
    return line;
}
