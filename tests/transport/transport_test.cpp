// The device table and the rules every back end shares.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "recording.h"
#include "transport/DeviceTable.h"
#include "transport/LibUsbTransport.h"
#include "transport/TransportBackend.h"
#include "transport/WinUsbTransport.h"

namespace {

// An opened device that answers every read with a fixed reply.
class ScriptedDevice : public OpenedDevice {
public:
    explicit ScriptedDevice(int id, bool closeFails = false, std::atomic<int>* closes = nullptr)
        : id_(id), closeFails_(closeFails), closes_(closes) {}

    std::int32_t write(const std::uint8_t*, std::int32_t length) override { return length; }
    std::int32_t read(std::uint8_t* buffer, std::int32_t length) override
    {
        // A back end that claims more than asked must not overrun the caller.
        for (int i = 0; i < length; ++i)
            buffer[i] = std::uint8_t(id_);
        return length + 100;
    }
    bool close() override
    {
        if (closes_)
            ++*closes_;
        return !closeFails_;
    }
    void* notificationHandle() const override { return reinterpret_cast<void*>(std::intptr_t(id_ + 1)); }

private:
    int id_;
    bool closeFails_;
    std::atomic<int>* closes_;
};

// A back end over a fixed number of scripted writers, walking the way the
// current-platform back end does.
class ScriptedBackend : public TransportBackend {
public:
    ScriptedBackend(TransportServices services, int writers, int failingMember = -1)
        : TransportBackend(std::move(services)), writers_(writers), failingMember_(failingMember) {}

    std::int32_t OpenAllDevices() override
    {
        return openWalkStoppingAtFirstFailure(writers_, [this](int k) -> std::unique_ptr<OpenedDevice> {
            if (k == failingMember_)
                return nullptr;
            return std::make_unique<ScriptedDevice>(k);
        });
    }

    int writers_;
    int failingMember_;
};

struct TransportFixture : testing::Test {
    DeviceTable table;
    RecordingBoxes boxes;
    RecordingLog log;
    std::vector<void*> registered;

    TransportServices services()
    {
        return {table, boxes, log, [this](void* h) { registered.push_back(h); }};
    }
};

TEST_F(TransportFixture, CloseAndTransfersOnClosedEntriesDoNothing)
{
    for (int i = -1; i <= kMaxDevices; ++i)
        table.close(i);
    std::uint8_t buffer[64]{};
    for (int i : {-1, 0, 9, 10}) {
        EXPECT_FALSE(table.isOpen(i));
        EXPECT_EQ(table.write(i, buffer, 1), 0);
        EXPECT_EQ(table.read(i, buffer, 64), 0);
    }
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(table.deviceCount, 0);
}

TEST_F(TransportFixture, ReadNeverReportsMoreThanAsked)
{
    ASSERT_TRUE(table.install(3, std::make_unique<ScriptedDevice>(3)));
    std::uint8_t buffer[8]{};
    EXPECT_EQ(table.read(3, buffer, 8), 8);
}

TEST_F(TransportFixture, RefusedCloseShowsItsBoxOnceAndTheEntryIsClosedAnyway)
{
    std::atomic<int> closes{0};
    table.setCloseFailureHandler([this](int index) {
        boxes.information("No.<" + std::to_string(index) + "> USB Device Close Error!");
    });
    ASSERT_TRUE(table.install(4, std::make_unique<ScriptedDevice>(4, true, &closes)));
    EXPECT_FALSE(table.install(4, std::make_unique<ScriptedDevice>(5, false, &closes)))
        << "an open entry is not overwritten";
    EXPECT_EQ(closes.load(), 1) << "the refused device is closed again";
    table.close(4);
    table.close(4);
    EXPECT_FALSE(table.isOpen(4));
    EXPECT_EQ(closes.load(), 2);
    EXPECT_EQ(boxes.shown(), std::vector<std::string>{"No.<4> USB Device Close Error!"});
}

TEST_F(TransportFixture, WalkFillsEntriesInOrderAndRegistersEachWriter)
{
    ScriptedBackend backend(services(), 3);
    UsbTransport transport = bindTransport(backend);
    ASSERT_TRUE(transport.isFilled());
    EXPECT_NE(transport.OpenAllDevices(), 0);
    EXPECT_EQ(table.deviceCount, 3);
    std::uint8_t byte = 0xFF;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(transport.ReadDevice(i, &byte, 1), 1);
        EXPECT_EQ(byte, i) << "entry " << i << " holds enumeration position " << i;
    }
    EXPECT_FALSE(table.isOpen(3));
    EXPECT_EQ(registered.size(), 3u);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(TransportFixture, WalkStopsAtOccupiedEntryWithItsBox)
{
    ScriptedBackend backend(services(), 4);
    ASSERT_TRUE(table.install(2, std::make_unique<ScriptedDevice>(42)));
    EXPECT_NE(backend.OpenAllDevices(), 0);
    EXPECT_EQ(table.deviceCount, 2);
    EXPECT_EQ(boxes.shown(), std::vector<std::string>{"USB Device Number <2> is not INVALID_HANDLE_VALUE"});
    EXPECT_FALSE(table.isOpen(3));
}

TEST_F(TransportFixture, WalkEndsAtFirstWriterThatFailsToOpen)
{
    ScriptedBackend failingFirst(services(), 3, 0);
    EXPECT_EQ(failingFirst.OpenAllDevices(), 0);
    EXPECT_EQ(table.deviceCount, 0);

    ScriptedBackend failingSecond(services(), 3, 1);
    EXPECT_NE(failingSecond.OpenAllDevices(), 0);
    EXPECT_EQ(table.deviceCount, 1);
}

TEST_F(TransportFixture, EleventhWriterIsIgnoredAndReportedOnce)
{
    ScriptedBackend backend(services(), 11);
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < kMaxDevices; ++i)
            backend.CloseDevice(i);
        EXPECT_NE(backend.OpenAllDevices(), 0);
        EXPECT_EQ(table.deviceCount, 10);
    }
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].color, kLogErrorColor);
    EXPECT_NE(log.lines()[0].text.find("Maximum Contact Devices are 10"), std::string::npos);

    // Back to ten, then eleven again: the user hears about it again.
    backend.writers_ = 10;
    for (int i = 0; i < kMaxDevices; ++i)
        backend.CloseDevice(i);
    backend.OpenAllDevices();
    backend.writers_ = 12;
    for (int i = 0; i < kMaxDevices; ++i)
        backend.CloseDevice(i);
    backend.OpenAllDevices();
    EXPECT_EQ(log.lines().size(), 2u);
}

TEST_F(TransportFixture, NoWriterStandInsAnswerAsTheirBackEnds)
{
    WinUsbTransport winusb(services());
    LibUsbTransport libusb(services());
    EXPECT_EQ(winusb.OpenAllDevices(), 0) << "the current-platform walk fails with no writer";
    EXPECT_EQ(table.deviceCount, 0);
    EXPECT_NE(libusb.OpenAllDevices(), 0) << "the libusb walk succeeds with no writer";
    EXPECT_EQ(table.deviceCount, 0);
}

TEST(BackendSelection, OnlyWindows98MeAnd2000CodesPickLibUsb)
{
    const struct {
        std::int32_t code;
        BackendKind expected;
    } cases[] = {
        {1997, BackendKind::WinUsb}, {1998, BackendKind::LibUsb}, {1999, BackendKind::LibUsb},
        {2000, BackendKind::LibUsb}, {2001, BackendKind::WinUsb}, {0, BackendKind::WinUsb},
    };
    for (const auto& c : cases)
        EXPECT_EQ(backendForOsVersion(c.code), c.expected) << c.code;
}

} // namespace
