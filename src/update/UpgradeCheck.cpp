#include "update/UpgradeCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "core/CodePage.h"
#include "update/UpdateBoxes.h"
#include "update/UpdateDescription.h"
#include "update/UpdateVersion.h"

namespace {

constexpr const char* kNoInfoText = "update info can't find!";
constexpr const char* kLatestText = "Current Program is the latest.";
constexpr const char* kQuestionText = "Current Program is not the latest.\r\nDo you want to upgrade?\r\n\r\n";
constexpr const char* kPackageManagedText =
    "Current Program is not the latest.\r\n"
    "This installation is upgraded by its package manager: please upgrade it there.\r\n\r\n";
constexpr const char* kLoadFailText = "AutoUpdateProgramLoad Fail!";
constexpr const char* kStartFailText = "AutoUpdator Start Fail!";
constexpr const char* kErrorCaption = "Error!";
constexpr const char* kFindResourceText = "FindResource Error!(IDR_AUTO_UPDATE)";
constexpr const char* kWriteFileText = "WriteFile Error!(IDR_AUTO_UPDATE)";

// The local description is ours, but a damaged one must not eat the memory.
constexpr qint64 kMaxLocalDescriptionBytes = 16 << 20;

std::string shown(const QString& text)
{
    return toCodePage(shownUpdateText(text));
}

std::optional<std::vector<UpdateFileEntry>> loadLocalDescription(const QString& programFolder)
{
    QFile file(updateLocalPath(programFolder, QString::fromLatin1(kLocalDescriptionName)));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxLocalDescriptionBytes)
        return std::nullopt;
    return parseUpdateDescription(file.read(kMaxLocalDescriptionBytes));
}

bool fileReadable(const QString& path)
{
    if (QFileInfo(path).isDir())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

// Up to date when the local description lists the name with a version not
// lower than the remote one. A local entry without a version says nothing.
bool listedUpToDate(const std::vector<UpdateFileEntry>& local, const UpdateFileEntry& remote)
{
    for (const UpdateFileEntry& entry : local)
        if (entry.name == remote.name && !entry.version.isEmpty() && compareVersions(entry.version, remote.version) >= 0)
            return true;
    return false;
}

} // namespace

UpgradeReport evaluateUpgrade(const QByteArray& remoteDescription, const QString& programFolder)
{
    UpgradeReport report;
    const std::optional<std::vector<UpdateFileEntry>> remote = parseUpdateDescription(remoteDescription);
    if (!remote)
        return report;
    report.described = true;
    report.fileElements = static_cast<int>(remote->size());

    // Read once: nothing changes it while the check runs.
    const std::optional<std::vector<UpdateFileEntry>> local = loadLocalDescription(programFolder);

    for (const UpdateFileEntry& file : *remote) {
        if (file.name.isEmpty() || file.version.isEmpty())
            continue;
        if (!isSafeUpdateName(file.name)) {
            ++report.refused;
            report.lines += "[ " + shown(file.name) + " ] File - Refused: outside the program folder\r\n";
            continue;
        }
        if (!fileReadable(updateLocalPath(programFolder, file.name))) {
            report.newer = true;
            report.lines += "[ " + shown(file.name) + " ] File - Added\r\n";
        }
        if (local && !listedUpToDate(*local, file)) {
            report.newer = true;
            report.lines += "[ " + shown(file.name) + " ] File - Version Up[ " + shown(file.version) + " ]\r\n";
        }
    }
    return report;
}

std::string shownReport(const std::string& lines)
{
    std::size_t end = 0;
    for (int i = 0; i < kMaxReportLinesShown; ++i) {
        end = lines.find('\n', end);
        if (end == std::string::npos)
            return lines;
        ++end;
    }
    if (end >= lines.size())
        return lines;
    int rest = 0;
    for (std::size_t i = end; i < lines.size(); ++i)
        rest += lines[i] == '\n';
    if (lines.back() != '\n')
        ++rest;
    char more[64];
    std::snprintf(more, sizeof more, "... and %d more line(s)\r\n", rest);
    return lines.substr(0, end) + more;
}

ProgramUpgradeCheck::ProgramUpgradeCheck(UpgradeCheckEnvironment environment)
    : env_(std::move(environment))
{
}

QUrl ProgramUpgradeCheck::remoteUrl() const
{
    return remoteDescriptionUrl(updateBaseUrl(env_.settingsFilePath));
}

QString ProgramUpgradeCheck::updaterPath() const
{
    return updateLocalPath(env_.programFolder, QString::fromLatin1(kUpdaterFileName));
}

UpgradeOutcome ProgramUpgradeCheck::decide(const FetchResult& fetched)
{
    UpdateBoxes& boxes = *env_.boxes;
    const UpgradeReport report = fetched.status == FetchResult::Ok ? evaluateUpgrade(fetched.body, env_.programFolder)
                                                                   : UpgradeReport{};
    if (!report.described) {
        boxes.information("", kNoInfoText);
        return UpgradeOutcome::NoInfo;
    }
    if (!report.newer) {
        // Refused names are not an upgrade (the updater would refuse them
        // too), but the user hears of them.
        boxes.information(kUpgradeCheckCaption,
                          report.refused ? kLatestText + std::string("\r\n\r\n") + shownReport(report.lines)
                                         : std::string(kLatestText));
        return UpgradeOutcome::Latest;
    }

    const bool updatable = env_.folderUpdatable ? env_.folderUpdatable(env_.programFolder)
                                                : programFolderUpdatable(env_.programFolder);
    if (!updatable) {
        boxes.information(kUpgradeCheckCaption, kPackageManagedText + shownReport(report.lines));
        return UpgradeOutcome::PackageManaged;
    }
    if (!boxes.askYesNo(kUpgradeCheckCaption, kQuestionText + shownReport(report.lines)))
        return UpgradeOutcome::Declined;

    if (!AutoUpdateProgramLoad()) {
        boxes.information("", kLoadFailText);
        return UpgradeOutcome::UpdaterUnavailable;
    }
    recordUpgradeTime();

    const QString program = updaterPath();
    const bool started = env_.startUpdater ? env_.startUpdater(program, env_.programFolder)
                                           : QProcess::startDetached(program, {}, env_.programFolder);
    if (!started) {
        // Closing now would leave the user with neither program running.
        boxes.information("", kStartFailText);
        return UpgradeOutcome::UpdaterNotStarted;
    }
    return UpgradeOutcome::HandedOver;
}

int ProgramUpgradeCheck::AutoUpdateProgramLoad()
{
    const QString target = updaterPath();
    if (fileReadable(target))
        return 1; // used as it is, not refreshed

    QFile resource(env_.updaterResource);
    if (!resource.open(QIODevice::ReadOnly)) {
        env_.boxes->information(kErrorCaption, kFindResourceText);
        return 0;
    }
    const QByteArray program = resource.readAll();

    // Written under a temporary name and renamed: a half-written updater is
    // never left behind to be "used as it is" by the next upgrade.
    QSaveFile out(target);
    const bool written = out.open(QIODevice::WriteOnly) && out.write(program) == program.size() && out.commit();
    const bool executable = written && QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner
                                                                         | QFile::ExeOwner | QFile::ReadGroup
                                                                         | QFile::ExeGroup | QFile::ReadOther
                                                                         | QFile::ExeOther);
    if (!executable) {
        if (written)
            QFile::remove(target);
        env_.boxes->information(kErrorCaption, kWriteFileText);
        return 0;
    }
    return 1;
}

void ProgramUpgradeCheck::recordUpgradeTime()
{
    if (!env_.writeProfile)
        return;
    const QDateTime now = env_.now ? env_.now() : QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    env_.writeProfile("Chk_Year", date.year());
    env_.writeProfile("Chk_Month", date.month());
    env_.writeProfile("Chk_Day", date.day());
    env_.writeProfile("Chk_Hour", time.hour());
    env_.writeProfile("Chk_Min", time.minute());
    env_.writeProfile("Chk_Sec", time.second());
    env_.writeProfile("UpgrageCheckEnable", 1);
}

bool ProgramUpgradeCheck::programFolderUpdatable(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable())
        return false;
    // Run as root, a package's folder is writable too; its files still
    // belong to the package manager.
    const QString canonical = info.canonicalFilePath() + u'/';
    return !(canonical.startsWith(QStringLiteral("/usr/")) && !canonical.startsWith(QStringLiteral("/usr/local/")));
}
