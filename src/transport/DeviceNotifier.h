#pragma once
// Device notifications: the main window learns through them that writers were
// plugged in (an arrival for the writer class) or that a listed writer went
// away (a removal for the handle it was opened with).
//
// A notifier is used on the UI thread only; it delivers its events there too.

#include <cstdint>
#include <functional>
#include <string>

#include "transport/UsbDeviceIdentity.h"

constexpr std::uint32_t kDeviceArrival = 0x8000;
constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;
constexpr std::uint32_t kDeviceTypeInterface = 5;
constexpr std::uint32_t kDeviceTypeHandle = 6;

// The writer's USB identity, which stands for its device-interface class.
constexpr std::uint16_t kWriterVendorId = 0x2F1A;
constexpr std::uint16_t kWriterProductId = 0x0018;

struct DeviceEvent {
    std::uint32_t eventCode = 0;  // kDeviceArrival, kDeviceRemoveComplete
    std::uint32_t deviceType = 0; // kDeviceTypeInterface, kDeviceTypeHandle
    void* notificationHandle = nullptr;
    // What the platform reported, for the log: "add"/"remove", the device
    // node, "vvvv:pppp".
    std::string action;
    std::string deviceNode;
    std::string vendorProduct;
};

class DeviceNotifier {
public:
    using EventHandler = std::function<void(const DeviceEvent&)>;

    virtual ~DeviceNotifier() = default;

    // False when the platform gave no way of watching devices; every
    // registration then fails.
    virtual bool available() const = 0;
    // Arrivals of writers. The notification handle, or null.
    virtual void* registerWriterClass() = 0;
    // The removal of the writer opened as `handle`. `identity` says which USB
    // device that is, for notifiers that cannot tell from the handle alone.
    // The notification handle, or null.
    virtual void* registerHandle(void* handle, const UsbDeviceIdentity& identity) = 0;
    // Ends a registration; null and unknown handles are ignored.
    virtual void unregister(void* notification) = 0;

    void setEventHandler(EventHandler handler) { handler_ = std::move(handler); }

protected:
    void deliver(const DeviceEvent& event) const
    {
        if (handler_)
            handler_(event);
    }

private:
    EventHandler handler_;
};
