// Emulated writers on the bus, opened and served through the transport table.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "emulated_rig.h"

using namespace std::chrono_literals;
using Bytes = EmulatedWriter::Bytes;

namespace {

std::string identificationAt(EmulatedRig& rig, int index)
{
    const Bytes reply = rig.exchange(index, {CMD_DEVICE_INFO});
    return std::string(reply.begin(), std::find(reply.begin(), reply.end(), 0));
}

} // namespace

TEST(EmulatedTransport, WalkGivesIndexesInBusOrder)
{
    EmulatedRig rig;
    auto a = rig.plugNew("SN-A");
    auto b = rig.plugNew("SN-B");
    auto c = rig.plugNew("SN-C");

    ASSERT_EQ(rig.reopen(), 1);
    ASSERT_EQ(rig.table.deviceCount, 3);
    EXPECT_EQ(identificationAt(rig, 0), "SN-A");
    EXPECT_EQ(identificationAt(rig, 1), "SN-B");
    EXPECT_EQ(identificationAt(rig, 2), "SN-C");
    // Removal notifications refer to the writer itself.
    EXPECT_EQ(rig.registered, (std::vector<void*>{a.get(), b.get(), c.get()}));

    // Indexes stay dense: with the first writer gone the others move up.
    rig.bus.unplug(a);
    ASSERT_EQ(rig.reopen(), 1);
    ASSERT_EQ(rig.table.deviceCount, 2);
    EXPECT_EQ(identificationAt(rig, 0), "SN-B");
    EXPECT_EQ(identificationAt(rig, 1), "SN-C");
    EXPECT_FALSE(rig.table.isOpen(2));
}

TEST(EmulatedTransport, EleventhWriterIsNotOpenedAndReportedOnce)
{
    EmulatedRig rig;
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
    for (int i = 1; i <= 11; ++i)
        writers.push_back(rig.plugNew("SN-" + std::to_string(i)));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(rig.reopen(), 1);
        EXPECT_EQ(rig.table.deviceCount, 10);
        EXPECT_EQ(identificationAt(rig, 9), "SN-10");
        EXPECT_EQ(rig.registered.size(), 10u);
    }
    EXPECT_TRUE(writers[10]->requests().empty());
    ASSERT_EQ(rig.log.texts().size(), 1u);
    EXPECT_NE(rig.log.texts()[0].find("Maximum Contact Devices are 10"), std::string::npos);
    EXPECT_TRUE(rig.boxes.shown().empty());
}

TEST(EmulatedTransport, WriterUnpluggedBetweenListingAndOpeningEndsTheWalk)
{
    EmulatedRig rig;
    rig.plugNew("SN-A");
    auto b = rig.plugNew("SN-B");
    rig.plugNew("SN-C");
    // Pulled out while writer 0 is being registered, after the bus was listed.
    rig.onRegistered = [&](void*) { b->unplug(); };

    EXPECT_EQ(rig.reopen(), 1);
    EXPECT_EQ(rig.table.deviceCount, 1);
    EXPECT_FALSE(rig.table.isOpen(1));
    EXPECT_FALSE(rig.table.isOpen(2));
    EXPECT_EQ(identificationAt(rig, 0), "SN-A");
}

TEST(EmulatedTransport, TransfersFollowTheWriter)
{
    EmulatedRig rig(0, 80ms);
    auto writer = rig.plugNew("SN-A");
    ASSERT_EQ(rig.reopen(), 1);

    // A short reply comes through at its own length.
    WriterFaults faults;
    faults.shortReply = 2;
    writer->setFaults(faults);
    EXPECT_EQ(rig.exchange(0, {CMD_FIRMWARE_VERSION}), (Bytes{0x00, 0x40}));

    // A silent writer: the read gives up after the transport's time-out.
    faults = {};
    faults.noAnswer = true;
    writer->setFaults(faults);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.exchange(0, {CMD_FIRMWARE_VERSION}), Bytes{});
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 80ms);
    EXPECT_LT(waited, 1000ms);

    // Unplugged: both directions fail at once; the entry stays until closed.
    writer->setFaults({});
    rig.bus.unplug(writer);
    const std::uint8_t request = CMD_DEVICE_INFO;
    EXPECT_EQ(rig.usb.WriteDevice(0, &request, 1), 0);
    std::uint8_t reply[64];
    EXPECT_EQ(rig.usb.ReadDevice(0, reply, sizeof reply), 0);
    EXPECT_TRUE(rig.table.isOpen(0));
    EXPECT_EQ(rig.reopen(), 0);
}

TEST(EmulatedTransport, EachOpeningStartsWithAnIdleWriter)
{
    EmulatedRig rig;
    auto writer = rig.plugNew("SN-A");
    writer->setFile("config.ini", std::string(300, 'c'));
    ASSERT_EQ(rig.reopen(), 1);
    // An operation that failed in the middle of a configuration read.
    ASSERT_EQ(rig.exchange(0, {CMD_CONFIG_READ}).size(), 6u);
    ASSERT_EQ(rig.exchange(0, {CMD_NEXT}).size(), 64u);

    ASSERT_EQ(rig.reopen(), 1);
    const Bytes version = rig.exchange(0, {CMD_FIRMWARE_VERSION});
    EXPECT_EQ(std::string(version.begin() + 4, version.end() - 1), "VREN Kesto V2.10 2026-11-02");
}

TEST(EmulatedTransport, WriterThatUnpluggedItselfLeavesTheBus)
{
    EmulatedRig rig;
    auto a = rig.plugNew("SN-A");
    auto b = rig.plugNew("SN-B");
    WriterFaults faults;
    faults.unplugAfterReplies = 1;
    a->setFaults(faults);
    ASSERT_EQ(rig.reopen(), 1);

    EXPECT_FALSE(rig.exchange(0, {CMD_DEVICE_INFO}).empty());
    EXPECT_TRUE(rig.exchange(0, {CMD_DEVICE_INFO}).empty());
    EXPECT_EQ(rig.bus.writers(), std::vector<std::shared_ptr<EmulatedWriter>>{b});

    // Plugged back in, it answers again and is last on the bus.
    rig.bus.plug(a);
    ASSERT_EQ(rig.reopen(), 1);
    EXPECT_EQ(identificationAt(rig, 0), "SN-B");
    EXPECT_EQ(identificationAt(rig, 1), "SN-A");
}
