#include "update/UpdateFetch.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

UpdateFetcher::UpdateFetcher(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this))
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        finish(FetchResult::TimedOut, QStringLiteral("no answer in time"));
    });
}

UpdateFetcher::~UpdateFetcher()
{
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void UpdateFetcher::start(const QUrl& url, int timeoutMs, qint64 maxBytes)
{
    result_ = {};
    maxBytes_ = maxBytes;
    if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http")) {
        // Still asynchronous, as for every other failure.
        QTimer::singleShot(0, this, [this, url] {
            finish(FetchResult::Failed, QStringLiteral("not an http(s) address: %1").arg(url.toString()));
        });
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBytes_)
            finish(FetchResult::TooLarge, QStringLiteral("announced %1 bytes").arg(length.toLongLong()));
    });
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateFetcher::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &UpdateFetcher::onReplyFinished);
    timer_.start(timeoutMs);
}

void UpdateFetcher::cancel()
{
    finish(FetchResult::Cancelled, QStringLiteral("cancelled"));
}

void UpdateFetcher::onReadyRead()
{
    if (isFinished() || !reply_)
        return;
    result_.body += reply_->readAll();
    if (result_.body.size() > maxBytes_)
        finish(FetchResult::TooLarge, QStringLiteral("more than %1 bytes").arg(maxBytes_));
}

void UpdateFetcher::onReplyFinished()
{
    if (isFinished() || !reply_)
        return;
    onReadyRead();
    if (isFinished())
        return;
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply_->error() != QNetworkReply::NoError)
        finish(FetchResult::Failed, reply_->errorString());
    else if (status != 200)
        finish(FetchResult::Failed, QStringLiteral("HTTP status %1").arg(status));
    else
        finish(FetchResult::Ok, QString());
}

void UpdateFetcher::finish(FetchResult::Status status, const QString& error)
{
    if (isFinished())
        return;
    timer_.stop();
    result_.status = status;
    result_.error = error;
    if (status != FetchResult::Ok)
        result_.body.clear();
    if (reply_) {
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    emit finished();
}
