#include "transport/WinUsbTransport.h"

#include <cstdio>
#include <cstring>

#include "transport/UsbPermissionHint.h"

namespace {

class WinUsbDevice : public OpenedDevice {
public:
    WinUsbDevice(WinUsbLayer& layer, WinUsbLayer::File* file, WinUsbLayer::Interface* iface, int timeoutMs)
        : layer_(layer), file_(file), iface_(iface), timeoutMs_(timeoutMs)
    {
    }

    std::uint8_t deviceSpeed = 0;
    std::uint8_t bulkInPipe = 0;
    std::uint8_t bulkOutPipe = 0;
    std::uint8_t interruptPipe = 0;

    std::int32_t write(const std::uint8_t* data, std::int32_t length) override
    {
        if (!iface_)
            return 0;
        // Set before every transfer: the layer may have been told otherwise since.
        layer_.setPipeTimeout(iface_, bulkOutPipe, static_cast<std::uint32_t>(timeoutMs_));
        std::int32_t n = 0;
        return layer_.writePipe(iface_, bulkOutPipe, data, length, n) ? n : 0;
    }

    std::int32_t read(std::uint8_t* buffer, std::int32_t length) override
    {
        if (!iface_)
            return 0;
        layer_.setPipeTimeout(iface_, bulkInPipe, static_cast<std::uint32_t>(timeoutMs_));
        std::int32_t n = 0;
        return layer_.readPipe(iface_, bulkInPipe, buffer, length, n) ? n : 0;
    }

    bool close() override
    {
        if (iface_) {
            layer_.free(iface_);
            iface_ = nullptr;
            deviceSpeed = bulkInPipe = bulkOutPipe = interruptPipe = 0;
        }
        if (!file_)
            return true;
        const bool ok = layer_.closeFile(file_);
        file_ = nullptr;
        return ok;
    }

    void* notificationHandle() const override { return file_; }
    UsbDeviceIdentity identity() const override { return identity_; }

    WinUsbLayer::Interface* interface() const { return iface_; }
    UsbDeviceIdentity identity_;

private:
    WinUsbLayer& layer_;
    WinUsbLayer::File* file_;
    WinUsbLayer::Interface* iface_;
    int timeoutMs_;
};

} // namespace

WinUsbTransport::WinUsbTransport(TransportServices services, std::unique_ptr<WinUsbLayer> layer, int timeoutMs)
    : TransportBackend(std::move(services))
    , layer_(layer ? std::move(layer) : makeLibUsb1WinUsbLayer())
    , timeoutMs_(timeoutMs)
{
}

WinUsbTransport::~WinUsbTransport()
{
    // Opened devices refer to the layer; they must be gone before it is.
    for (int i = 0; i < kMaxDevices; ++i)
        services_.table.close(i);
}

std::unique_ptr<OpenedDevice> WinUsbTransport::openMember(int k)
{
    // A fresh lookup for every member, so a writer replugged meanwhile is found.
    const auto set = layer_->getClassDevs();
    if (!set)
        return nullptr;
    std::string path;
    if (!layer_->interfacePath(*set, k, path))
        return nullptr;
    char devicePath[260];
    std::snprintf(devicePath, sizeof devicePath, "%s", path.c_str());
    services_.table.devicePath = devicePath;
    std::printf("Attempting to open %s\n", devicePath);
    std::fflush(stdout);

    bool permissionDenied = false;
    WinUsbLayer::File* file = layer_->createFile(devicePath, permissionDenied);
    if (!file) {
        std::printf("FAILED to open %s\n", devicePath);
        std::fflush(stdout);
        if (permissionDenied)
            logUsbPermissionHint(services_.log, devicePath);
        return nullptr;
    }
    WinUsbLayer::Interface* iface = layer_->initialize(file);
    if (!iface) {
        layer_->closeFile(file);
        return nullptr;
    }
    auto device = std::make_unique<WinUsbDevice>(*layer_, file, iface, timeoutMs_);
    device->identity_ = layer_->identity(file);
    // The interface path names the bus and port chain.
    if (device->identity_.location.empty())
        device->identity_.location = path;
    int endpoints = 0;
    if (!layer_->queryDeviceSpeed(iface, device->deviceSpeed) || !layer_->queryInterfaceSettings(iface, endpoints)) {
        // The interface handle goes too: nothing would release it later.
        device->close();
        return nullptr;
    }
    for (int j = 0; j < endpoints; ++j) {
        WinUsbPipeType type = WinUsbPipeType::Control;
        std::uint8_t id = 0;
        layer_->queryPipe(iface, j, type, id);
        if (type == WinUsbPipeType::Bulk) {
            if (id & 0x80)
                device->bulkInPipe = id;
            else
                device->bulkOutPipe = id;
        } else if (type == WinUsbPipeType::Interrupt) {
            device->interruptPipe = id;
        } else {
            break;
        }
    }
    layer_->flushPipe(iface, device->bulkInPipe);
    layer_->flushPipe(iface, device->bulkOutPipe);
    return device;
}

std::int32_t WinUsbTransport::OpenAllDevices()
{
    int found = 0;
    if (const auto set = layer_->getClassDevs())
        found = layer_->memberCount(*set);
    return openWalkStoppingAtFirstFailure(found, [this](int k) { return openMember(k); });
}
