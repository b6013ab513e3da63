#include "transport/UdevDeviceNotifier.h"

#include <QSocketNotifier>

#include <libudev.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string text(const char* value)
{
    return value ? std::string(value) : std::string();
}

int number(const char* value)
{
    if (!value || !*value)
        return -1;
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    return (end && *end == '\0' && n >= 0) ? int(n) : -1;
}

// Vendor and product id of a USB device event. The PRODUCT property
// ("2f1a/18/100") also comes with "remove", when the attributes are gone.
bool vendorProduct(udev_device* device, unsigned& vendor, unsigned& product)
{
    if (const char* p = udev_device_get_property_value(device, "PRODUCT")) {
        if (std::sscanf(p, "%x/%x/", &vendor, &product) == 2)
            return true;
    }
    const char* v = udev_device_get_sysattr_value(device, "idVendor");
    const char* d = udev_device_get_sysattr_value(device, "idProduct");
    return v && d && std::sscanf(v, "%x", &vendor) == 1 && std::sscanf(d, "%x", &product) == 1;
}

} // namespace

UdevDeviceNotifier::UdevDeviceNotifier(QObject* parent)
    : QObject(parent)
{
    udev_ = udev_new();
    if (!udev_)
        return;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ && (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0
                     || udev_monitor_enable_receiving(monitor_) < 0)) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
    if (!monitor_)
        return;
    socketNotifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
    connect(socketNotifier_, &QSocketNotifier::activated, this, &UdevDeviceNotifier::readEvents);
}

UdevDeviceNotifier::~UdevDeviceNotifier()
{
    delete socketNotifier_;
    if (monitor_)
        udev_monitor_unref(monitor_);
    if (udev_)
        udev_unref(udev_);
}

void* UdevDeviceNotifier::addRegistration(Registration registration)
{
    const std::uintptr_t token = nextToken_++;
    registrations_.emplace(token, std::move(registration));
    return reinterpret_cast<void*>(token);
}

void* UdevDeviceNotifier::registerWriterClass()
{
    if (!monitor_)
        return nullptr;
    return addRegistration({true, nullptr, {}});
}

void* UdevDeviceNotifier::registerHandle(void* handle, const UsbDeviceIdentity& identity)
{
    if (!monitor_ || !handle || !identity.known())
        return nullptr;
    return addRegistration({false, handle, identity});
}

void UdevDeviceNotifier::unregister(void* notification)
{
    registrations_.erase(reinterpret_cast<std::uintptr_t>(notification));
}

void UdevDeviceNotifier::collectEvents(udev_device* device, std::vector<DeviceEvent>& events) const
{
    // The kernel-side filter is only a hint; some sources of uevents ignore it.
    if (text(udev_device_get_subsystem(device)) != "usb" || text(udev_device_get_devtype(device)) != "usb_device")
        return;

    const std::string action = text(udev_device_get_action(device));
    unsigned vendor = 0, product = 0;
    const bool haveIds = vendorProduct(device, vendor, product);
    char ids[16] = "";
    if (haveIds)
        std::snprintf(ids, sizeof ids, "%04x:%04x", vendor & 0xFFFFu, product & 0xFFFFu);
    std::string node = text(udev_device_get_devnode(device));
    if (node.empty()) {
        const std::string name = text(udev_device_get_property_value(device, "DEVNAME"));
        node = name.empty() || name[0] == '/' ? name : "/dev/" + name;
    }

    UsbDeviceIdentity identity;
    identity.busNumber = number(udev_device_get_property_value(device, "BUSNUM"));
    identity.deviceAddress = number(udev_device_get_property_value(device, "DEVNUM"));
    identity.sysPath = text(udev_device_get_syspath(device));

    const bool writer = haveIds && vendor == kWriterVendorId && product == kWriterProductId;
    for (const auto& [token, registration] : registrations_) {
        DeviceEvent event;
        if (action == "add" && writer && registration.writerClass) {
            event.eventCode = kDeviceArrival;
            event.deviceType = kDeviceTypeInterface;
        } else if (action == "remove" && !registration.writerClass && registration.identity.sameDevice(identity)) {
            event.eventCode = kDeviceRemoveComplete;
            event.deviceType = kDeviceTypeHandle;
        } else {
            continue;
        }
        event.notificationHandle = reinterpret_cast<void*>(token);
        event.action = action;
        event.deviceNode = node;
        event.vendorProduct = ids;
        events.push_back(std::move(event));
    }
}

void UdevDeviceNotifier::readEvents()
{
    if (!monitor_)
        return;
    std::vector<DeviceEvent> events;
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        collectEvents(device, events);
        udev_device_unref(device);
    }
    // Handling one event may end registrations that later ones name.
    for (const DeviceEvent& event : events) {
        if (registrations_.count(reinterpret_cast<std::uintptr_t>(event.notificationHandle)))
            deliver(event);
    }
}
