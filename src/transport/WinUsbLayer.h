#pragma once
// The slim WinUSB-style layer the current-platform back end talks to: the
// writer's interface members, their paths, and the pipe operations.

#include <cstdint>
#include <memory>
#include <string>

#include "transport/UsbDeviceIdentity.h"

enum class WinUsbPipeType : std::uint8_t { Control = 0, Isochronous = 1, Bulk = 2, Interrupt = 3 };

class WinUsbLayer {
public:
    // Opaque handles; null is the invalid value.
    struct DeviceSet;
    struct File;
    struct Interface;
    using DeviceSetPtr = std::shared_ptr<DeviceSet>;

    virtual ~WinUsbLayer() = default;

    // The present writers, or null.
    virtual DeviceSetPtr getClassDevs() = 0;
    virtual int memberCount(const DeviceSet& set) = 0;
    // Interface path of member k, or false when k is past the end.
    virtual bool interfacePath(const DeviceSet& set, int k, std::string& path) = 0;
    // Opens a path for reading and writing; null on failure, with
    // `permissionDenied` set when the user lacks the right to open it.
    virtual File* createFile(const std::string& path, bool& permissionDenied) = 0;
    virtual bool closeFile(File* file) = 0;
    virtual Interface* initialize(File* file) = 0;
    virtual void free(Interface* iface) = 0;
    virtual bool queryDeviceSpeed(Interface* iface, std::uint8_t& speed) = 0;
    virtual bool queryInterfaceSettings(Interface* iface, int& endpointCount) = 0;
    virtual void queryPipe(Interface* iface, int endpoint, WinUsbPipeType& type, std::uint8_t& pipeId) = 0;
    virtual void flushPipe(Interface* iface, std::uint8_t pipeId) = 0;
    virtual void setPipeTimeout(Interface* iface, std::uint8_t pipeId, std::uint32_t ms) = 0;
    virtual bool writePipe(Interface* iface, std::uint8_t pipeId, const std::uint8_t* data, std::int32_t length,
        std::int32_t& transferred) = 0;
    virtual bool readPipe(Interface* iface, std::uint8_t pipeId, std::uint8_t* buffer, std::int32_t length,
        std::int32_t& transferred) = 0;
    // Which USB device an open file is, for removal notices.
    virtual UsbDeviceIdentity identity(File* file) = 0;
};

// The Linux implementation on libusb-1.0; paths read "usb:BUS-PORTS".
std::unique_ptr<WinUsbLayer> makeLibUsb1WinUsbLayer();
