// The emulated notifier hears of writers leaving on other threads (a writer
// that unplugs itself inside a transfer) and hands the removals to its own
// thread, once each.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "EmulatedNotifier.h"
#include "EmulatedTransport.h"
#include "test_support.h"

namespace {

TEST(EmulatedNotifierThreads, RemovalsFromWorkerThreadsArriveOnceEachOnTheNotifierThread)
{
    EmulatedBus bus;
    EmulatedNotifier notifier(bus);
    constexpr int kWriters = 8;
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
    std::map<void*, int> registered; // notification handle -> writer
    for (int i = 0; i < kWriters; ++i) {
        writers.push_back(std::make_shared<EmulatedWriter>());
        bus.plug(writers.back());
        registered[notifier.registerHandle(writers.back().get(), {})] = i;
    }
    std::map<int, int> removals;
    const std::thread::id uiThread = std::this_thread::get_id();
    notifier.setEventHandler([&](const DeviceEvent& e) {
        EXPECT_EQ(std::this_thread::get_id(), uiThread);
        if (e.eventCode == kDeviceRemoveComplete)
            ++removals[registered.at(e.notificationHandle)];
    });

    // Each writer leaves by itself while a thread reads from it; half of
    // them are also unplugged by hand at the same time.
    std::vector<std::thread> threads;
    for (int i = 0; i < kWriters; ++i) {
        threads.emplace_back([&bus, w = writers[std::size_t(i)], i] {
            w->unplug();
            if (i % 2)
                bus.unplug(w);
            else
                bus.noticeSelfUnplugged();
        });
    }
    for (std::thread& t : threads)
        t.join();
    ASSERT_TRUE(testsupport::waitUntil([&] { return int(removals.size()) == kWriters; }));
    testsupport::waitUntil([] { return false; }, 50);
    for (const auto& [writer, count] : removals)
        EXPECT_EQ(count, 1) << writer;
    EXPECT_TRUE(bus.writers().empty());
}

TEST(EmulatedNotifierThreads, NotifierGoesWhileWritersLeaveOnOtherThreads)
{
    EmulatedBus bus;
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
    for (int i = 0; i < 50; ++i) {
        writers.push_back(std::make_shared<EmulatedWriter>());
        bus.plug(writers.back());
    }
    std::atomic<bool> go{false};
    std::thread leaver([&] {
        while (!go)
            std::this_thread::yield();
        for (const auto& w : writers)
            bus.unplug(w);
    });
    {
        EmulatedNotifier notifier(bus);
        notifier.registerWriterClass();
        go = true;
    } // destroyed while the other thread tells observers
    leaver.join();
    testsupport::waitUntil([] { return false; }, 50);
    EXPECT_TRUE(bus.writers().empty());
}

} // namespace
