// The WinUSB-style layer on libusb-1.0: the writer's interface class is the
// USB identity 2F1A:0018, and a member's path names its bus and port chain.

#include <libusb.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <mutex>
#include <vector>

#include "transport/WinUsbLayer.h"

struct WinUsbLayer::DeviceSet {
    struct Member {
        std::string path;
    };
    std::vector<Member> members;
};

struct WinUsbLayer::File {
    libusb_device_handle* handle = nullptr;
    UsbDeviceIdentity identity;
    std::array<std::uint32_t, 256> timeouts{};
};

struct WinUsbLayer::Interface {
    File* file = nullptr;
};

namespace {

constexpr std::uint16_t kWriterVendor = 0x2F1A;
constexpr std::uint16_t kWriterProduct = 0x0018;

// Bus number, then the port chain from the root hub.
std::vector<int> placeOf(libusb_device* dev)
{
    std::vector<int> place{ libusb_get_bus_number(dev) };
    std::uint8_t ports[8];
    const int n = libusb_get_port_numbers(dev, ports, sizeof ports);
    for (int i = 0; i < n; ++i)
        place.push_back(ports[i]);
    return place;
}

// "usb:BUS-PORT.PORT...", or "usb:BUS-0" for a device without a port chain.
std::string pathOf(const std::vector<int>& place)
{
    std::string path = "usb:" + std::to_string(place[0]);
    for (std::size_t i = 1; i < place.size(); ++i)
        path += (i == 1 ? "-" : ".") + std::to_string(place[i]);
    if (place.size() == 1)
        path += "-0";
    return path;
}

std::string pathOf(libusb_device* dev)
{
    return pathOf(placeOf(dev));
}

bool isWriter(libusb_device* dev)
{
    libusb_device_descriptor d{};
    return libusb_get_device_descriptor(dev, &d) == 0 && d.idVendor == kWriterVendor
        && d.idProduct == kWriterProduct;
}

class LibUsb1WinUsbLayer : public WinUsbLayer {
public:
    ~LibUsb1WinUsbLayer() override
    {
        if (ctx_)
            libusb_exit(ctx_);
    }

    DeviceSetPtr getClassDevs() override
    {
        struct Found {
            std::vector<int> place; // bus, then the port chain
            std::string path;
        };
        std::vector<Found> found;
        if (!forEachWriter([&](libusb_device* dev) {
                std::vector<int> place = placeOf(dev);
                std::string path = pathOf(place);
                found.push_back({ std::move(place), std::move(path) });
                return false;
            }))
            return nullptr;
        // Bus order, then port order (port 2 before port 10): the same writers
        // on the same ports always get the same members.
        std::sort(found.begin(), found.end(),
            [](const Found& a, const Found& b) { return a.place < b.place; });
        auto set = std::make_shared<DeviceSet>();
        for (auto& f : found)
            set->members.push_back({ f.path });
        return set;
    }

    int memberCount(const DeviceSet& set) override { return static_cast<int>(set.members.size()); }

    bool interfacePath(const DeviceSet& set, int k, std::string& path) override
    {
        if (k < 0 || k >= static_cast<int>(set.members.size()))
            return false;
        path = set.members[static_cast<std::size_t>(k)].path;
        return true;
    }

    File* createFile(const std::string& path, bool& permissionDenied) override
    {
        permissionDenied = false;
        File* file = nullptr;
        forEachWriter([&](libusb_device* dev) {
            if (pathOf(dev) != path)
                return false;
            libusb_device_handle* h = nullptr;
            const int r = libusb_open(dev, &h);
            if (r == LIBUSB_ERROR_ACCESS)
                permissionDenied = true;
            if (r == 0) {
                file = new File;
                file->handle = h;
                file->identity.busNumber = libusb_get_bus_number(dev);
                file->identity.deviceAddress = libusb_get_device_address(dev);
                file->timeouts.fill(0);
            }
            return true;
        });
        return file;
    }

    bool closeFile(File* file) override
    {
        if (!file)
            return false;
        libusb_close(file->handle);
        delete file;
        return true;
    }

    Interface* initialize(File* file) override
    {
        libusb_set_auto_detach_kernel_driver(file->handle, 1);
        int config = 0;
        if (libusb_get_configuration(file->handle, &config) != 0)
            return nullptr;
        if (config != 1 && libusb_set_configuration(file->handle, 1) != 0)
            return nullptr;
        if (libusb_claim_interface(file->handle, 0) != 0)
            return nullptr;
        auto* iface = new Interface;
        iface->file = file;
        return iface;
    }

    void free(Interface* iface) override
    {
        if (!iface)
            return;
        libusb_release_interface(iface->file->handle, 0);
        delete iface;
    }

    bool queryDeviceSpeed(Interface* iface, std::uint8_t& speed) override
    {
        // WinUSB reports 1 for low and full speed, 3 for high speed and above.
        const int s = libusb_get_device_speed(libusb_get_device(iface->file->handle));
        speed = s >= LIBUSB_SPEED_HIGH ? 3 : 1;
        return true;
    }

    bool queryInterfaceSettings(Interface* iface, int& endpointCount) override
    {
        const libusb_interface_descriptor* alt = altSetting0(iface);
        endpointCount = alt ? alt->bNumEndpoints : 0;
        freeConfig();
        return alt != nullptr;
    }

    void queryPipe(Interface* iface, int endpoint, WinUsbPipeType& type, std::uint8_t& pipeId) override
    {
        type = WinUsbPipeType::Control;
        pipeId = 0;
        const libusb_interface_descriptor* alt = altSetting0(iface);
        if (alt && endpoint >= 0 && endpoint < alt->bNumEndpoints) {
            const auto& ep = alt->endpoint[endpoint];
            type = static_cast<WinUsbPipeType>(ep.bmAttributes & 0x03);
            pipeId = ep.bEndpointAddress;
        }
        freeConfig();
    }

    // Synchronous transfers leave nothing queued on the host side.
    void flushPipe(Interface*, std::uint8_t) override {}

    void setPipeTimeout(Interface* iface, std::uint8_t pipeId, std::uint32_t ms) override
    {
        iface->file->timeouts[pipeId] = ms;
    }

    bool writePipe(Interface* iface, std::uint8_t pipeId, const std::uint8_t* data, std::int32_t length,
        std::int32_t& transferred) override
    {
        return transfer(iface, pipeId, const_cast<std::uint8_t*>(data), length, transferred);
    }

    bool readPipe(Interface* iface, std::uint8_t pipeId, std::uint8_t* buffer, std::int32_t length,
        std::int32_t& transferred) override
    {
        return transfer(iface, pipeId, buffer, length, transferred);
    }

    UsbDeviceIdentity identity(File* file) override { return file ? file->identity : UsbDeviceIdentity{}; }

private:
    template <class F> bool forEachWriter(F&& visit)
    {
        if (!context())
            return false;
        libusb_device** list = nullptr;
        const ssize_t n = libusb_get_device_list(ctx_, &list);
        if (n < 0)
            return false;
        for (ssize_t i = 0; i < n; ++i) {
            if (isWriter(list[i]) && visit(list[i]))
                break;
        }
        libusb_free_device_list(list, 1);
        return true;
    }

    libusb_context* context()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ctx_ && libusb_init(&ctx_) != 0)
            ctx_ = nullptr;
        return ctx_;
    }

    const libusb_interface_descriptor* altSetting0(Interface* iface)
    {
        config_ = nullptr;
        if (libusb_get_active_config_descriptor(libusb_get_device(iface->file->handle), &config_) != 0)
            return nullptr;
        if (config_->bNumInterfaces < 1 || config_->interface[0].num_altsetting < 1)
            return nullptr;
        return &config_->interface[0].altsetting[0];
    }

    void freeConfig()
    {
        if (config_)
            libusb_free_config_descriptor(config_);
        config_ = nullptr;
    }

    static bool transfer(Interface* iface, std::uint8_t pipeId, std::uint8_t* data, std::int32_t length,
        std::int32_t& transferred)
    {
        transferred = 0;
        if (length <= 0)
            return false;
        int n = 0;
        const int r = libusb_bulk_transfer(iface->file->handle, pipeId, data, length, &n,
            iface->file->timeouts[pipeId]);
        transferred = n;
        return r == 0;
    }

    std::mutex mutex_;
    libusb_context* ctx_ = nullptr;
    libusb_config_descriptor* config_ = nullptr; // open and UI thread only
};

} // namespace

std::unique_ptr<WinUsbLayer> makeLibUsb1WinUsbLayer()
{
    return std::make_unique<LibUsb1WinUsbLayer>();
}
