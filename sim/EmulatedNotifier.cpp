#include "EmulatedNotifier.h"

#include <cstdio>
#include <vector>

EmulatedNotifier::EmulatedNotifier(EmulatedBus& bus, QObject* parent)
    : QObject(parent)
    , bus_(bus)
{
    // Bus changes may happen on any thread; registrations live on ours.
    observer_ = bus_.addObserver([this](EmulatedBus::Change change, const std::shared_ptr<EmulatedWriter>& writer) {
        QMetaObject::invokeMethod(this, [this, change, writer] { busChanged(change, writer); }, Qt::QueuedConnection);
    });
}

EmulatedNotifier::~EmulatedNotifier()
{
    bus_.removeObserver(observer_);
}

void* EmulatedNotifier::add(Registration registration)
{
    const std::uintptr_t token = nextToken_++;
    registrations_.emplace(token, registration);
    return reinterpret_cast<void*>(token);
}

void* EmulatedNotifier::registerWriterClass()
{
    return available_ ? add({true, nullptr}) : nullptr;
}

void* EmulatedNotifier::registerHandle(void* handle, const UsbDeviceIdentity&)
{
    if (!available_ || handleRegistrationFails_ || !handle)
        return nullptr;
    return add({false, handle});
}

void EmulatedNotifier::unregister(void* notification)
{
    registrations_.erase(reinterpret_cast<std::uintptr_t>(notification));
}

void EmulatedNotifier::busChanged(EmulatedBus::Change change, const std::shared_ptr<EmulatedWriter>& writer)
{
    const bool arrival = change == EmulatedBus::Change::Plugged;
    char node[32];
    std::snprintf(node, sizeof node, "emulated/%p", static_cast<void*>(writer.get()));
    std::vector<DeviceEvent> events;
    for (const auto& [token, registration] : registrations_) {
        if (arrival ? !registration.writerClass : registration.handle != writer.get())
            continue;
        DeviceEvent event;
        event.eventCode = arrival ? kDeviceArrival : kDeviceRemoveComplete;
        event.deviceType = arrival ? kDeviceTypeInterface : kDeviceTypeHandle;
        event.notificationHandle = reinterpret_cast<void*>(token);
        event.action = arrival ? "add" : "remove";
        event.deviceNode = node;
        event.vendorProduct = "2f1a:0018";
        events.push_back(std::move(event));
    }
    for (const DeviceEvent& event : events) {
        if (registrations_.count(reinterpret_cast<std::uintptr_t>(event.notificationHandle)))
            deliver(event);
    }
}
