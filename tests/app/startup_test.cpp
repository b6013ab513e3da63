// Start-up rules: platform code, single instance, window placement.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include "app/PlatformVersion.h"
#include "app/SingleInstance.h"
#include "app/WindowPlacement.h"
#include "recording.h"
#include "test_support.h"
#include "transport/TransportBackend.h"

namespace {

using Family = OsVersionRecord::Family;

OsVersionRecord record(Family family, int major, int minor)
{
    OsVersionRecord r;
    r.family = family;
    r.major = major;
    r.minor = minor;
    return r;
}

TEST(PlatformVersion, OnlyWindows98MeAnd2000SelectLibUsb)
{
    const struct {
        const char* what;
        OsVersionRecord record;
        std::int32_t code;
    } cases[] = {
        {"Windows 95", record(Family::Win9x, 4, 0), 2001},
        {"Windows 98", record(Family::Win9x, 4, 10), 1998},
        {"Windows ME", record(Family::Win9x, 4, 90), 1999},
        {"Windows NT 4", record(Family::WinNT, 4, 0), 2001},
        {"Windows 2000", record(Family::WinNT, 5, 0), 2000},
        {"Windows XP", record(Family::WinNT, 5, 1), 2001},
        {"Windows 10", record(Family::WinNT, 10, 0), 2001},
        {"NT 4.10 is not Windows 98", record(Family::WinNT, 4, 10), 2001},
        {"this machine", currentOsVersion(), 2001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingLog log;
        std::int32_t code = kOsCodeOther;
        EXPECT_TRUE(detectOsVersion(c.record, code, log));
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(backendForOsVersion(code), c.code == 2001 ? BackendKind::WinUsb : BackendKind::LibUsb);
        EXPECT_TRUE(log.lines().empty());
    }
}

TEST(PlatformVersion, FailedDetectionKeepsTheCodeAndEditionsAreLogged)
{
    RecordingLog log;
    std::int32_t code = kOsCodeOther;
    OsVersionRecord none;
    none.queried = false;
    EXPECT_FALSE(detectOsVersion(none, code, log));
    EXPECT_EQ(code, kOsCodeOther);

    OsVersionRecord basicOnly = record(Family::WinNT, 5, 0);
    basicOnly.extendedQuery = false;
    EXPECT_FALSE(detectOsVersion(basicOnly, code, log)) << "no product type to read";
    EXPECT_EQ(code, kOsCodeWindows2000) << "the code reached so far stays";

    basicOnly.productType = "ServerNT";
    EXPECT_TRUE(detectOsVersion(basicOnly, code, log));
    OsVersionRecord x64 = record(Family::WinNT, 5, 2);
    x64.serverOrDomainController = x64.x64Processor = true;
    EXPECT_TRUE(detectOsVersion(x64, code, log));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"Advanced Server ", "Standard x64 Edition "}));
}

TEST(SingleInstance, SecondCopyIsRefusedAndTheFirstIsAskedForAttention)
{
    const QString key = QStringLiteral("VREN Kesto Configurator  [V test-%1]").arg(QCoreApplication::applicationPid());
    SingleInstance first(key);
    ASSERT_TRUE(first.acquire());
    int requests = 0;
    QObject::connect(&first, &SingleInstance::attentionRequested, [&] { ++requests; });

    SingleInstance second(key);
    EXPECT_FALSE(second.acquire());
    EXPECT_TRUE(testsupport::waitUntil([&] { return requests == 1; }));

    SingleInstance other(key + QStringLiteral(" other"));
    EXPECT_TRUE(other.acquire()) << "another caption is another program";

    // The socket is in the session's runtime folder (the test main's own),
    // not in the temporary folder that all users share.
    EXPECT_EQ(QFileInfo(first.socketPath()).path(), QDir::cleanPath(qEnvironmentVariable("XDG_RUNTIME_DIR")));
}

// Sets (or, with no value, removes) an environment variable for the life of
// the object, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value)
        : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv()
    {
        if (wasSet_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool wasSet_;
    QByteArray old_;
};

// Two runtime folders stand for two user sessions (two users of one machine
// each have their own): copies see each other only inside one folder.
TEST(SingleInstance, CopiesSeeEachOtherOnlyWithinOneRuntimeFolder)
{
    QTemporaryDir sessionA, sessionB;
    ASSERT_TRUE(sessionA.isValid() && sessionB.isValid());
    const QString key = QStringLiteral("VREN Kesto Configurator  [V sessions-%1]").arg(QCoreApplication::applicationPid());

    std::optional<ScopedEnv> env;
    env.emplace("XDG_RUNTIME_DIR", QFile::encodeName(sessionA.path()));
    SingleInstance firstA(key);
    ASSERT_TRUE(firstA.acquire());
    EXPECT_EQ(QFileInfo(firstA.socketPath()).path(), sessionA.path());
    int requestsA = 0;
    QObject::connect(&firstA, &SingleInstance::attentionRequested, [&] { ++requestsA; });

    env.emplace("XDG_RUNTIME_DIR", QFile::encodeName(sessionB.path()));
    SingleInstance firstB(key);
    EXPECT_TRUE(firstB.acquire()) << "a copy in another session does not see the first";
    EXPECT_EQ(QFileInfo(firstB.socketPath()).path(), sessionB.path());
    int requestsB = 0;
    QObject::connect(&firstB, &SingleInstance::attentionRequested, [&] { ++requestsB; });

    SingleInstance secondB(key);
    EXPECT_FALSE(secondB.acquire()) << "within one session the second copy is refused";
    env.emplace("XDG_RUNTIME_DIR", QFile::encodeName(sessionA.path()));
    SingleInstance secondA(key);
    EXPECT_FALSE(secondA.acquire());

    // Each first copy is asked for attention once, by its own session's copy.
    EXPECT_TRUE(testsupport::waitUntil([&] { return requestsA == 1 && requestsB == 1; }));
    testsupport::waitUntil([] { return false; }, 100);
    EXPECT_EQ(requestsA, 1);
    EXPECT_EQ(requestsB, 1);
}

// Without a usable runtime folder, or with one too deep for a socket address
// (sun_path holds 108 bytes), the socket goes into "<temp>/vren-kesto-<uid>",
// a folder only this user can enter; copies still find each other there.
TEST(SingleInstance, UnusableRuntimeFolderFallsBackToAPrivatePerUserFolder)
{
    const QString uid = QString::number(::geteuid());
    const struct {
        const char* what;
        // XDG_RUNTIME_DIR, made under the scratch folder; nullopt: unset
        std::function<std::optional<QByteArray>(const QString& scratch)> runtime;
        mode_t existingFallbackMode; // 0: the fallback folder is not there yet
    } cases[] = {
        {"not set", [](const QString&) -> std::optional<QByteArray> { return std::nullopt; }, 0},
        {"relative", [](const QString&) -> std::optional<QByteArray> { return QByteArray("run/user"); }, 0},
        {"missing", [](const QString& s) -> std::optional<QByteArray> { return QFile::encodeName(s + QStringLiteral("/gone")); }, 0},
        {"others may write into it",
            [](const QString& s) -> std::optional<QByteArray> {
                const QString open = s + QStringLiteral("/open");
                QDir().mkpath(open);
                ::chmod(QFile::encodeName(open).constData(), 01777);
                return QFile::encodeName(open);
            },
            0},
        {"too deep for a socket address",
            [](const QString& s) -> std::optional<QByteArray> {
                const QString deep = s + QStringLiteral("/") + QString(90, u'd');
                QDir().mkpath(deep);
                ::chmod(QFile::encodeName(deep).constData(), 0700);
                return QFile::encodeName(deep);
            },
            0},
        {"fallback folder left open", [](const QString&) -> std::optional<QByteArray> { return std::nullopt; }, 0755},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir scratch, temp;
        ASSERT_TRUE(scratch.isValid() && temp.isValid());
        const QString fallback = temp.path() + QStringLiteral("/vren-kesto-") + uid;
        if (c.existingFallbackMode) {
            ASSERT_TRUE(QDir().mkdir(fallback));
            ::chmod(QFile::encodeName(fallback).constData(), c.existingFallbackMode);
        }
        ScopedEnv tmpdir("TMPDIR", QFile::encodeName(temp.path()));
        ScopedEnv xdg("XDG_RUNTIME_DIR", c.runtime(scratch.path()));

        const QString key = QStringLiteral("VREN Kesto Configurator  [V fallback-%1]").arg(QCoreApplication::applicationPid());
        SingleInstance first(key);
        ASSERT_TRUE(first.acquire());
        EXPECT_EQ(QFileInfo(first.socketPath()).path(), fallback);
        EXPECT_LE(QFile::encodeName(first.socketPath()).size(), SingleInstance::kMaxSocketPathBytes);
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(fallback).constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(st.st_uid, ::geteuid());

        SingleInstance second(key);
        EXPECT_FALSE(second.acquire()) << "both copies take the same way";
    }
}

TEST(WindowPlacement, DefaultsThenWhatWasSaved)
{
    QTemporaryDir dir;
    QSettings profile(dir.filePath(QStringLiteral("profile.ini")), QSettings::IniFormat);
    const WindowPlacement fresh = readWindowPlacement(profile);
    EXPECT_EQ(fresh.left, 0);
    EXPECT_EQ(fresh.top, 0);
    EXPECT_EQ(fresh.height, 539);
    EXPECT_EQ(fresh.width, 1026);

    writeWindowPlacement(profile, QRect(120, 80, 900, 560));
    QSettings reread(dir.filePath(QStringLiteral("profile.ini")), QSettings::IniFormat);
    const WindowPlacement saved = readWindowPlacement(reread);
    EXPECT_EQ(saved.left, 120);
    EXPECT_EQ(saved.top, 80);
    EXPECT_EQ(saved.width, 900);
    EXPECT_EQ(saved.height, 560);
    EXPECT_EQ(reread.value(QStringLiteral("Initialization/TopPos")).toInt(), 80);
}

} // namespace
