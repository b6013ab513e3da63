// Start-up rules: platform code, single instance, window placement.

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

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
