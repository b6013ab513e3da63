// Closing an entry while another thread is inside a transfer on it.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "transport/DeviceTable.h"

namespace {

// A device whose read blocks until the test lets it go, and which notes
// whether its handles were released while a transfer was still inside.
class BlockingDevice : public OpenedDevice {
public:
    struct Probe {
        std::mutex mutex;
        std::condition_variable cv;
        bool inside = false;
        bool release = false;
        bool closed = false;
        bool closedWhileInside = false;
    };
    explicit BlockingDevice(Probe& probe) : probe_(probe) {}

    std::int32_t write(const std::uint8_t*, std::int32_t length) override { return length; }
    std::int32_t read(std::uint8_t* buffer, std::int32_t length) override
    {
        std::unique_lock lock(probe_.mutex);
        probe_.inside = true;
        probe_.cv.notify_all();
        probe_.cv.wait(lock, [this] { return probe_.release; });
        buffer[0] = 0x5A;
        probe_.inside = false;
        return std::min<std::int32_t>(length, 1);
    }
    bool close() override
    {
        std::lock_guard lock(probe_.mutex);
        probe_.closedWhileInside = probe_.inside;
        probe_.closed = true;
        return true;
    }
    void* notificationHandle() const override { return nullptr; }

private:
    Probe& probe_;
};

TEST(DeviceTableThreads, CloseDuringTransferDefersReleaseUntilTheTransferReturns)
{
    DeviceTable table;
    BlockingDevice::Probe probe;
    ASSERT_TRUE(table.install(0, std::make_unique<BlockingDevice>(probe)));

    std::atomic<int> readResult{-1};
    std::thread worker([&] {
        std::uint8_t buffer[64]{};
        readResult = table.read(0, buffer, 64);
    });
    {
        std::unique_lock lock(probe.mutex);
        probe.cv.wait(lock, [&] { return probe.inside; });
    }

    table.close(0); // the UI thread relists in the middle of the transfer
    EXPECT_FALSE(table.isOpen(0));
    {
        std::lock_guard lock(probe.mutex);
        EXPECT_FALSE(probe.closed) << "handles released under a running transfer";
    }
    std::uint8_t byte = 0;
    EXPECT_EQ(table.read(0, &byte, 1), 0) << "a new transfer on the closed entry fails at once";

    {
        std::lock_guard lock(probe.mutex);
        probe.release = true;
    }
    probe.cv.notify_all();
    worker.join();

    EXPECT_EQ(readResult.load(), 1);
    std::lock_guard lock(probe.mutex);
    EXPECT_TRUE(probe.closed);
    EXPECT_FALSE(probe.closedWhileInside);
}

TEST(DeviceTableThreads, ManyThreadsTransferWhileEntriesAreClosedAndReopened)
{
    // Stress the entry lock: transfers race with close and install.
    class EchoDevice : public OpenedDevice {
    public:
        std::int32_t write(const std::uint8_t*, std::int32_t length) override { return length; }
        std::int32_t read(std::uint8_t* buffer, std::int32_t length) override
        {
            buffer[0] = 1;
            return std::min<std::int32_t>(length, 1);
        }
        bool close() override { return true; }
        void* notificationHandle() const override { return nullptr; }
    };

    DeviceTable table;
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int dev = 0; dev < 4; ++dev) {
        workers.emplace_back([&, dev] {
            std::uint8_t buffer[64];
            while (!stop) {
                table.write(dev, buffer, 1);
                table.read(dev, buffer, 64);
            }
        });
    }
    for (int round = 0; round < 2000; ++round) {
        for (int dev = 0; dev < 4; ++dev) {
            table.close(dev);
            table.install(dev, std::make_unique<EchoDevice>());
        }
    }
    stop = true;
    for (auto& t : workers)
        t.join();
}

} // namespace
