#pragma once
// The Program Upgrade Check of the About box, without its widgets: what the
// remote description says against the program folder, the boxes that follow,
// the updater written out of the program itself and the hand-over to it.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <functional>
#include <string>

#include "update/UpdateFetch.h"

class UpdateBoxes;

inline constexpr const char* kUpgradeCheckCaption = "< Program Update Check >";
inline constexpr int kUpgradeFetchTimeoutMs = 15000;
// More lines than this would push the box's buttons off the screen.
inline constexpr int kMaxReportLinesShown = 30;

// The remote description held against the program folder.
struct UpgradeReport {
    bool described = false; // the remote description is well-formed XML
    int fileElements = 0;   // `file` elements in it
    bool newer = false;     // a listed file is missing or older: an upgrade is due
    std::string lines;      // the report, code-page-949 bytes, in document order
    int refused = 0;        // names that would leave the program folder
};

// Reads the program folder and its "update.xml"; writes nothing.
UpgradeReport evaluateUpgrade(const QByteArray& remoteDescription, const QString& programFolder);

// The report as a box shows it: the first kMaxReportLinesShown lines and a
// count of the rest.
std::string shownReport(const std::string& lines);

enum class UpgradeOutcome {
    NoInfo,             // "update info can't find!"
    Latest,             // "Current Program is the latest."
    Declined,           // No to the upgrade question
    PackageManaged,     // newer files exist, but this installation is not ours to change
    UpdaterUnavailable, // "AutoUpdateProgramLoad Fail!"
    UpdaterNotStarted,  // written, but it would not start
    HandedOver,         // the updater runs: the configurator closes
};

struct UpgradeCheckEnvironment {
    // The folder of the configurator's executable, and its settings file.
    QString programFolder;
    QString settingsFilePath;
    UpdateBoxes* boxes = nullptr;
    // Writes one integer of section "Initialization" of the user's profile.
    std::function<void(const char* key, int value)> writeProfile;
    // Where the embedded updater is read from.
    QString updaterResource = QStringLiteral(":/update/AutoUpdator");
    // Starts the updater detached. Empty: QProcess::startDetached.
    std::function<bool(const QString& program, const QString& workingDirectory)> startUpdater;
    // Whether this program may change the files in its folder. Empty:
    // ProgramUpgradeCheck::programFolderUpdatable.
    std::function<bool(const QString& folder)> folderUpdatable;
    // The local time. Empty: the clock.
    std::function<QDateTime()> now;
    int timeoutMs = kUpgradeFetchTimeoutMs;
};

class ProgramUpgradeCheck {
public:
    explicit ProgramUpgradeCheck(UpgradeCheckEnvironment environment);

    // Where the remote description is, from the settings file as it is now.
    QUrl remoteUrl() const;
    int timeoutMs() const { return env_.timeoutMs; }

    // Everything after the fetch: the boxes, the question, the updater and,
    // on Yes, the profile date and the updater's start.
    UpgradeOutcome decide(const FetchResult& fetched);

    // Makes sure the updater is in the program folder: an existing file is
    // used as it is, otherwise the embedded one is written out, executable.
    // 1 when the file is there, 0 after a failure it has shown.
    int AutoUpdateProgramLoad();

    QString updaterPath() const;

    // False for a folder this user cannot write, and for the folders of the
    // system's package manager (/usr, but not /usr/local).
    static bool programFolderUpdatable(const QString& folder);

private:
    void recordUpgradeTime();

    UpgradeCheckEnvironment env_;
};
