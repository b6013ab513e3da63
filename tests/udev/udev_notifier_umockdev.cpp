// The udev notifier on real uevents from umockdev's testbed, alone and behind
// the main window. Runs under umockdev-wrapper.

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <libudev.h>
// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <umockdev.h>
#pragma pop_macro("signals")

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedWriter.h"
#include "app/ContactList.h"
#include "app/MainWindow.h"
#include "app/MessageLogPane.h"
#include "recording.h"
#include "test_support.h"
#include "transport/TransportBackend.h"
#include "transport/UdevDeviceNotifier.h"
#include "usb/umockdev_writers.h"

using namespace std::chrono_literals;

namespace {

// The testbed's folder lies in the program's short private folder
// (testbedTmpDir(), from tests/usb/umockdev_writers.cpp), not in the build tree.
class Testbed : public testing::Test {
protected:
    Testbed()
        : testbed_(umockdev_testbed_new())
    {
    }
    ~Testbed() override { g_object_unref(testbed_); }

    void SetUp() override
    {
        // Asked only after the testbed exists: the answer is cached.
        ASSERT_TRUE(umockdev_in_mock_environment()) << "run this program under umockdev-wrapper";
        gchar* root = umockdev_testbed_get_root_dir(testbed_);
        const std::string rootDir = root;
        g_free(root);
        ASSERT_FALSE(testbedTmpDir().empty());
        ASSERT_EQ(rootDir.rfind(testbedTmpDir() + "/", 0), 0u) << rootDir;
    }

    // A USB device at bus 1, address `address`; adding it emits "add".
    std::string addUsbDevice(int address, unsigned vendor, unsigned product)
    {
        char description[1024];
        std::snprintf(description, sizeof description,
            "P: /devices/pci0000:00/0000:00:14.0/usb1/1-%d\n"
            "N: bus/usb/001/%03d\n"
            "E: SUBSYSTEM=usb\n"
            "E: DEVTYPE=usb_device\n"
            "E: DEVNAME=/dev/bus/usb/001/%03d\n"
            "E: BUSNUM=001\n"
            "E: DEVNUM=%03d\n"
            "E: PRODUCT=%x/%x/100\n"
            "A: idVendor=%04x\n"
            "A: idProduct=%04x\n"
            "A: busnum=1\n"
            "A: devnum=%d\n"
            "A: speed=480\n"
            "A: bConfigurationValue=1\n",
            address, address, address, address, vendor, product, vendor, product, address);
        GError* error = nullptr;
        const bool added = umockdev_testbed_add_from_string(testbed_, description, &error);
        EXPECT_TRUE(added) << (error ? error->message : "");
        if (error)
            g_error_free(error);
        char path[128];
        std::snprintf(path, sizeof path, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-%d", address);
        return path;
    }

    void removeUsbDevice(const std::string& sysPath)
    {
        umockdev_testbed_uevent(testbed_, sysPath.c_str(), "remove");
        umockdev_testbed_remove_device(testbed_, sysPath.c_str());
    }

    UMockdevTestbed* testbed_;
};

// ---------------------------------------------------------------- the notifier alone

using UdevNotifierTest = Testbed;

TEST_F(UdevNotifierTest, WritersArriveAndRegisteredWritersLeaveOtherDevicesSayNothing)
{
    UdevDeviceNotifier notifier;
    ASSERT_TRUE(notifier.available());
    std::vector<DeviceEvent> events;
    notifier.setEventHandler([&](const DeviceEvent& e) { events.push_back(e); });
    void* writerClass = notifier.registerWriterClass();
    ASSERT_NE(writerClass, nullptr);
    int handleOfWriter = 0;
    EXPECT_EQ(notifier.registerHandle(&handleOfWriter, {}), nullptr) << "a handle nobody can match is refused";
    const void* writerRemoval = notifier.registerHandle(&handleOfWriter, {1, 2, {}, {}});
    ASSERT_NE(writerRemoval, nullptr);

    struct Step {
        const char* name;
        std::function<void()> act;
        std::uint32_t code;         // 0: no event
        std::uint32_t type;
        const void* notification;
        const char* node;
        const char* ids;
    };
    std::string writer, other, otherVendor, unregisteredWriter;
    const Step steps[] = {
        {"writer plugged in", [&] { writer = addUsbDevice(2, 0x2F1A, 0x0018); },
         kDeviceArrival, kDeviceTypeInterface, writerClass, "/dev/bus/usb/001/002", "2f1a:0018"},
        {"other product id", [&] { other = addUsbDevice(3, 0x2F1A, 0x0019); }, 0, 0, nullptr, "", ""},
        {"other vendor", [&] { otherVendor = addUsbDevice(4, 0x046D, 0x0018); }, 0, 0, nullptr, "", ""},
        {"second writer", [&] { unregisteredWriter = addUsbDevice(5, 0x2F1A, 0x0018); },
         kDeviceArrival, kDeviceTypeInterface, writerClass, "/dev/bus/usb/001/005", "2f1a:0018"},
        {"other device removed", [&] { removeUsbDevice(other); }, 0, 0, nullptr, "", ""},
        {"writer not registered removed", [&] { removeUsbDevice(unregisteredWriter); }, 0, 0, nullptr, "", ""},
        {"registered writer removed", [&] { removeUsbDevice(writer); },
         kDeviceRemoveComplete, kDeviceTypeHandle, writerRemoval, "/dev/bus/usb/001/002", "2f1a:0018"},
    };
    for (const Step& step : steps) {
        events.clear();
        step.act();
        if (step.code) {
            ASSERT_TRUE(testsupport::waitUntil([&] { return !events.empty(); }, 3000)) << step.name;
            testsupport::waitUntil([] { return false; }, 50);
            ASSERT_EQ(events.size(), 1u) << step.name;
            EXPECT_EQ(events[0].eventCode, step.code) << step.name;
            EXPECT_EQ(events[0].deviceType, step.type) << step.name;
            EXPECT_EQ(events[0].notificationHandle, step.notification) << step.name;
            EXPECT_EQ(events[0].action, step.code == kDeviceArrival ? "add" : "remove") << step.name;
            EXPECT_EQ(events[0].deviceNode, step.node) << step.name;
            EXPECT_EQ(events[0].vendorProduct, step.ids) << step.name;
        } else {
            testsupport::waitUntil([] { return false; }, 200);
            EXPECT_TRUE(events.empty()) << step.name;
        }
    }

    // Unregistered: a writer arriving now says nothing.
    notifier.unregister(writerClass);
    events.clear();
    addUsbDevice(6, 0x2F1A, 0x0018);
    testsupport::waitUntil([] { return false; }, 200);
    EXPECT_TRUE(events.empty());
}

// ---------------------------------------------------------------- behind the main window

// Emulated writers that stand behind the testbed's USB devices: the walk
// lists the testbed's writers through libudev, as a real back end finds them,
// and talks to the emulated writer of each.
class TestbedTransport : public TransportBackend {
public:
    TestbedTransport(TransportServices services, std::map<int, std::shared_ptr<EmulatedWriter>>& writers)
        : TransportBackend(std::move(services))
        , writers_(writers)
    {
    }

    std::int32_t OpenAllDevices() override
    {
        struct Found {
            UsbDeviceIdentity identity;
            std::shared_ptr<EmulatedWriter> writer;
        };
        std::vector<Found> found;
        udev* u = udev_new();
        udev_enumerate* e = udev_enumerate_new(u);
        udev_enumerate_add_match_subsystem(e, "usb");
        udev_enumerate_add_match_sysattr(e, "idVendor", "2f1a");
        udev_enumerate_add_match_sysattr(e, "idProduct", "0018");
        udev_enumerate_scan_devices(e);
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
        {
            udev_device* d = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
            if (!d)
                continue;
            const char* devnum = udev_device_get_sysattr_value(d, "devnum");
            const int address = devnum ? std::atoi(devnum) : -1;
            if (auto it = writers_.find(address); it != writers_.end())
                found.push_back({{1, address, udev_device_get_syspath(d), {}}, it->second});
            udev_device_unref(d);
        }
        udev_enumerate_unref(e);
        udev_unref(u);
        std::sort(found.begin(), found.end(),
                  [](const Found& a, const Found& b) { return a.identity.deviceAddress < b.identity.deviceAddress; });
        return openWalkStoppingAtFirstFailure(int(found.size()), [&](int k) -> std::unique_ptr<OpenedDevice> {
            if (!found[std::size_t(k)].writer->hostOpen())
                return nullptr;
            return std::make_unique<Device>(found[std::size_t(k)].writer, found[std::size_t(k)].identity);
        });
    }

private:
    class Device : public OpenedDevice {
    public:
        Device(std::shared_ptr<EmulatedWriter> writer, UsbDeviceIdentity identity)
            : writer_(std::move(writer))
            , identity_(std::move(identity))
        {
        }
        std::int32_t write(const std::uint8_t* data, std::int32_t length) override { return writer_->hostWrite(data, length); }
        std::int32_t read(std::uint8_t* buffer, std::int32_t length) override { return writer_->hostRead(buffer, length, 100ms); }
        bool close() override { return true; }
        void* notificationHandle() const override { return writer_.get(); }
        UsbDeviceIdentity identity() const override { return identity_; }

    private:
        std::shared_ptr<EmulatedWriter> writer_;
        UsbDeviceIdentity identity_;
    };

    std::map<int, std::shared_ptr<EmulatedWriter>>& writers_;
};

class UdevMainWindowTest : public Testbed {
protected:
    std::string plug(int address, ContactMode mode)
    {
        auto writer = std::make_shared<EmulatedWriter>();
        writer->setContactMode(mode);
        writers[address] = writer;
        return addUsbDevice(address, 0x2F1A, 0x0018);
    }
    QStringList lines() const
    {
        return window->messageLog()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    QSettings profile{dir.filePath(QStringLiteral("profile.ini")), QSettings::IniFormat};
    RecordingBoxes boxes;
    std::map<int, std::shared_ptr<EmulatedWriter>> writers;
    std::unique_ptr<CVREN_KESTO_CONFIGURATORDlg> window;
};

TEST_F(UdevMainWindowTest, WriterPluggedInAndOutReachesTheWindowOtherProductsDoNot)
{
    const std::string first = plug(2, ContactMode::Normal);
    MainWindowEnvironment env;
    env.profile = &profile;
    env.boxes = &boxes;
    env.makeBackend = [this](BackendKind, TransportServices services) -> std::unique_ptr<TransportBackend> {
        return std::make_unique<TestbedTransport>(std::move(services), writers);
    };
    env.makeNotifier = [] { return std::make_unique<UdevDeviceNotifier>(); };
    window = std::make_unique<CVREN_KESTO_CONFIGURATORDlg>(std::move(env));
    window->OnInitDialog();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !window->relisting(); }, 3000));
    ContactList& list = *window->contactList();
    ASSERT_EQ(list.GetRowCount(), 1);
    ASSERT_EQ(window->session().listedCount, 1);
    ASSERT_NE(window->session().notificationList.at(0).notificationHandle, nullptr) << lines().join('\n').toStdString();

    // Arrival.
    plug(3, ContactMode::JtagDown);
    ASSERT_TRUE(testsupport::waitUntil([&] { return list.GetRowCount() == 2; }, 3000));
    EXPECT_EQ(list.StatusText(1), "Kesto Contact - JTAG");
    EXPECT_EQ(window->session().listedCount, 2);
    const QStringList afterArrival = lines();
    EXPECT_TRUE(afterArrival.contains(QStringLiteral("USB Device Connected!")));
    EXPECT_TRUE(afterArrival.contains(QStringLiteral("udev action = add")));
    EXPECT_TRUE(afterArrival.contains(QStringLiteral("udev devnode = /dev/bus/usb/001/003")));
    EXPECT_TRUE(afterArrival.contains(QStringLiteral("udev vendor:product = 2f1a:0018")));

    // Another product of the same vendor: no relisting.
    const auto before = writers[2]->requests().size();
    addUsbDevice(4, 0x2F1A, 0x0019);
    testsupport::waitUntil([] { return false; }, 300);
    EXPECT_EQ(lines(), afterArrival);
    EXPECT_EQ(writers[2]->requests().size(), before);

    // Removal of the first writer.
    writers[2]->unplug();
    writers.erase(2);
    removeUsbDevice(first);
    ASSERT_TRUE(testsupport::waitUntil([&] { return window->session().listedCount == 1; }, 3000));
    testsupport::waitUntil([] { return false; }, 100);
    EXPECT_EQ(list.GetRowCount(), 1);
    EXPECT_EQ(list.StatusText(0), "Kesto Contact - JTAG");
    const QStringList afterRemoval = lines().mid(afterArrival.size());
    ASSERT_GE(afterRemoval.size(), 2);
    EXPECT_EQ(afterRemoval[0], QStringLiteral("USB Device Unconnected!"));
    EXPECT_EQ(afterRemoval[1], QString::fromUtf8("\t\xE2\x98\x9E USB Device No.1 is removed."));
    EXPECT_EQ(afterRemoval.last(), QString::fromUtf8("\t\xE2\x98\x9E USB Devices are relisted."));
}

} // namespace
