#include "UpdaterJob.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QTemporaryFile>

#include <utility>

#include "update/UpdateFetch.h"

namespace {

bool isSha256Text(const QString& text)
{
    if (text.size() != 64)
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
            return false;
    }
    return true;
}

bool inside(const QString& canonicalPath, const QString& canonicalFolder)
{
    return canonicalPath == canonicalFolder || canonicalPath.startsWith(canonicalFolder + u'/');
}

// The deepest folder of `path` that exists.
QString existingAncestor(QString path)
{
    while (!QFileInfo::exists(path)) {
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    return path;
}

// A new file is executable when it looks like a program: an ELF image or a
// script with its interpreter line.
bool looksExecutable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head.startsWith("\x7f" "ELF") || head.startsWith("#!");
}

constexpr QFile::Permissions kPlainFile = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions kProgramFile = kPlainFile | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

} // namespace

UpdaterJob::UpdaterJob(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)), network_(new QNetworkAccessManager(this))
{
}

UpdaterJob::~UpdaterJob()
{
    if (running_) {
        running_ = false;
        cleanUp();
    }
}

void UpdaterJob::start()
{
    running_ = true;
    canonicalFolder_ = QFileInfo(options_.programFolder).canonicalFilePath();
    if (canonicalFolder_.isEmpty()) {
        fail(QStringLiteral("The program folder %1 does not exist.").arg(options_.programFolder));
        return;
    }
    // Two updaters at once would put their files over each other's.
    lock_ = std::make_unique<QLockFile>(canonicalFolder_ + QStringLiteral("/.AutoUpdator.lock"));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        lock_.reset();
        fail(QStringLiteral("Another update of this program is running."));
        return;
    }
    fetcher_ = new UpdateFetcher(this);
    connect(fetcher_, &UpdateFetcher::finished, this, &UpdaterJob::onDescription);
    fetcher_->start(remoteDescriptionUrl(options_.baseUrl), options_.descriptionTimeoutMs, kMaxDescriptionBytes);
}

void UpdaterJob::cancel()
{
    if (running_)
        fail(QStringLiteral("The update was cancelled."));
}

void UpdaterJob::onDescription()
{
    if (!running_)
        return;
    const FetchResult& fetched = fetcher_->result();
    const QString url = remoteDescriptionUrl(options_.baseUrl).toString();
    if (fetched.status != FetchResult::Ok) {
        fail(QStringLiteral("Cannot fetch the update description %1: %2").arg(url, fetched.error));
        return;
    }
    QString error;
    const std::optional<std::vector<UpdateFileEntry>> files = parseUpdateDescription(fetched.body, &error);
    if (!files) {
        fail(QStringLiteral("The update description %1 is not XML (%2).").arg(url, error));
        return;
    }
    if (!planDownloads(*files, &error)) {
        fail(error);
        return;
    }
    emit listed();
    startNextDownload();
}

bool UpdaterJob::planDownloads(const std::vector<UpdateFileEntry>& files, QString* error)
{
    QSet<QString> planned;
    for (const UpdateFileEntry& file : files) {
        // As the configurator's check: a file without name or version is no file.
        if (file.name.isEmpty() || file.version.isEmpty())
            continue;
        const bool refused = !isSafeUpdateName(file.name);
        rows_.append({file.name, file.version, refused});
        if (refused)
            continue;
        if (!file.sha256.isEmpty() && !isSha256Text(file.sha256)) {
            *error = QStringLiteral("The sha256 given for %1 is not a SHA-256 digest.").arg(shownUpdateText(file.name));
            return false;
        }
        accepted_.push_back(file);
        if (planned.contains(file.name))
            continue; // listed again: fetched once
        planned.insert(file.name);

        const QString target = updateLocalPath(canonicalFolder_, file.name);
        if (QFileInfo(target).isDir()) {
            *error = QStringLiteral("%1 is a folder; it cannot be replaced by a file.").arg(target);
            return false;
        }
        downloads_.push_back({int(rows_.size() - 1), file, target});
    }
    return true;
}

bool UpdaterJob::makeFolderFor(const QString& target, QString* error)
{
    const QString folder = QFileInfo(target).absolutePath();
    // A folder on the way may be a link to elsewhere; nothing is written
    // through it.
    const QString ancestor = QFileInfo(existingAncestor(folder)).canonicalFilePath();
    if (!inside(ancestor, canonicalFolder_)) {
        *error = QStringLiteral("%1 lies outside the program folder.").arg(target);
        return false;
    }
    QString missing = folder;
    QStringList toCreate;
    while (!QFileInfo::exists(missing)) {
        toCreate.prepend(missing);
        missing = QFileInfo(missing).path();
    }
    for (const QString& f : toCreate) {
        if (!QDir().mkdir(f)) {
            *error = QStringLiteral("Cannot create the folder %1.").arg(f);
            return false;
        }
        createdFolders_.append(f);
    }
    if (!QFileInfo(folder).isDir()) {
        *error = QStringLiteral("%1 is not a folder.").arg(folder);
        return false;
    }
    return true;
}

void UpdaterJob::startNextDownload()
{
    if (!running_)
        return;
    const int total = int(downloads_.size());
    emit overallProgress(int(current_), total, 0.0);
    if (current_ == downloads_.size()) {
        commitAll();
        return;
    }
    const Download& d = downloads_[current_];
    QString error;
    if (!makeFolderFor(d.target, &error)) {
        fail(error);
        return;
    }
    const QFileInfo info(d.target);
    part_ = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") + info.fileName()
                                             + QStringLiteral(".XXXXXX.part"));
    part_->setAutoRemove(false);
    if (!part_->open()) {
        fail(QStringLiteral("Cannot write into %1: %2").arg(info.absolutePath(), part_->errorString()));
        return;
    }
    hash_.reset();
    received_ = 0;

    QNetworkRequest request(remoteFileUrl(options_.baseUrl, d.entry.name));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(options_.transferTimeoutMs);
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &UpdaterJob::onDownloadData);
    connect(reply_, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (!running_ || current_ >= downloads_.size())
            return;
        if (total > options_.maxFileBytes) {
            fail(QStringLiteral("%1 is larger than %2 bytes.").arg(downloads_[current_].entry.name).arg(options_.maxFileBytes));
            return;
        }
        emit fileProgress(downloads_[current_].row, received, total);
        if (total > 0)
            emit overallProgress(int(current_), int(downloads_.size()), double(received) / double(total));
    });
    connect(reply_, &QNetworkReply::finished, this, &UpdaterJob::onDownloadFinished);
}

void UpdaterJob::onDownloadData()
{
    if (!running_ || !reply_)
        return;
    const QByteArray data = reply_->readAll();
    received_ += data.size();
    if (received_ > options_.maxFileBytes) {
        fail(QStringLiteral("%1 is larger than %2 bytes.").arg(downloads_[current_].entry.name).arg(options_.maxFileBytes));
        return;
    }
    hash_.addData(data);
    if (part_->write(data) != data.size())
        fail(QStringLiteral("Cannot write %1: %2").arg(part_->fileName(), part_->errorString()));
}

void UpdaterJob::onDownloadFinished()
{
    if (!running_ || !reply_)
        return;
    onDownloadData();
    if (!running_)
        return;
    const Download& d = downloads_[current_];
    const QString url = reply_->url().toString();
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply_->error() != QNetworkReply::NoError) {
        fail(QStringLiteral("Cannot download %1: %2").arg(url, reply_->errorString()));
        return;
    }
    if (status != 200) {
        fail(QStringLiteral("Cannot download %1: HTTP status %2").arg(url).arg(status));
        return;
    }
    reply_->deleteLater();
    reply_ = nullptr;

    if (!d.entry.sha256.isEmpty() && hash_.result().toHex() != d.entry.sha256.toLower().toLatin1()) {
        fail(QStringLiteral("%1 does not match its sha256: it was damaged or changed on the way.").arg(d.entry.name));
        return;
    }
    if (!part_->flush()) {
        fail(QStringLiteral("Cannot write %1: %2").arg(part_->fileName(), part_->errorString()));
        return;
    }
    const QString staged = part_->fileName();
    part_->close();
    part_.reset();
    // A replaced file keeps its permissions (an executable stays one).
    const QFile::Permissions permissions = QFileInfo::exists(d.target) ? QFile::permissions(d.target)
                                           : looksExecutable(staged)   ? kProgramFile
                                                                       : kPlainFile;
    staged_.push_back({d.target, staged});
    if (!QFile::setPermissions(staged, permissions)) {
        fail(QStringLiteral("Cannot set the permissions of %1.").arg(staged));
        return;
    }
    emit fileProgress(d.row, received_, received_);
    emit fileDone(d.row);
    ++current_;
    startNextDownload();
}

void UpdaterJob::commitAll()
{
    // The local description goes last: it says the files above are there.
    QTemporaryFile description(canonicalFolder_ + QStringLiteral("/.update.xml.XXXXXX.part"));
    description.setAutoRemove(false);
    const QByteArray text = writeUpdateDescription(accepted_);
    if (!description.open() || description.write(text) != text.size() || !description.flush()) {
        description.remove();
        fail(QStringLiteral("Cannot write the new %1 in %2.").arg(QLatin1String(kLocalDescriptionName), canonicalFolder_));
        return;
    }
    description.close();
    QFile::setPermissions(description.fileName(), kPlainFile);
    staged_.push_back({updateLocalPath(canonicalFolder_, QString::fromLatin1(kLocalDescriptionName)),
                       description.fileName()});

    QString error;
    FileSwap swap(options_.rename);
    const bool ok = swap.commit(staged_, &error);
    staged_.clear();
    if (!ok) {
        fail(QStringLiteral("The files could not be put into place (%1); the program is as it was.").arg(error));
        return;
    }
    createdFolders_.clear();
    running_ = false;
    lock_.reset();
    emit finished(true, QStringLiteral("%1 file(s) updated.").arg(downloads_.size()));
}

void UpdaterJob::cleanUp()
{
    if (reply_) {
        QNetworkReply* reply = reply_;
        reply_ = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (part_) {
        part_->remove();
        part_.reset();
    }
    FileSwap::discard(staged_);
    staged_.clear();
    // Folders made for new files go again, when nothing else is in them.
    for (auto it = createdFolders_.crbegin(); it != createdFolders_.crend(); ++it)
        QDir().rmdir(*it);
    createdFolders_.clear();
    lock_.reset();
}

void UpdaterJob::fail(const QString& message)
{
    if (!running_)
        return;
    running_ = false;
    cleanUp();
    emit finished(false, message);
}
