#pragma once
// Fetches one small document over HTTP(S) without blocking the event loop,
// with a time-out, a size limit and a way to cancel.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

struct FetchResult {
    enum Status { Pending, Ok, Failed, TooLarge, TimedOut, Cancelled };
    Status status = Pending;
    QByteArray body;
    QString error; // what went wrong, for a log or a window; empty when Ok
};

class UpdateFetcher : public QObject {
    Q_OBJECT
public:
    explicit UpdateFetcher(QObject* parent = nullptr);
    ~UpdateFetcher() override;

    // Starts the request; finished() follows exactly once, also for a URL
    // that cannot be fetched at all. Only HTTP status 200 counts as success.
    void start(const QUrl& url, int timeoutMs, qint64 maxBytes);
    // Ends a running request with Cancelled; nothing when it has ended.
    void cancel();

    bool isFinished() const { return result_.status != FetchResult::Pending; }
    const FetchResult& result() const { return result_; }

signals:
    void finished();

private:
    void finish(FetchResult::Status status, const QString& error);
    void onReadyRead();
    void onReplyFinished();

    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QTimer timer_;
    qint64 maxBytes_ = 0;
    FetchResult result_;
};
