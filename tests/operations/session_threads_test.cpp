// The writer session's threads: ten workers at once, a writer lost in the
// middle, device changes held back until the last worker, and relistings
// that leave the session's own thread free.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "session_rig.h"

using namespace std::chrono_literals;

namespace {

using Event = RecordingReport::Event;

class SessionThreads : public SessionRig {};

TEST_F(SessionThreads, TenWorkersAtOnceOneUnpluggedMidOperationTheOthersFinish)
{
    plugWriters(10);
    start();
    ASSERT_EQ(session->listedCount, 10);
    WriterFaults slow;
    slow.replyDelay = 20ms;
    for (const auto& w : writers)
        w->setFaults(slow);
    WriterFaults lost = slow;
    lost.unplugAfterReplies = 1; // answers its identification, then is gone
    writers[4]->setFaults(lost);

    RecordingReport report;
    ASSERT_NE(session->reopenWriters(), 0);
    std::vector<int> all;
    for (int i = 0; i < 10; ++i)
        all.push_back(i);
    ASSERT_TRUE(session->startOperation(Operation::ConfigSave, all, nullptr, report));
    ASSERT_TRUE(waitIdle(10000));

    for (int dev = 0; dev < 10; ++dev) {
        const std::vector<std::string> expected{dev == 4 ? "WriteUSB Error!" : "Config Save - OK!"};
        EXPECT_EQ(report.statusTexts(dev), expected) << dev;
        EXPECT_FALSE(session->deviceTable().isOpen(dev)) << dev;
    }
    EXPECT_EQ(report.count(Event::WriterDone), 10);
    const auto events = report.events();
    EXPECT_EQ(report.count(Event::OperationDone), 1);
    EXPECT_EQ(events.back().kind, Event::OperationDone) << "the operation ends after its last writer";
    int finishLines = 0;
    for (const std::string& line : report.lines())
        finishLines += line.find("Finish!") != std::string::npos;
    EXPECT_EQ(finishLines, 10);
}

TEST_F(SessionThreads, DeviceChangesDuringAnOperationRelistOnceAfterItsLastWorker)
{
    plugWriters(2);
    start(true);
    const int clearsBefore = view.clears;
    WriterFaults slow;
    slow.replyDelay = 150ms;
    writers[1]->setFaults(slow);

    RecordingReport report;
    ASSERT_NE(session->reopenWriters(), 0);
    ASSERT_TRUE(session->startOperation(Operation::ConfigLoad, {0, 1}, nullptr, report));
    // A writer comes and the first one goes while the workers run.
    auto third = std::make_shared<EmulatedWriter>("VREN Kesto Writer SN-3003");
    bus.plug(third);
    bus.unplug(writers[0]);
    testsupport::waitUntil([] { return false; }, 50);
    EXPECT_EQ(view.clears, clearsBefore) << "nothing is relisted under running workers";
    EXPECT_EQ(third->requests().size(), 0u);

    ASSERT_TRUE(testsupport::waitUntil([&] { return report.finished(); }, 5000));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(view.clears, clearsBefore + 1) << "one relisting, after the last worker";
    EXPECT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(third->requests().size(), 1u) << "one contact check for the newcomer";
    EXPECT_EQ(session->listedCount, 2);
    std::vector<void*> listed;
    for (const NotificationRecord& r : session->notificationList)
        listed.push_back(r.handle);
    EXPECT_EQ(listed, (std::vector<void*>{writers[1].get(), third.get()}));

    testsupport::waitUntil([] { return false; }, 100);
    EXPECT_EQ(view.clears, clearsBefore + 1) << "and nothing more";
}

TEST_F(SessionThreads, RelistingWithThreeSilentWritersLeavesTheSessionThreadFree)
{
    plugWriters(6);
    WriterFaults silent;
    silent.noAnswer = true;
    for (int i : {1, 3, 5})
        writers[std::size_t(i)]->setFaults(silent);
    timeout = 600ms;
    start();
    ASSERT_EQ(view.rows.size(), 6u);

    int ticks = 0;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();

    QElapsedTimer elapsed;
    elapsed.start();
    session->RelistWriters();
    const qint64 returnedAfter = elapsed.elapsed();
    EXPECT_TRUE(session->relisting());
    ASSERT_TRUE(waitIdle());
    const qint64 tookMs = elapsed.elapsed();

    EXPECT_LT(returnedAfter, 300) << "RelistWriters does not wait for the checks";
    EXPECT_GE(tookMs, 550) << "the silent writers held their checks for the time-out";
    EXPECT_LT(tookMs, 2 * 600 + 400) << "all checked at once: about one time-out";
    EXPECT_GE(ticks, int(tookMs / 50) - 4) << "the timer kept firing every 50 ms";
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(view.rows[std::size_t(i)], i % 2 ? "Contact - Unknown!" : "VREN Kesto Contact-OK!") << i;
}

TEST_F(SessionThreads, SessionGoingAwayStopsItsWorkersWithinOneTransfer)
{
    plugWriters(3);
    timeout = 300ms;
    start();
    WriterFaults silent;
    silent.noAnswer = true;
    for (const auto& w : writers)
        w->setFaults(silent);
    RecordingReport report;
    ASSERT_NE(session->reopenWriters(), 0);
    auto middle = [](WorkerContext& c) {
        // A long operation: many exchanges, each stopped by a stop request.
        for (int i = 0; i < 100 && !c.stopRequested; ++i) {
            DeviceInfoText info;
            c.protocol.Kesto_GetDeviceInfo(c.dev, info);
        }
        return OS_SUCCESS;
    };
    WriterFaults answering;
    for (const auto& w : writers)
        w->setFaults(answering);
    ASSERT_TRUE(session->startOperation(Operation::Initialization, {0, 1, 2}, middle, report));
    for (const auto& w : writers)
        w->setFaults(silent);

    QElapsedTimer elapsed;
    elapsed.start();
    session.reset();
    EXPECT_LT(elapsed.elapsed(), 300 + 400) << "within one transfer time-out";
    EXPECT_EQ(report.count(Event::WriterDone), 3) << "every worker still finished";
}

} // namespace
