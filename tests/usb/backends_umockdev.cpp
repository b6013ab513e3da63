// Both real USB back ends, end to end with the real libraries, on emulated
// writers that umockdev presents as USB devices. Runs under umockdev-wrapper.

#include <gtest/gtest.h>

#include <usb.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "recording.h"
#include "transport/LibUsbTransport.h"
#include "transport/WinUsbTransport.h"
#include "umockdev_writers.h"
#include "writer/KestoProtocol.h"

using namespace std::chrono_literals;

namespace {

constexpr int kShortTimeoutMs = 300;

struct BackendCase {
    const char* name;
    std::function<std::unique_ptr<TransportBackend>(TransportServices)> make;
    // Where the library lists the writers' busses: the bus listed first
    // gives index 0.
    std::function<std::vector<int>()> busOrder;
    bool setsConfiguration;
};

std::vector<int> libUsb0BusOrder()
{
    usb_init();
    usb_find_busses();
    usb_find_devices();
    std::vector<int> order;
    for (struct usb_bus* bus = usb_get_busses(); bus; bus = bus->next)
        order.push_back(std::atoi(bus->dirname));
    return order;
}

const BackendCase kBackends[] = {
    {"libusb0",
     [](TransportServices s) -> std::unique_ptr<TransportBackend> {
         return std::make_unique<LibUsbTransport>(std::move(s), realLibUsb0Api(), kShortTimeoutMs);
     },
     libUsb0BusOrder, true},
    {"winusb",
     [](TransportServices s) -> std::unique_ptr<TransportBackend> {
         return std::make_unique<WinUsbTransport>(std::move(s), nullptr, kShortTimeoutMs);
     },
     [] { return std::vector<int>{1, 2}; }, false},
};

class UsbBackendTest : public testing::TestWithParam<BackendCase> {
protected:
    UsbBackendTest()
        : testbed_(umockdev_testbed_new())
    {
    }

    ~UsbBackendTest() override
    {
        // Devices go before the library context, the context before the testbed.
        if (backend_)
            for (int i = 0; i < kMaxDevices; ++i)
                backend_->CloseDevice(i);
        backend_.reset();
        ports_.clear();
        g_object_unref(testbed_);
    }

    void SetUp() override
    {
        // Asked only after the testbed exists: the answer is cached.
        ASSERT_TRUE(umockdev_in_mock_environment()) << "run this program under umockdev-wrapper";
    }

    // Plugs in a device at a fresh address of `setup.bus`.
    std::shared_ptr<EmulatedWriter> plug(UsbPortSetup setup, const std::string& identification = "")
    {
        setup.address = UmockdevWriterPort::freshAddress();
        auto writer = std::make_shared<EmulatedWriter>();
        if (!identification.empty())
            writer->setIdentification(identification);
        ports_.push_back(std::make_unique<UmockdevWriterPort>(testbed_, setup, writer));
        return writer;
    }

    TransportBackend& backend()
    {
        if (!backend_)
            backend_ = GetParam().make(TransportServices{table_, boxes_, log_, {}});
        return *backend_;
    }

    std::string identificationAt(int index)
    {
        const UsbTransport transport = bindTransport(backend());
        KestoProtocol protocol(transport, log_);
        DeviceInfoText info;
        if (protocol.Kesto_GetDeviceInfo(index, info) != OS_SUCCESS)
            return "<no answer>";
        return info.text();
    }

    std::int32_t write(int index, std::uint8_t command)
    {
        return backend().WriteDevice(index, &command, 1);
    }

    std::int32_t read(int index, std::vector<std::uint8_t>& reply, int capacity = kesto::REPLY_SIZE)
    {
        reply.assign(std::size_t(capacity), 0);
        const std::int32_t n = backend().ReadDevice(index, reply.data(), capacity);
        reply.resize(std::size_t(n > 0 ? n : 0));
        return n;
    }

    UMockdevTestbed* testbed_;
    std::vector<std::unique_ptr<UmockdevWriterPort>> ports_;
    DeviceTable table_;
    RecordingBoxes boxes_;
    RecordingLog log_;
    std::unique_ptr<TransportBackend> backend_;
};

TEST_P(UsbBackendTest, WritersOnTwoBussesGetIndexesInBusOrderAndOtherProductsNone)
{
    // Plugged in the opposite order of the busses, with a device of the same
    // maker but another product in front of the writer on bus 1.
    plug({2, 0, 0x2F1A, 0x0018, false}, "writer on bus 2");
    plug({1, 0, 0x2F1A, 0x0019, false}, "another product");
    plug({1, 0, 0x2F1A, 0x0018, false}, "writer on bus 1");

    ASSERT_NE(backend().OpenAllDevices(), 0);
    EXPECT_TRUE(boxes_.shown().empty());
    EXPECT_TRUE(log_.texts().empty()) << log_.texts().front();
    EXPECT_TRUE(table_.isOpen(0));
    EXPECT_TRUE(table_.isOpen(1));
    EXPECT_FALSE(table_.isOpen(2)) << "the other product took an index";

    std::vector<int> busses;
    for (int bus : GetParam().busOrder())
        if (bus == 1 || bus == 2)
            busses.push_back(bus);
    ASSERT_EQ(busses.size(), 2u);
    for (int index = 0; index < 2; ++index) {
        const int bus = busses[std::size_t(index)];
        EXPECT_EQ(table_.device(index)->identity().busNumber, bus) << "index " << index;
        EXPECT_EQ(identificationAt(index), "writer on bus " + std::to_string(bus)) << "index " << index;
    }
    EXPECT_TRUE(ports_[1]->writer()->requests().empty()) << "the other product was spoken to";

    // Configuration 1 and interface 0 were taken, and are given back on close.
    // (The libusb-1.0 layer leaves a configuration that is already 1 alone.)
    for (std::size_t p : {0u, 2u}) {
        const int configuration = ports_[p]->configurationSet();
        EXPECT_TRUE(configuration == 1 || (configuration == -1 && !GetParam().setsConfiguration)) << configuration;
        EXPECT_EQ(ports_[p]->interfacesClaimed(), 1);
    }
    backend().CloseDevice(0);
    backend().CloseDevice(1);
    EXPECT_EQ(ports_[0]->interfacesClaimed(), 0);
    EXPECT_EQ(ports_[2]->interfacesClaimed(), 0);
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_P(UsbBackendTest, WritersOnOneBusFollowTheirPortNumbers)
{
    if (std::string(GetParam().name) == "libusb0")
        GTEST_SKIP() << "libusb 0.1 keeps the order of its own device list";
    // Ports 10 and 9 (the testbed numbers ports like addresses); these
    // addresses are used by this test only.
    ports_.push_back(std::make_unique<UmockdevWriterPort>(testbed_, UsbPortSetup{1, 10, 0x2F1A, 0x0018, false},
        std::make_shared<EmulatedWriter>("port 10")));
    ports_.push_back(std::make_unique<UmockdevWriterPort>(testbed_, UsbPortSetup{1, 9, 0x2F1A, 0x0018, false},
        std::make_shared<EmulatedWriter>("port 9")));
    ASSERT_NE(backend().OpenAllDevices(), 0);
    EXPECT_EQ(identificationAt(0), "port 9");
    EXPECT_EQ(identificationAt(1), "port 10");
    EXPECT_EQ(table_.devicePath, std::string("usb:1-10")) << "the path of the writer opened last";
}

TEST_P(UsbBackendTest, AnEleventhWriterIsReportedOnceAndNotOpened)
{
    for (int i = 0; i < 11; ++i)
        plug({1, 0, 0x2F1A, 0x0018, false});
    const std::string surplus = "Maximum Contact Devices are 10! 1 more writer(s) connected and not used.\r\n";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first listing" : "second listing");
        ASSERT_NE(backend().OpenAllDevices(), 0);
        EXPECT_EQ(table_.deviceCount, 10);
        for (int i = 0; i < kMaxDevices; ++i) {
            EXPECT_TRUE(table_.isOpen(i)) << i;
            backend().CloseDevice(i);
        }
    }
    EXPECT_EQ(log_.texts(), std::vector<std::string>{surplus});
    int taken = 0;
    for (const auto& port : ports_)
        taken += port->timesClaimed() > 0 ? 1 : 0;
    EXPECT_EQ(taken, 10);
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_P(UsbBackendTest, TransfersReachTheWriterWhicheverEndpointIsListedFirst)
{
    for (bool inFirst : {false, true}) {
        SCOPED_TRACE(inFirst ? "IN endpoint first" : "OUT endpoint first");
        backend_.reset();
        ports_.clear();
        plug({1, 0, 0x2F1A, 0x0018, inFirst}, "VREN Kesto Writer SN-0417");
        ASSERT_NE(backend().OpenAllDevices(), 0);
        EXPECT_EQ(identificationAt(0), "VREN Kesto Writer SN-0417");
        backend().CloseDevice(0);
    }
    for (const auto& port : ports_)
        EXPECT_TRUE(port->unknownRequests().empty()) << "unanswered request " << std::hex << *port->unknownRequests().begin();
}

TEST_P(UsbBackendTest, ReadResultsSilenceAndShortReplies)
{
    const auto writer = plug({1, 0, 0x2F1A, 0x0018, false});
    ASSERT_NE(backend().OpenAllDevices(), 0);
    std::vector<std::uint8_t> reply;

    // Nothing asked, nothing to read: 0 once the time-out has passed.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read(0, reply), 0);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(kShortTimeoutMs - 50));
    EXPECT_LT(waited, 3s);

    // A reply shorter than asked for comes back with its own length.
    WriterFaults faults;
    faults.shortReply = 3;
    writer->setFaults(faults);
    ASSERT_EQ(write(0, CMD_DEVICE_INFO), 1);
    EXPECT_EQ(read(0, reply), 3);
    EXPECT_EQ(reply, std::vector<std::uint8_t>(writer->replies().back()));

    // The transfer after a silent one still pairs request and reply.
    writer->setFaults({});
    EXPECT_EQ(identificationAt(0), EmulatedWriter::kDefaultIdentification);
}

TEST_P(UsbBackendTest, ClosingAnEntryNeverOpenedShowsNothing)
{
    plug({1, 0, 0x2F1A, 0x0018, false});
    backend().CloseDevice(3);
    ASSERT_NE(backend().OpenAllDevices(), 0);
    backend().CloseDevice(5);
    backend().CloseDevice(0);
    backend().CloseDevice(0);
    EXPECT_TRUE(boxes_.shown().empty());
    EXPECT_TRUE(log_.texts().empty());
}

TEST_P(UsbBackendTest, UnplugDuringAnOperationEndsItsTransfersWithZero)
{
    const auto writer = plug({1, 0, 0x2F1A, 0x0018, false});
    ASSERT_NE(backend().OpenAllDevices(), 0);
    std::vector<std::uint8_t> reply;

    // Between a request and its reply.
    ASSERT_EQ(write(0, CMD_DEVICE_INFO), 1);
    ports_[0]->unplug();
    EXPECT_EQ(read(0, reply), 0);
    EXPECT_EQ(write(0, CMD_FIRMWARE_VERSION), 0);
    EXPECT_EQ(read(0, reply), 0);
    backend().CloseDevice(0);
    EXPECT_FALSE(table_.isOpen(0));
}

TEST_P(UsbBackendTest, UnplugWhileAReadWaitsEndsThatRead)
{
    const auto writer = plug({1, 0, 0x2F1A, 0x0018, false});
    // The writer would answer long after the transfer's time-out.
    WriterFaults faults;
    faults.replyDelay = 10s;
    writer->setFaults(faults);
    ASSERT_NE(backend().OpenAllDevices(), 0);
    ASSERT_EQ(write(0, CMD_DEVICE_INFO), 1);

    std::vector<std::uint8_t> reply;
    auto waiting = std::async(std::launch::async, [&] { return read(0, reply); });
    std::this_thread::sleep_for(50ms);
    ports_[0]->unplug();
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), 0);
    EXPECT_EQ(write(0, CMD_DEVICE_INFO), 0);
}

void PrintTo(const BackendCase& c, std::ostream* os)
{
    *os << c.name;
}

INSTANTIATE_TEST_SUITE_P(RealLibraries, UsbBackendTest, testing::ValuesIn(kBackends),
    [](const testing::TestParamInfo<BackendCase>& info) { return std::string(info.param.name); });

} // namespace
