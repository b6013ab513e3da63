// The Initialization worker on emulated writers, timed by a clock that moves
// only when the test moves it: the quiet phase of writers 1..9, the reply
// limits of 40 and 70 seconds, the writer's verdict, a writer lost during
// the wait, and a stop that ends the waits at once.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "operations/KestoInitialWorker.h"
#include "session_rig.h"

using namespace std::chrono_literals;

namespace {

using Event = RecordingReport::Event;

constexpr Rgb kBlue = rgb(0, 128, 255);
constexpr Rgb kRed = rgb(199, 21, 133);

const std::vector<std::uint8_t> kInitialRequest{CMD_FS_INITIAL};

// "Dev03" for device index 2, as the log lines name a writer.
std::string devName(int dev)
{
    char name[16];
    std::snprintf(name, sizeof name, "Dev%02d", dev + 1);
    return name;
}

class InitializationThreads : public SessionRig {
protected:
    // The workers use the clock and the report: they go first.
    ~InitializationThreads() override { session.reset(); }

    // `count` writers listed; their format ends only when the test releases it.
    void listWriters(int count)
    {
        plugWriters(count);
        for (const auto& w : writers)
            w->setInitDuration(EmulatedWriter::kNeverFinishes);
        start();
    }

    void initialize(const std::vector<int>& devices, const Clock& withClock)
    {
        ASSERT_NE(session->reopenWriters(), 0);
        ASSERT_TRUE(session->startOperation(Operation::Initialization, devices, KestoInitialWorker(withClock), report));
    }
    void initialize(const std::vector<int>& devices) { initialize(devices, clock); }

    void moveTo(Clock::Duration sinceRequest) { clock.setElapsed(sinceRequest); }

    bool done(int dev) const
    {
        for (const Event& e : report.events())
            if (e.kind == Event::WriterDone && e.dev == dev)
                return true;
        return false;
    }
    bool waitDone(int dev) { return testsupport::waitUntil([&] { return done(dev); }, 5000); }
    OperationStatus result(int dev) const
    {
        for (const Event& e : report.events())
            if (e.kind == Event::WriterDone && e.dev == dev)
                return e.status;
        return OperationStatus(0);
    }
    // The writer's log lines after its two identification lines.
    std::vector<LogLine> linesAfterStart() const
    {
        std::vector<LogLine> out;
        for (const Event& e : report.events())
            if (e.kind == Event::Log)
                out.push_back({e.color, e.text});
        if (out.size() >= 2)
            out.erase(out.begin(), out.begin() + 2);
        return out;
    }
    static std::vector<std::string> texts(const std::vector<LogLine>& lines)
    {
        std::vector<std::string> out;
        for (const LogLine& l : lines)
            out.push_back(l.text);
        return out;
    }

    FakeClock clock;
    RecordingReport report;
};

// ---------------------------------------------------------------- timing

struct AnswerCase {
    int dev;
    // The status cell 29 seconds after the request.
    std::vector<std::string> at29Seconds;
};
void PrintTo(const AnswerCase& c, std::ostream* os) { *os << "device index " << c.dev; }

class WriterAnswering35SecondsAfterTheRequest : public InitializationThreads,
                                                public testing::WithParamInterface<AnswerCase> {};

TEST_P(WriterAnswering35SecondsAfterTheRequest, WaitsQuietlyThenCompletes)
{
    const AnswerCase& c = GetParam();
    listWriters(c.dev + 1);
    initialize({c.dev});
    ASSERT_TRUE(clock.waitUntilAsleep(1));
    EXPECT_EQ(writers[std::size_t(c.dev)]->requests().back(), kInitialRequest);

    moveTo(29s);
    ASSERT_TRUE(clock.waitUntilAsleep(1));
    EXPECT_EQ(report.statusTexts(c.dev), c.at29Seconds);

    moveTo(30s);
    ASSERT_TRUE(clock.waitUntilAsleep(1));
    EXPECT_EQ(report.statusTexts(c.dev), (std::vector<std::string>{"Initializing~~", "Waiting~~"}));
    EXPECT_FALSE(done(c.dev));

    writers[std::size_t(c.dev)]->releaseHeldReplies();
    moveTo(35s);
    ASSERT_TRUE(waitDone(c.dev));
    EXPECT_EQ(result(c.dev), OS_EXIT_OK);
    EXPECT_EQ(report.statusTexts(c.dev),
              (std::vector<std::string>{"Initializing~~", "Waiting~~", "Initial Complete!", "Kesto Initial - OK!"}));
    const std::string n = devName(c.dev);
    const std::vector<LogLine> lines = linesAfterStart();
    EXPECT_EQ(texts(lines), (std::vector<std::string>{
                                "\t +  " + n + ": FileSystem Initializing Continue!\r\n",
                                "\t +  " + n + ": FileSystem Initial Complete!\r\n",
                                "\t +  " + n + ": EXIT Ok! - Kesto Initial\r\n",
                                "\xA1\xDA" + n + ": Finish!\r\n\n",
                            }));
    for (const LogLine& line : lines)
        EXPECT_EQ(line.color, kBlue) << line.text;
}

INSTANTIATE_TEST_SUITE_P(Initialization, WriterAnswering35SecondsAfterTheRequest,
    testing::Values(AnswerCase{0, {"Initializing~~", "Waiting~~"}}, // read from the start
                    AnswerCase{2, {"Initializing~~"}},               // left alone for 30 s
                    AnswerCase{9, {"Initializing~~"}}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return "Writer" + std::to_string(info.param.dev); });

struct SilentCase {
    int dev;
    std::chrono::seconds limit;
};
void PrintTo(const SilentCase& c, std::ostream* os) { *os << "device index " << c.dev << ", " << c.limit.count() << " s"; }

class SilentWriter : public InitializationThreads, public testing::WithParamInterface<SilentCase> {};

TEST_P(SilentWriter, IsWaitedForUpToItsLimitThenGivesAReadError)
{
    const SilentCase& c = GetParam();
    listWriters(c.dev + 1);
    initialize({c.dev});
    ASSERT_TRUE(clock.waitUntilAsleep(1));

    // Reading again and again while the limit has not passed.
    for (auto at : {c.limit / 2, c.limit - 1s, c.limit}) {
        moveTo(at);
        ASSERT_TRUE(clock.waitUntilAsleep(1)) << at.count();
        EXPECT_FALSE(done(c.dev)) << "still waited for at " << at.count() << " s";
    }

    moveTo(c.limit + 1s);
    ASSERT_TRUE(waitDone(c.dev));
    EXPECT_EQ(result(c.dev), OS_READ_USB_ERROR);
    EXPECT_EQ(report.statusTexts(c.dev).back(), "ReadUSB Error!");
    const std::string n = devName(c.dev);
    EXPECT_EQ(texts(linesAfterStart()), (std::vector<std::string>{
                                            "\t +  " + n + ": FileSystem Initializing Continue!\r\n",
                                            "\t +  " + n + ": ReadUSB Error! - Kesto Initial\r\n",
                                            "\xA1\xDA" + n + ": Finish!\r\n\n",
                                        }));
}

INSTANTIATE_TEST_SUITE_P(Initialization, SilentWriter,
    testing::Values(SilentCase{0, 70s}, SilentCase{3, 40s}),
    [](const testing::TestParamInfo<SilentCase>& info) { return "Writer" + std::to_string(info.param.dev); });

// ---------------------------------------------------------------- verdict

TEST_F(InitializationThreads, TheWritersStatusByteDecidesTheResult)
{
    struct Case {
        std::uint8_t status;
        OperationStatus result;
        const char* judgement; // the line after "Initializing Continue!"
        Rgb color;
        std::vector<std::string> cells;
    };
    const Case cases[] = {
        {RS_ERROR, OS_COMM_ERROR, "\t +  Dev01: FileSystemMount Error!\r\n", kRed,
         {"Initializing~~", "Waiting~~", "COMM Error!"}},
        {RS_FAILED, OS_COMM_ERROR, "\t +  Dev01: FileSystemInitial Error!\r\n", kRed,
         {"Initializing~~", "Waiting~~", "COMM Error!"}},
        {RS_OK, OS_EXIT_OK, "\t +  Dev01: FileSystem Initial Complete!\r\n", kBlue,
         {"Initializing~~", "Waiting~~", "Initial Complete!", "Kesto Initial - OK!"}},
        {RS_END, OS_EXIT_OK, "\t +  Dev01: FileSystem Initial Complete!\r\n", kBlue,
         {"Initializing~~", "Waiting~~", "Initial Complete!", "Kesto Initial - OK!"}},
    };
    plugWriters(1);
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.status));
        WriterFaults faults;
        faults.commandStatus[CMD_FS_INITIAL] = {c.status, 0};
        writers[0]->setFaults(faults);
        report.clear();
        initialize({0});
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(result(0), c.result);
        EXPECT_EQ(report.statusTexts(0), c.cells);
        const std::vector<LogLine> lines = linesAfterStart();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1].text, c.judgement);
        EXPECT_EQ(lines[1].color, c.color);
        if (c.result == OS_COMM_ERROR) {
            EXPECT_EQ(lines[2].text, "\t +  Dev01: COMM Error! - Kesto Initial\r\n");
        }
    }
}

TEST_F(InitializationThreads, RequestThatCannotBeSentIsAWriteErrorWithoutAnyWait)
{
    listWriters(2);
    WriterFaults lost;
    lost.unplugAfterReplies = 2; // says who it is, then is gone
    writers[1]->setFaults(lost);
    initialize({1});
    ASSERT_TRUE(waitDone(1));
    EXPECT_EQ(result(1), OS_WRITE_USB_ERROR);
    EXPECT_EQ(report.statusTexts(1), (std::vector<std::string>{"Initializing~~", "WriteUSB Error!"}));
}

// ---------------------------------------------------------------- trouble

TEST_F(InitializationThreads, WriterUnpluggedDuringItsWaitEndsWithItsErrorTheOthersComplete)
{
    listWriters(3);
    initialize({0, 1, 2});
    ASSERT_TRUE(clock.waitUntilAsleep(3));
    bus.unplug(writers[1]);
    writers[0]->releaseHeldReplies();
    writers[2]->releaseHeldReplies();

    moveTo(35s);
    ASSERT_TRUE(waitDone(0));
    ASSERT_TRUE(waitDone(2));
    EXPECT_EQ(result(0), OS_EXIT_OK);
    EXPECT_EQ(result(2), OS_EXIT_OK);
    // Its reads fail at once; between them it sleeps, it does not spin.
    ASSERT_TRUE(clock.waitUntilAsleep(1));
    EXPECT_FALSE(done(1));
    EXPECT_EQ(report.statusTexts(1), (std::vector<std::string>{"Initializing~~", "Waiting~~"}));

    moveTo(41s);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(result(1), OS_READ_USB_ERROR);
    EXPECT_EQ(report.statusTexts(1).back(), "ReadUSB Error!");
    EXPECT_EQ(report.statusTexts(0).back(), "Kesto Initial - OK!");
    EXPECT_EQ(report.statusTexts(2).back(), "Kesto Initial - OK!");
    for (int dev = 0; dev < 3; ++dev)
        EXPECT_FALSE(session->deviceTable().isOpen(dev)) << dev;
}

// The machine's own clock: a stop (the window closing) wakes a worker from
// its quiet phase or its reply wait at once, not after 30 or 70 seconds, and
// it does not report success.
TEST_F(InitializationThreads, StopEndsTheWaitsAtOnceOnTheSteadyClock)
{
    struct Case {
        const char* name;
        int dev;
        const char* cellWhenStopped;
    };
    for (const Case& c : {Case{"quiet phase", 1, "Initializing~~"}, Case{"reply wait", 0, "Waiting~~"}}) {
        SCOPED_TRACE(c.name);
        session.reset();
        writers.clear();
        for (const auto& w : bus.writers())
            bus.unplug(w);
        report.clear();
        listWriters(2);
        initialize({c.dev}, Clock::steady());
        ASSERT_TRUE(testsupport::waitUntil([&] {
            const auto cells = report.statusTexts(c.dev);
            return !cells.empty() && cells.back() == c.cellWhenStopped;
        }));
        testsupport::waitUntil([] { return false; }, 200);

        QElapsedTimer elapsed;
        elapsed.start();
        session->stopWork();
        ASSERT_TRUE(waitDone(c.dev));
        EXPECT_LT(elapsed.elapsed(), timeout.count() + 500) << "within one transfer";
        EXPECT_EQ(result(c.dev), OS_READ_USB_ERROR);
        EXPECT_EQ(report.statusTexts(c.dev).back(), "ReadUSB Error!");
    }
}

} // namespace
