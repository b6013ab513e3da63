#pragma once
// The table of opened writers, one entry per device index.
//
// Workers transfer on their own entry while the UI thread may close every
// entry (a relisting after plug or unplug). An entry therefore hands out
// shared references to its opened device: closing the entry drops the table's
// reference, and the platform handles are released when the last transfer
// holding one returns. A transfer on a closed entry returns 0 at once.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "transport/UsbDeviceIdentity.h"
#include "transport/UsbTransport.h"

// One opened writer, as a back end holds it.
class OpenedDevice {
public:
    virtual ~OpenedDevice() = default;

    virtual std::int32_t write(const std::uint8_t* data, std::int32_t length) = 0;
    virtual std::int32_t read(std::uint8_t* buffer, std::int32_t length) = 0;
    // Releases the platform handles. False when the platform refused.
    virtual bool close() = 0;
    // The handle that removal notifications refer to.
    virtual void* notificationHandle() const = 0;
    // The USB device behind it, when the back end knows (removal notifications
    // of the udev notifier match on it).
    virtual UsbDeviceIdentity identity() const { return {}; }
};

class DeviceTable {
public:
    DeviceTable();
    ~DeviceTable();
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;

    // Called (on whichever thread released the device last) when the platform
    // refused to close entry `index`.
    void setCloseFailureHandler(std::function<void(int index)> handler);

    bool isOpen(int index) const;
    // Puts an opened device into a closed entry. False if the entry is open or
    // the index is out of range; the device is then closed again.
    bool install(int index, std::unique_ptr<OpenedDevice> device);
    // Marks the entry closed; the device is released once no transfer uses it.
    void close(int index);
    std::int32_t write(int index, const std::uint8_t* data, std::int32_t length);
    std::int32_t read(int index, std::uint8_t* buffer, std::int32_t length);
    // The opened device of an entry, or null; for notification registration.
    std::shared_ptr<OpenedDevice> device(int index) const;

    // Number of writers the last OpenAllDevices opened, 0..10. UI thread only.
    std::int32_t deviceCount = 0;
    // Number of writers it found, opened or not (may exceed ten): with none
    // opened, tells "no writer there" from "writers that cannot be opened".
    std::int32_t writersFound = 0;
    // Interface path of the writer opened last (current-platform back end).
    std::string devicePath;

private:
    struct Entry {
        mutable std::mutex mutex;
        std::shared_ptr<OpenedDevice> device;
    };
    std::shared_ptr<OpenedDevice> acquire(int index) const;

    std::array<Entry, kMaxDevices> entries_;
    std::shared_ptr<std::function<void(int)>> onCloseFailure_;
};
