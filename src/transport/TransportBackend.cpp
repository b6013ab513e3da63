#include "transport/TransportBackend.h"

#include <cstdio>
#include <string>

#include "core/MessageBoxes.h"
#include "core/MessageLog.h"

namespace {

std::string boxText(const char* format, int index)
{
    char text[128];
    std::snprintf(text, sizeof text, format, index);
    return text;
}

} // namespace

UsbTransport bindTransport(TransportBackend& backend)
{
    UsbTransport t;
    t.OpenAllDevices = [&backend] { return backend.OpenAllDevices(); };
    t.CloseDevice = [&backend](std::int32_t i) { backend.CloseDevice(i); };
    t.WriteDevice = [&backend](std::int32_t i, const std::uint8_t* d, std::int32_t n) {
        return backend.WriteDevice(i, d, n);
    };
    t.ReadDevice = [&backend](std::int32_t i, std::uint8_t* b, std::int32_t n) {
        return backend.ReadDevice(i, b, n);
    };
    return t;
}

BackendKind backendForOsVersion(std::int32_t osVersionCode)
{
    return osVersionCode >= 1998 && osVersionCode <= 2000 ? BackendKind::LibUsb : BackendKind::WinUsb;
}

TransportBackend::TransportBackend(TransportServices services)
    : services_(std::move(services))
{
}

void TransportBackend::CloseDevice(std::int32_t index)
{
    services_.table.close(index);
}

std::int32_t TransportBackend::WriteDevice(std::int32_t index, const std::uint8_t* data, std::int32_t length)
{
    return services_.table.write(index, data, length);
}

std::int32_t TransportBackend::ReadDevice(std::int32_t index, std::uint8_t* buffer, std::int32_t length)
{
    return services_.table.read(index, buffer, length);
}

void TransportBackend::noteWritersFound(int found)
{
    services_.table.writersFound = found;
    const int surplus = found > kMaxDevices ? found - kMaxDevices : 0;
    if (surplus > 0 && surplus != lastSurplus_) {
        services_.log.LogColored(kLogErrorColor,
            "Maximum Contact Devices are 10! %d more writer(s) connected and not used.\r\n", surplus);
    }
    lastSurplus_ = surplus;
}

void TransportBackend::registerOpened(int index)
{
    if (!services_.registerDeviceInfo)
        return;
    if (auto device = services_.table.device(index))
        services_.registerDeviceInfo(device->notificationHandle());
}

std::int32_t TransportBackend::openWalkStoppingAtFirstFailure(int found, const OpenMember& open)
{
    noteWritersFound(found);
    DeviceTable& table = services_.table;
    int opened = 0;
    for (int k = 0; k < found && k < kMaxDevices; ++k) {
        if (table.isOpen(k)) {
            services_.boxes.information(boxText("USB Device Number <%d> is not INVALID_HANDLE_VALUE", k));
            break;
        }
        auto device = open(k);
        if (!device || !table.install(k, std::move(device)))
            break;
        registerOpened(k);
        ++opened;
    }
    table.deviceCount = opened;
    return opened > 0 ? 1 : 0;
}
