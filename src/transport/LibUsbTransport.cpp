#include "transport/LibUsbTransport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/MessageBoxes.h"
#include "transport/UsbPermissionHint.h"

namespace {

constexpr unsigned kWriterVendor = 0x2F1A;
constexpr unsigned kWriterProduct = 0x0018;
constexpr int kOutEndpoint = 0x01;
constexpr int kInEndpoint = 0x82;


class LibUsb0Device : public OpenedDevice {
public:
    LibUsb0Device(const LibUsb0Api& api, usb_dev_handle* handle, UsbDeviceIdentity identity, int timeoutMs)
        : api_(api), handle_(handle), identity_(std::move(identity)), timeoutMs_(timeoutMs)
    {
    }

    // Configuration 1, interface 0: the result of the first refusing call, or 0.
    int configure()
    {
        int r = api_.setConfiguration(handle_, 1);
        if (r < 0)
            return r;
        r = api_.claimInterface(handle_, 0);
        if (r < 0)
            return r;
        claimed_ = true;
        return 0;
    }

    std::int32_t write(const std::uint8_t* data, std::int32_t length) override
    {
        const int r = api_.bulkWrite(handle_, kOutEndpoint,
            reinterpret_cast<const char*>(data), length, timeoutMs_);
        return r > 0 ? r : 0;
    }

    std::int32_t read(std::uint8_t* buffer, std::int32_t length) override
    {
        const int r = api_.bulkRead(handle_, kInEndpoint, reinterpret_cast<char*>(buffer), length, timeoutMs_);
        return r > 0 ? r : 0;
    }

    bool close() override
    {
        // The interface is released before its handle goes.
        if (claimed_)
            api_.releaseInterface(handle_, 0);
        claimed_ = false;
        return api_.close(handle_) >= 0;
    }

    void* notificationHandle() const override { return handle_; }
    UsbDeviceIdentity identity() const override { return identity_; }

private:
    LibUsb0Api api_;
    usb_dev_handle* handle_;
    UsbDeviceIdentity identity_;
    int timeoutMs_;
    bool claimed_ = false;
};

UsbDeviceIdentity identityOf(const struct usb_bus* bus, const struct usb_device* dev)
{
    UsbDeviceIdentity id;
    if (bus)
        id.busNumber = std::atoi(bus->dirname);
    id.deviceAddress = dev->devnum;
    // libusb 0.1 knows no port chain: the bus and device file name.
    id.location = std::string("usb:") + (bus ? bus->dirname : "?") + "/" + dev->filename;
    return id;
}

bool isPermissionError(int negativeErrno)
{
    return negativeErrno == -EACCES || negativeErrno == -EPERM;
}

} // namespace

LibUsb0Api realLibUsb0Api()
{
    LibUsb0Api api{};
    api.init = &usb_init;
    api.findBusses = &usb_find_busses;
    api.findDevices = &usb_find_devices;
    api.getBusses = &usb_get_busses;
    api.open = &usb_open;
    api.setConfiguration = &usb_set_configuration;
    api.claimInterface = &usb_claim_interface;
    api.releaseInterface = &usb_release_interface;
    api.close = &usb_close;
    api.bulkWrite = &usb_bulk_write;
    api.bulkRead = &usb_bulk_read;
    return api;
}

LibUsbTransport::LibUsbTransport(TransportServices services, LibUsb0Api api, int timeoutMs)
    : TransportBackend(std::move(services)), api_(api), timeoutMs_(timeoutMs)
{
}

std::int32_t LibUsbTransport::OpenAllDevices()
{
    DeviceTable& table = services_.table;
    api_.init();
    api_.findBusses();
    api_.findDevices();

    int matches = 0;
    bool walkFailed = false;
    bool permissionReported = false;
    for (struct usb_bus* bus = api_.getBusses(); bus; bus = bus->next) {
        for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
            if (dev->descriptor.idVendor != kWriterVendor || dev->descriptor.idProduct != kWriterProduct)
                continue;
            const int n = matches++;
            if (n >= kMaxDevices)
                continue; // counted for the surplus line only
            if (table.isOpen(n)) {
                char text[64];
                std::snprintf(text, sizeof text, "USB Device Number <%d> is not NULL", n);
                services_.boxes.information(text);
                walkFailed = true;
                // Opening over the entry would lose the handle it holds.
                continue;
            }
            errno = 0;
            usb_dev_handle* handle = api_.open(dev);
            if (!handle) {
                if (errno == EACCES && !permissionReported) {
                    logUsbPermissionHint(services_.log, dev->filename);
                    permissionReported = true;
                }
                continue;
            }
            table.install(n, std::make_unique<LibUsb0Device>(api_, handle, identityOf(bus, dev), timeoutMs_));
        }
    }
    noteWritersFound(matches);
    if (walkFailed)
        return 0;

    table.deviceCount = matches < kMaxDevices ? matches : kMaxDevices;
    for (int i = 0; i < table.deviceCount; ++i) {
        auto device = std::dynamic_pointer_cast<LibUsb0Device>(table.device(i));
        // A writer the library could not open has no handle to configure.
        if (!device)
            return 0;
        const int r = device->configure();
        if (r < 0) {
            if (isPermissionError(r) && !permissionReported)
                logUsbPermissionHint(services_.log, ("number " + std::to_string(i)).c_str());
            table.close(i);
            return 0;
        }
        registerOpened(i);
    }
    return 1;
}
