#pragma once
// A small HTTP server on 127.0.0.1 for the update tests, on a thread of its
// own so that a test may block (waiting for a process) while it serves.
// Each path answers as set; every other path is 404. Connections close after
// one answer. Everything ends with the object.

#include <QByteArray>
#include <QHash>
#include <QMetaObject>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>

class LocalHttpServer {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        bool sendLength = true; // without it the body ends when the connection does
        int delayMs = 0;
        bool never = false;     // accept the request, never answer
    };

    LocalHttpServer()
    {
        core_ = new Core(*this);
        core_->moveToThread(&thread_);
        QObject::connect(&thread_, &QThread::finished, core_, &QObject::deleteLater);
        thread_.start();
        QMetaObject::invokeMethod(core_, [this] { port_ = core_->listen(); }, Qt::BlockingQueuedConnection);
    }
    ~LocalHttpServer()
    {
        thread_.quit();
        thread_.wait(5000);
    }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }
    quint16 port() const { return port_; }

    // `path` as the client sends it, decoded ("/download/VREN_Kesto/update.xml").
    void set(const QString& path, Answer answer)
    {
        QMutexLocker lock(&mutex_);
        answers_.insert(path, std::move(answer));
    }
    void set(const QString& path, const QByteArray& body) { set(path, Answer{200, body}); }
    void setFile(const QString& name, Answer answer)
    {
        set(QStringLiteral("/download/VREN_Kesto/") + name, std::move(answer));
    }
    void setFile(const QString& name, const QByteArray& body) { setFile(name, Answer{200, body}); }
    void setDescription(const QByteArray& xml) { setFile(QStringLiteral("update.xml"), xml); }

    // Decoded paths asked for, in order.
    QStringList requests() const
    {
        QMutexLocker lock(&mutex_);
        return requests_;
    }

private:
    class Core : public QObject {
    public:
        explicit Core(LocalHttpServer& owner) : owner_(owner) {}

        quint16 listen()
        {
            server_ = new QTcpServer(this);
            server_->listen(QHostAddress::LocalHost, 0);
            connect(server_, &QTcpServer::newConnection, this, [this] {
                while (QTcpSocket* socket = server_->nextPendingConnection()) {
                    socket->setParent(this);
                    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onRead(socket); });
                    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                        buffers_.remove(socket);
                        answered_.remove(socket);
                        socket->deleteLater();
                    });
                }
            });
            return server_->serverPort();
        }

    private:
        void onRead(QTcpSocket* socket)
        {
            QByteArray& buffer = buffers_[socket];
            buffer += socket->readAll();
            if (!buffer.contains("\r\n\r\n") || answered_.contains(socket))
                return;
            answered_.insert(socket, true);
            const QList<QByteArray> words = buffer.left(buffer.indexOf("\r\n")).split(' ');
            const QString path = words.size() >= 2 ? QUrl::fromPercentEncoding(words[1]) : QString();
            Answer answer{404, "not here"};
            {
                QMutexLocker lock(&owner_.mutex_);
                owner_.requests_.append(path);
                if (auto it = owner_.answers_.constFind(path); it != owner_.answers_.constEnd())
                    answer = *it;
            }
            if (answer.never)
                return;
            QPointer<QTcpSocket> guarded(socket);
            QTimer::singleShot(answer.delayMs, this, [guarded, answer] {
                if (!guarded)
                    return;
                QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status)
                                  + (answer.status == 200 ? " OK" : " Not Found") + "\r\nContent-Type: application/octet-stream\r\n";
                if (answer.sendLength)
                    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
                head += "Connection: close\r\n\r\n";
                guarded->write(head + answer.body);
                guarded->disconnectFromHost();
            });
        }

        LocalHttpServer& owner_;
        QTcpServer* server_ = nullptr;
        QHash<QTcpSocket*, QByteArray> buffers_;
        QHash<QTcpSocket*, bool> answered_;
    };

    mutable QMutex mutex_;
    QHash<QString, Answer> answers_;
    QStringList requests_;
    QThread thread_;
    Core* core_ = nullptr;
    quint16 port_ = 0;
};
