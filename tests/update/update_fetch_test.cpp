// Every way the remote description can fail to arrive ends in the same box,
// and the window never waits longer than the time-out.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "test_support.h"
#include "update_rig.h"

namespace {

const char* const kNoInfo = "update info can't find!";

struct FailureCase {
    const char* what;
    LocalHttpServer::Answer answer;
    bool serve = true; // false: nothing at that path (404)
};

class FetchFailures : public UpgradeRig, public testing::WithParamInterface<FailureCase> {};

TEST_P(FetchFailures, EndInUpdateInfoCantFind)
{
    const FailureCase& c = GetParam();
    timeoutMs = 1500;
    if (c.serve)
        server.setFile(QStringLiteral("update.xml"), c.answer);

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(runCheck(), UpgradeOutcome::NoInfo) << c.what;
    EXPECT_LT(clock.elapsed(), 5000) << c.what;

    ASSERT_EQ(boxes.shown.size(), 1u) << c.what;
    EXPECT_EQ(boxes.shown[0].text, kNoInfo);
    EXPECT_FALSE(boxes.shown[0].question);
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(profileWrites.empty());
    EXPECT_EQ(mainWindowClosed, 0);
}

const QByteArray kValidList = "<update><file name='a' version='1'/></update>";

INSTANTIATE_TEST_SUITE_P(Table, FetchFailures, testing::Values(
    FailureCase{"404", {}, false},
    FailureCase{"500 with a valid list", {500, kValidList}},
    FailureCase{"not XML", {200, "this is not xml"}},
    FailureCase{"not well-formed", {200, "<update><file name='a' version='1'></update>"}},
    FailureCase{"empty", {200, ""}},
    FailureCase{"over 1 MiB, announced", {200, QByteArray(kMaxDescriptionBytes + 1, ' ') + kValidList}},
    FailureCase{"over 1 MiB, not announced", {200, QByteArray(kMaxDescriptionBytes + 1, ' ') + kValidList, false}},
    FailureCase{"no answer: time-out", {200, kValidList, true, 0, true}},
    FailureCase{"answer after the time-out", {200, kValidList, true, 3000}}),
    [](const testing::TestParamInfo<FailureCase>& info) { return "case" + std::to_string(info.index); });

TEST_F(UpgradeRig, ExactlyOneMiBIsStillRead)
{
    QByteArray xml = "<update><file name='a' version='1'/></update>";
    xml += QByteArray(kMaxDescriptionBytes - xml.size(), ' ');
    server.setDescription(xml);
    writeFile(QStringLiteral("a"), "a");
    EXPECT_EQ(runCheck(), UpgradeOutcome::Latest);
}

TEST_F(UpgradeRig, UnreachableServer)
{
    // A port that was free a moment ago: nobody listens there.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    writeFile(QString::fromLatin1(kSettingsFileName), "[Update]\r\nBaseUrl=http://127.0.0.1:" + QByteArray::number(port) + "\r\n");

    EXPECT_EQ(runCheck(), UpgradeOutcome::NoInfo);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, kNoInfo);
}

TEST_F(UpgradeRig, CancelWhileWaitingEndsTheCheckAtOnce)
{
    server.setFile(QStringLiteral("update.xml"), LocalHttpServer::Answer{200, kValidList, true, 0, true});
    timeoutMs = 20000;
    CAboutDlg about(nullptr, environment());
    bool sawDialog = false;
    // The user presses Cancel once the progress dialog is up.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &about, [&] {
        auto* progress = about.findChild<QProgressDialog*>(QStringLiteral("upgradeCheckProgress"));
        if (progress && progress->isVisible()) {
            sawDialog = true;
            poll.stop();
            QPushButton* cancel = progress->findChild<QPushButton*>();
            ASSERT_TRUE(cancel);
            EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
            cancel->click();
        }
    });
    poll.start(20);

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(about.OnUpgradeCheck(), UpgradeOutcome::NoInfo);
    EXPECT_TRUE(sawDialog) << "no progress dialog while waiting";
    EXPECT_LT(clock.elapsed(), 5000);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, kNoInfo);
}

TEST_F(UpgradeRig, TheWindowKeepsWorkingWhileTheFetchWaits)
{
    server.setFile(QStringLiteral("update.xml"), LocalHttpServer::Answer{200, kValidList, true, 600});
    writeFile(QStringLiteral("a"), "a");
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    EXPECT_EQ(runCheck(), UpgradeOutcome::Latest);
    // Timers ran during the 600 ms wait: the event loop was not blocked.
    EXPECT_GT(ticks, 10);
}

TEST(UpdateFetcher, AnAddressThatIsNotHttpFailsWithoutHanging)
{
    UpdateFetcher fetcher;
    fetcher.start(QUrl(QStringLiteral("file:///etc/hostname")), 1000, kMaxDescriptionBytes);
    EXPECT_FALSE(fetcher.isFinished()) << "finished() must come from the event loop";
    ASSERT_TRUE(testsupport::waitUntil([&] { return fetcher.isFinished(); }, 3000));
    EXPECT_EQ(fetcher.result().status, FetchResult::Failed);
}

} // namespace
