#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kConnectTimeoutMs = 1000;

// The socket's file name. The caption holds blanks and brackets and may be
// long; a hash keeps the name short and portable.
QString socketFileName(const QString& key)
{
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("vren-kesto-") + QString::fromLatin1(hash);
}

bool fitsSocketAddress(const QString& path)
{
    return QFile::encodeName(path).size() <= SingleInstance::kMaxSocketPathBytes;
}

// A folder of this user into which nobody else can put a socket.
bool isPrivateFolder(const struct stat& st)
{
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// "<base>/vren-kesto-<uid>", created with mode 0700 when missing. The base is
// shared with other users: a link or a folder someone else made under that
// name is not used. Empty if the folder is not usable.
QString perUserFolder(const QString& base)
{
    const QString folder = QDir::cleanPath(base) + QStringLiteral("/vren-kesto-") + QString::number(::geteuid());
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return {};
    // Ours, but opened up (by hand, or made under another umask rule): close it.
    if ((st.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return {};
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), key_(key)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::userRuntimeFolder()
{
    // The session's own folder (systemd-logind makes /run/user/<uid>, 0700).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime)) {
        struct stat st {};
        if (::stat(QFile::encodeName(runtime).constData(), &st) == 0 && isPrivateFolder(st))
            return QDir::cleanPath(runtime);
    }
    return perUserFolder(QDir::tempPath());
}

QString SingleInstance::socketPathFor(const QString& key)
{
    const QString name = socketFileName(key);
    const QString runtime = userRuntimeFolder();
    if (!runtime.isEmpty() && fitsSocketAddress(runtime + u'/' + name))
        return runtime + u'/' + name;
    // A runtime folder too deep for a socket address: the per-user folder of
    // the temporary folder, or of /tmp if even that is too deep. Every copy of
    // the user takes the same way, so they still find each other.
    for (const QString& base : {QDir::tempPath(), QStringLiteral("/tmp")}) {
        const QString folder = perUserFolder(base);
        if (!folder.isEmpty() && fitsSocketAddress(folder + u'/' + name))
            return folder + u'/' + name;
    }
    return {};
}

bool SingleInstance::acquire()
{
    path_ = socketPathFor(key_);
    if (path_.isEmpty()) {
        // Without a folder of our own any other user could pose as the first
        // copy; run unguarded rather than not at all.
        qWarning("SingleInstance: no private runtime folder for the instance socket; not checking for another copy");
        return true;
    }
    {
        // Ask first: listening would quietly take the name over from a
        // running copy, since the socket file is replaced.
        QLocalSocket probe;
        probe.connectToServer(path_);
        if (probe.waitForConnected(kConnectTimeoutMs)) {
            probe.write("attention\n");
            probe.waitForBytesWritten(kConnectTimeoutMs);
            probe.disconnectFromServer();
            return false;
        }
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            emit attentionRequested();
        }
    });
    // A socket left by a copy that crashed is taken over (with
    // UserAccessOption the new socket replaces the file); if even listening
    // fails, run unguarded rather than not at all.
    server_->listen(path_);
    return true;
}
