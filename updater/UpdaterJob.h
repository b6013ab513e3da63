#pragma once
// The updater's work: fetch the update description, download every file it
// lists into a temporary file beside its target, check each against its
// sha256 when the description gives one, then put all of them and the new
// local "update.xml" into place together. Any failure leaves the installed
// files as they were.

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "FileSwap.h"
#include "update/UpdateDescription.h"

class QLockFile;
class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;
class UpdateFetcher;

// One line of the updater's list.
struct UpdaterRow {
    QString name;
    QString version;
    bool refused = false; // would leave the program folder: not downloaded
};

class UpdaterJob : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString programFolder;
        QString baseUrl;
        int descriptionTimeoutMs = 15000;
        // A download that receives nothing for this long fails.
        int transferTimeoutMs = 30000;
        qint64 maxFileBytes = qint64(512) << 20;
        FileSwap::RenameFn rename; // empty: rename()
    };

    explicit UpdaterJob(Options options, QObject* parent = nullptr);
    ~UpdaterJob() override;

    void start();
    // Gives up; the installed files stay as they were.
    void cancel();

    const QList<UpdaterRow>& rows() const { return rows_; }
    bool running() const { return running_; }

signals:
    // The description was read: rows() holds the list.
    void listed();
    void fileProgress(int row, qint64 received, qint64 total);
    void fileDone(int row);
    // Files downloaded of all to download, and the share of the current one.
    void overallProgress(int done, int total, double current);
    void finished(bool ok, const QString& message);

private:
    struct Download {
        int row;
        UpdateFileEntry entry;
        QString target;
    };

    void onDescription();
    bool planDownloads(const std::vector<UpdateFileEntry>& files, QString* error);
    bool makeFolderFor(const QString& target, QString* error);
    void startNextDownload();
    void onDownloadData();
    void onDownloadFinished();
    void commitAll();
    void fail(const QString& message);
    void cleanUp();

    Options options_;
    QString canonicalFolder_;
    QNetworkAccessManager* network_;
    std::unique_ptr<QLockFile> lock_;
    UpdateFetcher* fetcher_ = nullptr;
    QList<UpdaterRow> rows_;
    std::vector<UpdateFileEntry> accepted_; // for the new local description
    std::vector<Download> downloads_;
    std::size_t current_ = 0;
    QPointer<QNetworkReply> reply_;
    std::unique_ptr<QTemporaryFile> part_;
    QCryptographicHash hash_{QCryptographicHash::Sha256};
    qint64 received_ = 0;
    std::vector<StagedFile> staged_;
    QStringList createdFolders_;
    bool running_ = false;
};
