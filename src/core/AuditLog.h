#pragma once
// The audit trail beside the log pane: every line the pane shows, and one
// record per writer result, appended with a local timestamp to a file per day,
// <folder>/YYYY-MM-DD.log, in UTF-8.
//
// Callable from any thread. Each line goes out in one write() on a file
// opened for appending, so lines of several threads never mix and nothing
// written before is ever cut. A write that fails (a full disk, a folder that
// cannot be written) never stops the caller: the first failure is told once
// through the warning callback, later ones are dropped silently.

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <string_view>

class AuditLog {
public:
    using Warn = std::function<void(const QString& message)>;
    using Now = std::function<QDateTime()>;

    // `folder` is made when the first line is written. `now` gives the local
    // time of each line (the real clock unless a test says otherwise).
    explicit AuditLog(QString folder, Warn warn = {}, Now now = {});

    // The user's data folder for the program, with "logs" under it.
    static QString defaultFolder();

    const QString& folder() const { return folder_; }
    // The file of a day: "<folder>/YYYY-MM-DD.log".
    QString fileFor(const QDate& day) const;

    // One line (its own line end is added; line ends inside become blanks).
    void appendLine(const QString& text);

    // The record of one writer's result: what ran, on which writer, and how
    // it ended, e.g. `RESULT Config Save Dev02 id="..." usb=usb:1-2
    // result="Config Save - OK!" sha256=...`. Texts are code-page bytes;
    // `note` (may be empty) is added as it stands.
    static QString resultRecord(const char* operation, int dev, std::string_view identification,
                                std::string_view location, std::string_view result, const QString& note);

    // False once a write has failed.
    bool healthy() const { return !failed_; }

private:
    QString folder_;
    Warn warn_;
    Now now_;
    std::mutex mutex_;
    std::atomic<bool> failed_{false};
};
