#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr int kConnectTimeoutMs = 1000;
}

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), key_(key)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketName(const QString& key)
{
    // The caption holds blanks and brackets; a hash keeps the name portable,
    // and the user id keeps two users of one machine apart.
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("vren-kesto-%1-%2").arg(QString::fromLatin1(qgetenv("USER")), QString::fromLatin1(hash));
}

bool SingleInstance::acquire()
{
    const QString name = socketName(key_);
    {
        // Ask first: listening would quietly take the name over from a
        // running copy, since the socket file is replaced.
        QLocalSocket probe;
        probe.connectToServer(name);
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
    // A socket left by a copy that crashed is taken over; if even listening
    // fails, run unguarded rather than not at all.
    server_->listen(name);
    return true;
}
