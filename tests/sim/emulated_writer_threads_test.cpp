// Emulated writers used from worker threads while another thread plugs,
// unplugs and reconfigures them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "emulated_rig.h"

using namespace std::chrono_literals;
using Bytes = EmulatedWriter::Bytes;
using SteadyClock = std::chrono::steady_clock;

namespace {

// Runs one read on its own thread and reports how long it waited. The thread
// flags when it is about to read; a short grace period lets it reach the wait.
struct BackgroundRead {
    explicit BackgroundRead(std::function<int(std::uint8_t*, int)> read)
    {
        result = std::async(std::launch::async, [this, read] {
            std::uint8_t buffer[64];
            started = true;
            const auto start = SteadyClock::now();
            const int n = read(buffer, sizeof buffer);
            waited = SteadyClock::now() - start;
            return Bytes(buffer, buffer + n);
        });
        while (!started)
            std::this_thread::yield();
        std::this_thread::sleep_for(30ms);
    }

    std::atomic<bool> started{false};
    SteadyClock::duration waited{};
    std::future<Bytes> result;
};

} // namespace

TEST(EmulatedWriterThreads, UnplugWakesAWaitingRead)
{
    struct Case {
        const char* what;
        std::function<void(EmulatedRig&, const std::shared_ptr<EmulatedWriter>&)> pull;
    };
    const std::vector<Case> cases = {
        {"unplugged from the bus", [](EmulatedRig& rig, const auto& w) { rig.bus.unplug(w); }},
        {"unplugged by itself", [](EmulatedRig&, const auto& w) { w->unplug(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedRig rig(0, 5000ms); // a read that is not woken holds the test for seconds
        auto writer = rig.plugNew("SN-A");
        WriterFaults faults;
        faults.noAnswer = true;
        writer->setFaults(faults);
        ASSERT_EQ(rig.reopen(), 1);
        const std::uint8_t request = CMD_FIRMWARE_VERSION;
        ASSERT_EQ(rig.usb.WriteDevice(0, &request, 1), 1);

        BackgroundRead read([&](std::uint8_t* b, int n) { return rig.usb.ReadDevice(0, b, n); });
        c.pull(rig, writer);
        EXPECT_EQ(read.result.get(), Bytes{});
        EXPECT_LT(read.waited, 2000ms);
    }
}

TEST(EmulatedWriterThreads, ReplyReleasedFromAnotherThreadWakesTheRead)
{
    auto writer = std::make_shared<EmulatedWriter>();
    writer->setInitDuration(EmulatedWriter::kNeverFinishes);
    const std::uint8_t request = CMD_FS_INITIAL;
    ASSERT_EQ(writer->hostWrite(&request, 1), 1);

    BackgroundRead read([&](std::uint8_t* b, int n) { return writer->hostRead(b, n, 5000ms); });
    writer->releaseHeldReplies();
    EXPECT_EQ(read.result.get(), (Bytes{CMD_FS_INITIAL, RS_OK, 0, 0, 0, 0}));
    EXPECT_LT(read.waited, 2000ms);
}

TEST(EmulatedWriterThreads, TenWorkersWriteTheirWritersWhileTheBusChanges)
{
    EmulatedRig rig(0, 2000ms);
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
    for (int i = 0; i < kMaxDevices; ++i) {
        writers.push_back(rig.plugNew("SN-" + std::to_string(i)));
        WriterFaults faults;
        faults.replyDelay = 1ms; // replies arrive while the worker waits
        writers.back()->setFaults(faults);
    }
    ASSERT_EQ(rig.reopen(), 1);
    ASSERT_EQ(rig.table.deviceCount, kMaxDevices);

    constexpr int kLines = 20;
    auto lineText = [](int index, int line) {
        return "Dev" + std::to_string(index) + " line " + std::to_string(line);
    };
    std::vector<std::thread> workers;
    std::vector<int> failures(kMaxDevices, 0);
    for (int index = 0; index < kMaxDevices; ++index) {
        workers.emplace_back([&rig, &failures, &lineText, index] {
            auto ok = [&](const Bytes& reply, std::uint8_t echo) {
                if (reply != Bytes{echo, RS_OK, 0, 0, 0, 0})
                    ++failures[std::size_t(index)];
            };
            ok(rig.exchange(index, {CMD_CONFIG_WRITE}), CMD_CONFIG_WRITE);
            for (int line = 0; line < kLines; ++line) {
                const std::string text = lineText(index, line);
                Bytes packet{CMD_NEXT, std::uint8_t(text.size() + 2)};
                packet.insert(packet.end(), text.begin(), text.end());
                packet.push_back(0x0D);
                packet.push_back(0x0A);
                ok(rig.exchange(index, packet), CMD_NEXT);
            }
            ok(rig.exchange(index, {CMD_END}), CMD_END);
        });
    }
    // Meanwhile the test thread plugs an eleventh writer, pokes at the others
    // and takes the extra one away again.
    auto extra = std::make_shared<EmulatedWriter>("SN-extra");
    for (int round = 0; round < 20; ++round) {
        rig.bus.plug(extra);
        for (const auto& w : writers) {
            w->setFile("a.bin", std::to_string(round));
            (void)w->fileNames();
            (void)w->replies();
        }
        rig.bus.unplug(extra);
    }
    for (auto& t : workers)
        t.join();

    EXPECT_EQ(failures, std::vector<int>(kMaxDevices, 0));
    for (int index = 0; index < kMaxDevices; ++index) {
        std::string expected;
        for (int line = 0; line < kLines; ++line)
            expected += lineText(index, line) + "\r\n";
        EXPECT_EQ(writers[std::size_t(index)]->file("config.ini"), expected) << index;
    }
}
