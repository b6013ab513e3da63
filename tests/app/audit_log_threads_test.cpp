// The log file beside the log pane: whole lines from many threads, a second
// run that appends, a folder that cannot be written, and the record of each
// writer's result.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <set>
#include <thread>
#include <vector>

#include "core/AuditLog.h"
#include "pages/CTab_ConfigSave.h"
#include "window_rig.h"

namespace {

QStringList fileLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

const QRegularExpression kStamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "));

TEST(AuditLog, LinesOfTenThreadsAtOnceAreAllWholeAndASecondRunAppends)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("logs"));
    constexpr int kThreads = 10;
    constexpr int kLines = 300;
    const QString filler(200, QLatin1Char('x'));
    for (int run = 0; run < 2; ++run) {
        AuditLog log(folder);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&log, &filler, t, run] {
                for (int i = 0; i < kLines; ++i)
                    log.appendLine(QStringLiteral("run %1 thread %2 line %3 %4").arg(run).arg(t).arg(i).arg(filler));
            });
        }
        for (std::thread& t : threads)
            t.join();
        EXPECT_TRUE(log.healthy());
    }
    const QStringList lines = fileLines(dir.filePath(QStringLiteral("logs/")
                                                     + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
                                                     + QStringLiteral(".log")));
    ASSERT_EQ(lines.size(), 2 * kThreads * kLines) << "the second run appended, nothing was cut";
    const QRegularExpression whole(kStamp.pattern() + QStringLiteral("run (\\d) thread (\\d) line (\\d+) x{200}$"));
    std::set<QString> seen;
    for (const QString& line : lines) {
        const auto m = whole.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.left(120).toStdString();
        seen.insert(m.captured(1) + QLatin1Char('/') + m.captured(2) + QLatin1Char('/') + m.captured(3));
    }
    EXPECT_EQ(seen.size(), std::size_t(2 * kThreads * kLines)) << "every line once";
}

TEST(AuditLog, AFolderThatCannotBeWrittenWarnsOnceAndNeverThrows)
{
    QTemporaryDir dir;
    // A file where the folder should be: even root cannot make it.
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QStringList warnings;
    AuditLog log(dir.filePath(QStringLiteral("blocked/logs")), [&](const QString& w) { warnings << w; });
    for (int i = 0; i < 5; ++i)
        log.appendLine(QStringLiteral("line"));
    EXPECT_FALSE(log.healthy());
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("blocked/logs")));
}

class AuditLogWindow : public WindowRig {
protected:
    QString todaysFile() const
    {
        return dir.filePath(QStringLiteral("logs/") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
                            + QStringLiteral(".log"));
    }
};

TEST_F(AuditLogWindow, PaneLinesAndOneRecordPerWriterWithItsIdentificationAndTheTextsDigest)
{
    for (const char* id : {"SN-7001", "SN-7002", "SN-7003"}) {
        auto w = plug();
        w->setIdentification(id);
    }
    start();
    auto& page = *window->configPage();
    page.AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
    page.RebuildTargetList();
    ASSERT_TRUE(page.OnConfigSave());
    ASSERT_TRUE(waitIdle());
    const std::string sent = page.configText.sentText(1);
    const QString sha = QString::fromLatin1(
        QCryptographicHash::hash(QByteArray::fromStdString(sent), QCryptographicHash::Sha256).toHex());

    const QStringList lines = fileLines(todaysFile());
    for (const QString& line : lines)
        EXPECT_TRUE(kStamp.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral(">> VREN Kesto Config Save - START <<")).size() == 1);
    const QStringList records = lines.filter(QStringLiteral(" RESULT Config Save "));
    ASSERT_EQ(records.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QString expected = QStringLiteral("RESULT Config Save Dev0%1 id=\"SN-700%1\" usb=usb:1-%1 "
                                                "result=\"Config Save - OK!\" sha256=%2")
                                     .arg(i + 1)
                                     .arg(sha);
        EXPECT_EQ(records.filter(expected).size(), 1) << expected.toStdString();
    }
}

TEST_F(AuditLogWindow, AnUnwritableFolderGivesOneWarningAndTheOperationStillEnds)
{
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    plug();
    MainWindowEnvironment env = environment();
    env.logFolder = dir.filePath(QStringLiteral("blocked/logs"));
    start(env);
    auto& page = *window->configPage();
    page.AddTargetRow(1, 8, "a.bin", kTargetInFlash, 0);
    page.RebuildTargetList();
    ASSERT_TRUE(page.OnConfigSave());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(list().StatusText(0), "Config Save - OK!");
    EXPECT_EQ(logLines().filter(QStringLiteral("cannot be written")).size(), 1);
}

} // namespace
