#pragma once
// The update description "update.xml" and where things live: the copy on the
// maker's web server lists the files of the newest program, the copy in the
// program folder the versions installed. The configurator's check and the
// companion updater both use this (Qt Core only).

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

// One `file` element. A missing attribute is empty text.
struct UpdateFileEntry {
    QString name;    // path below the program folder, '/' between folders
    QString version;
    QString sha256;  // hex digest of the file's bytes; empty when not given
};

inline constexpr qint64 kMaxDescriptionBytes = 1 << 20;
inline constexpr const char* kLocalDescriptionName = "update.xml";
inline constexpr const char* kSettingsFileName = "Config-VREN_Kesto_Configurator.ini";
inline constexpr const char* kConfiguratorFileName = "VREN_Kesto_Configurator";
#ifdef Q_OS_WIN
inline constexpr const char* kUpdaterFileName = "AutoUpdator.exe";
#else
inline constexpr const char* kUpdaterFileName = "AutoUpdator";
#endif
// On the web server, below the base address.
inline constexpr const char* kRemoteFolderPath = "/download/VREN_Kesto/";

// Every element named "file", wherever it stands, in document order. Empty
// when the text is not well-formed XML (`error` says why).
std::optional<std::vector<UpdateFileEntry>> parseUpdateDescription(const QByteArray& xml, QString* error = nullptr);

// A description listing `files`, as the updater leaves it in the program folder.
QByteArray writeUpdateDescription(const std::vector<UpdateFileEntry>& files);

// True when `name` stays inside the program folder: relative, without "..",
// a backslash, a drive letter, control characters (NUL among them) or empty
// or "." folder parts. Other names are never looked up, fetched or written.
bool isSafeUpdateName(const QString& name);

// The file `name` in `programFolder`, with the platform's separators.
QString updateLocalPath(const QString& programFolder, const QString& name);

// A name or version as a report line may show it: control characters
// (a line break in an attribute) become '?'.
QString shownUpdateText(const QString& text);

// The maker's server, compiled in; a build may set KESTO_UPDATE_BASE_URL.
QString defaultUpdateBaseUrl();
// The base address the program uses: "BaseUrl" of section "Update" of the
// settings file when it is there and not empty, else the compiled-in one;
// without a trailing '/'.
QString updateBaseUrl(const QString& settingsFilePath);

QUrl remoteDescriptionUrl(const QString& baseUrl);
QUrl remoteFileUrl(const QString& baseUrl, const QString& name);
