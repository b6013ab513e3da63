// The libusb 0.1 back end against a fake of the library calls: walk order,
// the two phases, refused configuration, close rules and transfer results.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "recording.h"
#include "transport/LibUsbTransport.h"

namespace {

struct FakeBus {
    struct usb_bus bus {};
    std::deque<struct usb_device> devices;
};

// The fake library's state: the bus list and what the back end asked for.
struct FakeLib {
    std::deque<FakeBus> busses;
    std::vector<std::string> calls;
    int refuseConfigurationOf = -1; // devnum
    int refuseClaimOf = -1;
    int refuseCloseOf = -1;
    bool denyOpen = false;
    int transferResult = 0;
    int lastEndpoint = 0;
    int lastTimeout = 0;
    int opens = 0;

    void addBus(int number) {
        busses.emplace_back();
        std::snprintf(busses.back().bus.dirname, sizeof busses.back().bus.dirname, "%03d", number);
    }
    void addDevice(unsigned vendor, unsigned product, int devnum) {
        FakeBus& b = busses.back();
        b.devices.emplace_back();
        struct usb_device& d = b.devices.back();
        d.descriptor.idVendor = static_cast<std::uint16_t>(vendor);
        d.descriptor.idProduct = static_cast<std::uint16_t>(product);
        d.devnum = static_cast<std::uint8_t>(devnum);
        d.bus = &b.bus;
    }
    void link() {
        for (std::size_t i = 0; i < busses.size(); ++i) {
            FakeBus& b = busses[i];
            b.bus.next = i + 1 < busses.size() ? &busses[i + 1].bus : nullptr;
            b.bus.devices = b.devices.empty() ? nullptr : &b.devices[0];
            for (std::size_t j = 0; j < b.devices.size(); ++j)
                b.devices[j].next = j + 1 < b.devices.size() ? &b.devices[j + 1] : nullptr;
        }
    }
};

FakeLib* fake = nullptr;

// A handle is the device's number, so calls can be told apart.
int devnumOf(usb_dev_handle* h) { return static_cast<int>(reinterpret_cast<std::intptr_t>(h)); }

LibUsb0Api fakeApi()
{
    LibUsb0Api api{};
    api.init = [] { fake->calls.push_back("init"); };
    api.findBusses = [] { fake->calls.push_back("busses"); return 0; };
    api.findDevices = [] { fake->calls.push_back("devices"); return 0; };
    api.getBusses = []() -> struct usb_bus* {
        fake->link();
        return fake->busses.empty() ? nullptr : &fake->busses[0].bus;
    };
    api.open = [](struct usb_device* d) -> usb_dev_handle* {
        fake->calls.push_back("open " + std::to_string(d->devnum));
        ++fake->opens;
        if (fake->denyOpen) {
            errno = EACCES;
            return nullptr;
        }
        return reinterpret_cast<usb_dev_handle*>(std::intptr_t(d->devnum));
    };
    api.setConfiguration = [](usb_dev_handle* h, int c) {
        fake->calls.push_back("config " + std::to_string(devnumOf(h)) + " " + std::to_string(c));
        return devnumOf(h) == fake->refuseConfigurationOf ? -EIO : 0;
    };
    api.claimInterface = [](usb_dev_handle* h, int i) {
        fake->calls.push_back("claim " + std::to_string(devnumOf(h)) + " " + std::to_string(i));
        return devnumOf(h) == fake->refuseClaimOf ? -EBUSY : 0;
    };
    api.releaseInterface = [](usb_dev_handle* h, int i) {
        fake->calls.push_back("release " + std::to_string(devnumOf(h)) + " " + std::to_string(i));
        return 0;
    };
    api.close = [](usb_dev_handle* h) {
        fake->calls.push_back("close " + std::to_string(devnumOf(h)));
        return devnumOf(h) == fake->refuseCloseOf ? -EIO : 0;
    };
    api.bulkWrite = [](usb_dev_handle*, int ep, const char*, int, int timeout) {
        fake->lastEndpoint = ep;
        fake->lastTimeout = timeout;
        return fake->transferResult;
    };
    api.bulkRead = [](usb_dev_handle*, int ep, char*, int, int timeout) {
        fake->lastEndpoint = ep;
        fake->lastTimeout = timeout;
        return fake->transferResult;
    };
    return api;
}

struct LibUsb0Fixture : testing::Test {
    FakeLib lib;
    DeviceTable table;
    RecordingBoxes boxes;
    RecordingLog log;
    std::vector<int> registered;

    void SetUp() override
    {
        fake = &lib;
        table.setCloseFailureHandler([this](int index) {
            boxes.information("No.<" + std::to_string(index) + "> USB Device Close Error!");
        });
    }
    void TearDown() override
    {
        for (int i = 0; i < kMaxDevices; ++i)
            table.close(i);
        fake = nullptr;
    }
    TransportServices services()
    {
        return {table, boxes, log, [this](void* h) { registered.push_back(devnumOf(static_cast<usb_dev_handle*>(h))); }};
    }
    int devnumAt(int index)
    {
        auto d = table.device(index);
        return d ? devnumOf(static_cast<usb_dev_handle*>(d->notificationHandle())) : -1;
    }
};

TEST_F(LibUsb0Fixture, WritersTakeIndexesInBusOrderAndOtherProductsAreSkipped)
{
    lib.addBus(1);
    lib.addDevice(0x2F1A, 0x0019, 5); // same maker, another product
    lib.addDevice(0x1234, 0x0018, 6);
    lib.addDevice(0x2F1A, 0x0018, 7);
    lib.addBus(2);
    lib.addDevice(0x2F1A, 0x0018, 3);
    LibUsbTransport backend(services(), fakeApi());

    EXPECT_EQ(backend.OpenAllDevices(), 1);
    EXPECT_EQ(table.deviceCount, 2);
    EXPECT_EQ(devnumAt(0), 7);
    EXPECT_EQ(devnumAt(1), 3);
    EXPECT_EQ(registered, (std::vector<int>{7, 3}));
    EXPECT_EQ(table.device(1)->identity().busNumber, 2);
    // The library view is refreshed first; every open precedes the configuring.
    const std::vector<std::string> expected{"init", "busses", "devices", "open 7", "open 3", "config 7 1",
        "claim 7 0", "config 3 1", "claim 3 0"};
    EXPECT_EQ(lib.calls, expected);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LibUsb0Fixture, NoBusOrNoWriterSucceedsWithNone)
{
    LibUsbTransport backend(services(), fakeApi());
    table.deviceCount = 4;
    EXPECT_EQ(backend.OpenAllDevices(), 1);
    EXPECT_EQ(table.deviceCount, 0);
    lib.addBus(1);
    lib.addDevice(0x2F1A, 0x0017, 2);
    EXPECT_EQ(backend.OpenAllDevices(), 1);
    EXPECT_EQ(table.deviceCount, 0);
    EXPECT_EQ(lib.opens, 0);
}

TEST_F(LibUsb0Fixture, RefusedConfigurationOrInterfaceClosesThatWriterAndFails)
{
    for (bool refuseConfiguration : {true, false}) {
        SCOPED_TRACE(refuseConfiguration ? "configuration 1 refused" : "interface 0 refused");
        FakeLib local;
        fake = &local;
        local.addBus(1);
        local.addDevice(0x2F1A, 0x0018, 1);
        local.addDevice(0x2F1A, 0x0018, 2);
        local.addDevice(0x2F1A, 0x0018, 3);
        (refuseConfiguration ? local.refuseConfigurationOf : local.refuseClaimOf) = 2;
        registered.clear();
        LibUsbTransport backend(services(), fakeApi());

        EXPECT_EQ(backend.OpenAllDevices(), 0);
        EXPECT_EQ(registered, std::vector<int>{1});
        EXPECT_FALSE(table.isOpen(1));
        EXPECT_TRUE(table.isOpen(2)) << "later writers stay open, unconfigured";
        EXPECT_EQ(table.deviceCount, 3);
        EXPECT_EQ(local.calls.back(), "close 2") << "the refused writer is closed without a release";
        EXPECT_TRUE(boxes.shown().empty());

        for (int i = 0; i < kMaxDevices; ++i)
            backend.CloseDevice(i);
        // Only the configured writer had an interface to release.
        const std::vector<std::string> tail(local.calls.end() - 3, local.calls.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"release 1 0", "close 1", "close 3"}));
    }
    fake = &lib;
}

TEST_F(LibUsb0Fixture, OccupiedEntryShowsItsBoxAndFailsTheWalkKeepingTheCount)
{
    lib.addBus(1);
    lib.addDevice(0x2F1A, 0x0018, 1);
    lib.addDevice(0x2F1A, 0x0018, 2);
    LibUsbTransport backend(services(), fakeApi());
    ASSERT_EQ(backend.OpenAllDevices(), 1);
    backend.CloseDevice(1);
    table.deviceCount = 7;
    lib.calls.clear();

    EXPECT_EQ(backend.OpenAllDevices(), 0);
    EXPECT_EQ(boxes.shown(), std::vector<std::string>{"USB Device Number <0> is not NULL"});
    EXPECT_EQ(table.deviceCount, 7);
    EXPECT_EQ(devnumAt(0), 1) << "the occupied entry keeps its handle";
    EXPECT_EQ(devnumAt(1), 2) << "the walk goes on opening";
    EXPECT_EQ(std::count(lib.calls.begin(), lib.calls.end(), "config 2 1"), 0);
}

TEST_F(LibUsb0Fixture, ElevenWritersOpenTenAndTheSurplusIsLoggedOnce)
{
    lib.addBus(1);
    for (int d = 1; d <= 11; ++d)
        lib.addDevice(0x2F1A, 0x0018, d);
    LibUsbTransport backend(services(), fakeApi());
    EXPECT_EQ(backend.OpenAllDevices(), 1);
    EXPECT_EQ(table.deviceCount, 10);
    EXPECT_EQ(lib.opens, 10);
    for (int i = 0; i < kMaxDevices; ++i)
        backend.CloseDevice(i);
    EXPECT_EQ(backend.OpenAllDevices(), 1);
    EXPECT_EQ(log.lines().size(), 1u);
}

TEST_F(LibUsb0Fixture, TransfersUseTheirEndpointAndTimeOutAndMapResults)
{
    lib.addBus(1);
    lib.addDevice(0x2F1A, 0x0018, 4);
    LibUsbTransport backend(services(), fakeApi(), 250);
    ASSERT_EQ(backend.OpenAllDevices(), 1);
    std::uint8_t buffer[64]{};
    const struct {
        int libraryResult;
        int expected;
    } cases[] = {{64, 64}, {5, 5}, {0, 0}, {-110, 0}, {-19, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.libraryResult);
        lib.transferResult = c.libraryResult;
        EXPECT_EQ(backend.WriteDevice(0, buffer, 64), c.expected);
        EXPECT_EQ(lib.lastEndpoint, 0x01);
        EXPECT_EQ(lib.lastTimeout, 250);
        EXPECT_EQ(backend.ReadDevice(0, buffer, 64), c.expected);
        EXPECT_EQ(lib.lastEndpoint, 0x82);
    }
    LibUsbTransport defaults(services(), fakeApi());
    backend.CloseDevice(0);
    ASSERT_EQ(defaults.OpenAllDevices(), 1);
    defaults.ReadDevice(0, buffer, 1);
    EXPECT_EQ(lib.lastTimeout, 6000);
}

TEST_F(LibUsb0Fixture, CloseReleasesBeforeClosingAndARefusedCloseShowsItsBox)
{
    lib.addBus(1);
    lib.addDevice(0x2F1A, 0x0018, 1);
    lib.addDevice(0x2F1A, 0x0018, 2);
    lib.refuseCloseOf = 2;
    LibUsbTransport backend(services(), fakeApi());
    ASSERT_EQ(backend.OpenAllDevices(), 1);
    lib.calls.clear();
    backend.CloseDevice(5); // never opened
    backend.CloseDevice(0);
    backend.CloseDevice(1);
    backend.CloseDevice(1);
    EXPECT_EQ(lib.calls, (std::vector<std::string>{"release 1 0", "close 1", "release 2 0", "close 2"}));
    EXPECT_EQ(boxes.shown(), std::vector<std::string>{"No.<1> USB Device Close Error!"});
    EXPECT_FALSE(table.isOpen(1));
}

TEST_F(LibUsb0Fixture, PermissionDeniedTellsHowToInstallTheUdevRule)
{
    lib.addBus(1);
    lib.addDevice(0x2F1A, 0x0018, 1);
    lib.addDevice(0x2F1A, 0x0018, 2);
    lib.denyOpen = true;
    LibUsbTransport backend(services(), fakeApi());
    EXPECT_EQ(backend.OpenAllDevices(), 0);
    ASSERT_EQ(log.lines().size(), 1u) << "one hint, not one per writer";
    EXPECT_NE(log.texts()[0].find("70-vren-kesto.rules"), std::string::npos);
}

} // namespace
