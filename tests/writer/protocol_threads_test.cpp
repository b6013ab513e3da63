// Workers on different writers run the protocol at the same time.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "emulated_rig.h"

using namespace std::chrono_literals;

namespace {

std::string configFor(int dev)
{
    return "Dev" + std::to_string(dev);
}

TEST(ProtocolThreads, TenWorkersWriteAndReadTheirOwnWriters)
{
    EmulatedRig rig(10);
    ASSERT_TRUE(rig.reopen());
    ASSERT_EQ(rig.table.deviceCount, 10);

    std::array<OperationStatus, 10> writes{}, reads{};
    std::array<std::string, 10> texts;
    std::vector<std::thread> workers;
    for (int dev = 0; dev < 10; ++dev) {
        workers.emplace_back([&, dev] {
            std::vector<std::string> lines;
            for (int i = 0; i < 20; ++i)
                lines.push_back(configFor(dev) + ":line" + std::to_string(i));
            writes[std::size_t(dev)] = rig.protocol.Kesto_ConfigWrite(dev, lines);
            reads[std::size_t(dev)] = rig.protocol.Kesto_ConfigRead(dev, texts[std::size_t(dev)]);
        });
    }
    for (auto& t : workers)
        t.join();

    for (int dev = 0; dev < 10; ++dev) {
        SCOPED_TRACE(dev);
        EXPECT_EQ(writes[std::size_t(dev)], OS_SUCCESS);
        EXPECT_EQ(reads[std::size_t(dev)], OS_SUCCESS);
        const std::string& text = texts[std::size_t(dev)];
        EXPECT_EQ(text.find(configFor(dev) + ":line0\r\n"), 0u);
        EXPECT_NE(text.find(configFor(dev) + ":line19\r\n"), std::string::npos);
        EXPECT_EQ(rig.writer(dev).file("config.ini"), text);
    }
}

TEST(ProtocolThreads, RelistingUnderRunningWorkersEndsTheirOperationsCleanly)
{
    // The UI thread closes every entry while workers are mid-stream: their
    // next transfer fails, nothing is released under them, nothing hangs.
    EmulatedRig rig(4, 200ms);
    for (int dev = 0; dev < 4; ++dev) {
        std::string text(5000, char('a' + dev));
        rig.writer(dev).setFile("config.ini", text);
        WriterFaults slow;
        slow.replyDelay = 1ms;
        rig.writer(dev).setFaults(slow);
    }
    ASSERT_TRUE(rig.reopen());

    std::atomic<int> started{0};
    std::array<OperationStatus, 4> results{};
    std::vector<std::thread> workers;
    for (int dev = 0; dev < 4; ++dev) {
        workers.emplace_back([&, dev] {
            ++started;
            std::string text;
            results[std::size_t(dev)] = rig.protocol.Kesto_ConfigRead(dev, text);
        });
    }
    while (started < 4)
        std::this_thread::yield();
    std::this_thread::sleep_for(20ms);
    for (int i = 0; i < kMaxDevices; ++i)
        rig.usb.CloseDevice(i);
    for (auto& t : workers)
        t.join();

    for (OperationStatus s : results)
        EXPECT_TRUE(s == OS_WRITE_USB_ERROR || s == OS_READ_USB_ERROR || s == OS_SUCCESS) << operationStatusName(s);
}

} // namespace
