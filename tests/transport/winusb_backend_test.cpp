// The current-platform back end against a fake WinUSB-style layer: member
// walk, pipe scan, failures in the middle of opening, close rules, time-outs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "recording.h"
#include "transport/WinUsbTransport.h"

namespace {

enum class FailAt { None, CreateFile, Initialize, Speed, Settings };

struct FakeMember {
    std::vector<std::pair<WinUsbPipeType, std::uint8_t>> pipes{
        {WinUsbPipeType::Bulk, 0x01}, {WinUsbPipeType::Bulk, 0x82}};
    FailAt failAt = FailAt::None;
    bool permissionDenied = false;
    bool refuseClose = false;
};

struct FakeState {
    std::vector<FakeMember> members;
    std::vector<std::string> calls;
    int openFiles = 0;
    int openInterfaces = 0;
    bool transferOk = true;
    std::int32_t transferBytes = 0;
};

class FakeLayer : public WinUsbLayer {
public:
    explicit FakeLayer(FakeState& s) : s_(s) {}

    DeviceSetPtr getClassDevs() override { return std::shared_ptr<DeviceSet>(reinterpret_cast<DeviceSet*>(1), [](DeviceSet*) {}); }
    int memberCount(const DeviceSet&) override { return static_cast<int>(s_.members.size()); }
    bool interfacePath(const DeviceSet&, int k, std::string& path) override
    {
        if (k >= static_cast<int>(s_.members.size()))
            return false;
        path = "usb:1-" + std::to_string(k + 1);
        return true;
    }
    File* createFile(const std::string& path, bool& permissionDenied) override
    {
        const int k = std::stoi(path.substr(6)) - 1;
        s_.calls.push_back("open " + std::to_string(k));
        const FakeMember& m = s_.members[static_cast<std::size_t>(k)];
        permissionDenied = m.permissionDenied;
        if (m.failAt == FailAt::CreateFile || m.permissionDenied)
            return nullptr;
        ++s_.openFiles;
        return reinterpret_cast<File*>(std::intptr_t(k + 1));
    }
    bool closeFile(File* f) override
    {
        s_.calls.push_back("closefile " + std::to_string(index(f)));
        --s_.openFiles;
        return !member(f).refuseClose;
    }
    Interface* initialize(File* f) override
    {
        if (member(f).failAt == FailAt::Initialize)
            return nullptr;
        ++s_.openInterfaces;
        return reinterpret_cast<Interface*>(f);
    }
    void free(Interface* i) override
    {
        s_.calls.push_back("free " + std::to_string(index(i)));
        --s_.openInterfaces;
    }
    bool queryDeviceSpeed(Interface* i, std::uint8_t& speed) override
    {
        speed = 3;
        return member(i).failAt != FailAt::Speed;
    }
    bool queryInterfaceSettings(Interface* i, int& count) override
    {
        count = static_cast<int>(member(i).pipes.size());
        return member(i).failAt != FailAt::Settings;
    }
    void queryPipe(Interface* i, int j, WinUsbPipeType& type, std::uint8_t& id) override
    {
        type = member(i).pipes[static_cast<std::size_t>(j)].first;
        id = member(i).pipes[static_cast<std::size_t>(j)].second;
    }
    void flushPipe(Interface* i, std::uint8_t id) override
    {
        s_.calls.push_back("flush " + std::to_string(index(i)) + " " + std::to_string(id));
    }
    void setPipeTimeout(Interface*, std::uint8_t id, std::uint32_t ms) override
    {
        s_.calls.push_back("timeout " + std::to_string(id) + " " + std::to_string(ms));
    }
    bool writePipe(Interface*, std::uint8_t id, const std::uint8_t*, std::int32_t, std::int32_t& n) override
    {
        s_.calls.push_back("write " + std::to_string(id));
        n = s_.transferBytes;
        return s_.transferOk;
    }
    bool readPipe(Interface*, std::uint8_t id, std::uint8_t*, std::int32_t, std::int32_t& n) override
    {
        s_.calls.push_back("read " + std::to_string(id));
        n = s_.transferBytes;
        return s_.transferOk;
    }
    UsbDeviceIdentity identity(File* f) override
    {
        UsbDeviceIdentity id;
        id.busNumber = 1;
        id.deviceAddress = index(f) + 10;
        return id;
    }

private:
    template <class H> static int index(H* h) { return static_cast<int>(reinterpret_cast<std::intptr_t>(h)) - 1; }
    template <class H> FakeMember& member(H* h) { return s_.members[static_cast<std::size_t>(index(h))]; }
    FakeState& s_;
};

struct WinUsbFixture : testing::Test {
    FakeState state;
    DeviceTable table;
    RecordingBoxes boxes;
    RecordingLog log;
    std::vector<void*> registered;

    void SetUp() override
    {
        table.setCloseFailureHandler([this](int index) {
            boxes.information("No.<" + std::to_string(index) + "> USB Device Close Error!");
        });
    }
    std::unique_ptr<WinUsbTransport> backend(int timeoutMs = kTransferTimeoutMs)
    {
        return std::make_unique<WinUsbTransport>(
            TransportServices{table, boxes, log, [this](void* h) { registered.push_back(h); }},
            std::make_unique<FakeLayer>(state), timeoutMs);
    }
};

TEST_F(WinUsbFixture, TwoWritersAreOpenedFlushedAndRegisteredWithPathsOnStandardOutput)
{
    state.members.resize(2);
    auto b = backend();
    testing::internal::CaptureStdout();
    EXPECT_EQ(b->OpenAllDevices(), 1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Attempting to open usb:1-1\nAttempting to open usb:1-2\n");
    EXPECT_EQ(table.deviceCount, 2);
    EXPECT_EQ(registered.size(), 2u);
    EXPECT_EQ(table.devicePath, "usb:1-2");
    EXPECT_EQ(table.device(1)->identity().deviceAddress, 11);
    const std::vector<std::string> expected{"open 0", "flush 0 130", "flush 0 1", "open 1", "flush 1 130", "flush 1 1"};
    EXPECT_EQ(state.calls, expected) << "IN pipe flushed before OUT";
    EXPECT_TRUE(log.lines().empty()) << "path diagnostics never reach the log";
}

TEST_F(WinUsbFixture, NoWriterFailsWithCountZero)
{
    auto b = backend();
    table.deviceCount = 3;
    EXPECT_EQ(b->OpenAllDevices(), 0);
    EXPECT_EQ(table.deviceCount, 0);
}

TEST_F(WinUsbFixture, PipeScanFindsInByBitSevenAndStopsAtOtherTypes)
{
    using P = WinUsbPipeType;
    const struct {
        const char* name;
        std::vector<std::pair<P, std::uint8_t>> pipes;
        int in, out;
    } cases[] = {
        {"IN listed first", {{P::Bulk, 0x81}, {P::Bulk, 0x02}}, 0x81, 0x02},
        {"interrupt between", {{P::Bulk, 0x03}, {P::Interrupt, 0x84}, {P::Bulk, 0x85}}, 0x85, 0x03},
        {"isochronous ends the scan", {{P::Bulk, 0x01}, {P::Isochronous, 0x83}, {P::Bulk, 0x82}}, 0, 0x01},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        state = FakeState{};
        state.members.resize(1);
        state.members[0].pipes = c.pipes;
        auto b = backend();
        testing::internal::CaptureStdout();
        ASSERT_EQ(b->OpenAllDevices(), 1);
        testing::internal::GetCapturedStdout();
        std::uint8_t buffer[4]{};
        b->ReadDevice(0, buffer, 4);
        b->WriteDevice(0, buffer, 4);
        const std::vector<std::string> tail(state.calls.end() - 4, state.calls.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"timeout " + std::to_string(c.in) + " 6000",
                            "read " + std::to_string(c.in), "timeout " + std::to_string(c.out) + " 6000",
                            "write " + std::to_string(c.out)}));
        b->CloseDevice(0);
    }
}

TEST_F(WinUsbFixture, AMemberFailingToOpenEndsTheWalkAndLeavesNothingOpen)
{
    const struct {
        FailAt at;
        const char* stdoutTail;
    } cases[] = {
        {FailAt::CreateFile, "FAILED to open usb:1-2\n"},
        {FailAt::Initialize, "Attempting to open usb:1-2\n"},
        {FailAt::Speed, "Attempting to open usb:1-2\n"},
        {FailAt::Settings, "Attempting to open usb:1-2\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.at));
        state = FakeState{};
        state.members.resize(3);
        state.members[1].failAt = c.at;
        registered.clear();
        auto b = backend();
        testing::internal::CaptureStdout();
        EXPECT_EQ(b->OpenAllDevices(), 1);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.substr(out.size() - std::strlen(c.stdoutTail)), c.stdoutTail);
        EXPECT_EQ(table.deviceCount, 1);
        EXPECT_EQ(registered.size(), 1u);
        EXPECT_FALSE(table.isOpen(2)) << "members after the failure are not opened";
        EXPECT_EQ(state.openFiles, 1);
        EXPECT_EQ(state.openInterfaces, 1) << "the failed member's interface is released at once";
        b->CloseDevice(0);
        EXPECT_EQ(state.openFiles, 0);
        EXPECT_EQ(state.openInterfaces, 0);
    }
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(WinUsbFixture, OccupiedEntryShowsItsBoxAndStops)
{
    state.members.resize(2);
    auto b = backend();
    testing::internal::CaptureStdout();
    ASSERT_EQ(b->OpenAllDevices(), 1);
    b->CloseDevice(1);
    EXPECT_EQ(b->OpenAllDevices(), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(boxes.shown(), std::vector<std::string>{"USB Device Number <0> is not INVALID_HANDLE_VALUE"});
    EXPECT_FALSE(table.isOpen(1));
}

TEST_F(WinUsbFixture, TransfersSetTheTimeOutEachTimeAndFailuresGiveZero)
{
    state.members.resize(1);
    auto b = backend(40);
    testing::internal::CaptureStdout();
    ASSERT_EQ(b->OpenAllDevices(), 1);
    testing::internal::GetCapturedStdout();
    std::uint8_t buffer[16]{};
    state.transferBytes = 7;
    EXPECT_EQ(b->ReadDevice(0, buffer, 16), 7) << "a short reply gives its length";
    EXPECT_EQ(b->ReadDevice(0, buffer, 16), 7);
    EXPECT_EQ(std::count(state.calls.begin(), state.calls.end(), "timeout 130 40"), 2);
    state.transferOk = false;
    EXPECT_EQ(b->ReadDevice(0, buffer, 16), 0);
    EXPECT_EQ(b->WriteDevice(0, buffer, 16), 0);
    b->CloseDevice(0);
    EXPECT_EQ(b->ReadDevice(0, buffer, 16), 0);
}

TEST_F(WinUsbFixture, CloseFreesTheInterfaceThenTheFileAndARefusalShowsItsBox)
{
    state.members.resize(2);
    state.members[1].refuseClose = true;
    auto b = backend();
    testing::internal::CaptureStdout();
    ASSERT_EQ(b->OpenAllDevices(), 1);
    testing::internal::GetCapturedStdout();
    state.calls.clear();
    b->CloseDevice(7);
    b->CloseDevice(0);
    b->CloseDevice(1);
    b->CloseDevice(1);
    EXPECT_EQ(state.calls, (std::vector<std::string>{"free 0", "closefile 0", "free 1", "closefile 1"}));
    EXPECT_EQ(boxes.shown(), std::vector<std::string>{"No.<1> USB Device Close Error!"});
}

TEST_F(WinUsbFixture, PermissionDeniedTellsHowToInstallTheUdevRule)
{
    state.members.resize(1);
    state.members[0].permissionDenied = true;
    auto b = backend();
    testing::internal::CaptureStdout();
    EXPECT_EQ(b->OpenAllDevices(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Attempting to open usb:1-1\nFAILED to open usb:1-1\n");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.texts()[0].find("udev rule"), std::string::npos);
}

} // namespace
