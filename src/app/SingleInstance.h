#pragma once
// Only one copy of the program runs per user session. The first copy listens
// on a local socket named after the window caption, in the user's runtime
// folder; a second copy of the same user connects, asks the first to draw the
// user's attention to its window, and ends. Copies run by other users (or in
// another session with its own runtime folder) do not see each other.

#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True if this is the first copy (it now listens). False if another copy
    // runs: that copy has been asked to call attention to itself. Also true,
    // unguarded, when no private folder for the socket can be found.
    bool acquire();

    // The full socket path acquire() used; empty before, or when it found no
    // private folder.
    QString socketPath() const { return path_; }

    // The user's runtime folder: $XDG_RUNTIME_DIR when it is an absolute path
    // to a folder of this user that nobody else can write into; otherwise
    // "<temp>/vren-kesto-<uid>", created with mode 0700 (temp: $TMPDIR or
    // /tmp). Empty if neither is usable.
    static QString userRuntimeFolder();

    // Where the socket for `key` goes: the user's runtime folder, or the
    // per-user fallback folder when that path would not fit a socket address.
    // Empty if no private folder is usable.
    static QString socketPathFor(const QString& key);

    // A socket address holds at most this many bytes of path (sun_path is 108
    // bytes; Qt 6.4 refuses a path of 107).
    static constexpr int kMaxSocketPathBytes = 106;

signals:
    // A later copy was started while this one runs.
    void attentionRequested();

private:
    QString key_;
    QString path_;
    QLocalServer* server_ = nullptr;
};
