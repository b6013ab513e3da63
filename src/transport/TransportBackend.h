#pragma once
// What every USB back end shares: the device table it fills, the message
// boxes and log it reports to, and the two ways of walking the writers found.

#include <cstdint>
#include <functional>
#include <memory>

#include "transport/DeviceTable.h"
#include "transport/UsbTransport.h"

class MessageBoxes;
class MessageLog;

struct TransportServices {
    DeviceTable& table;
    MessageBoxes& boxes;
    MessageLog& log;
    // Called once for every writer opened, with its notification handle, so
    // that its removal can be noticed. May be empty.
    std::function<void(void* handle)> registerDeviceInfo;
};

class TransportBackend {
public:
    explicit TransportBackend(TransportServices services);
    virtual ~TransportBackend() = default;
    TransportBackend(const TransportBackend&) = delete;
    TransportBackend& operator=(const TransportBackend&) = delete;

    virtual std::int32_t OpenAllDevices() = 0;
    virtual void CloseDevice(std::int32_t index);
    virtual std::int32_t WriteDevice(std::int32_t index, const std::uint8_t* data, std::int32_t length);
    virtual std::int32_t ReadDevice(std::int32_t index, std::uint8_t* buffer, std::int32_t length);

    DeviceTable& table() { return services_.table; }

protected:
    // Opens the writer of enumeration position k, or returns null.
    using OpenMember = std::function<std::unique_ptr<OpenedDevice>(int k)>;

    // The current-platform walk: writer k goes into entry k. An occupied entry
    // shows its box and ends the walk, as does the first writer that fails to
    // open. Nonzero if and only if at least one writer was opened.
    std::int32_t openWalkStoppingAtFirstFailure(int found, const OpenMember& open);

    // Logs once that writers beyond the tenth are ignored (again only after
    // the number of surplus writers changed).
    void noteWritersFound(int found);

    void registerOpened(int index);

    TransportServices services_;

private:
    int lastSurplus_ = 0;
};

// Which back end a platform version code selects.
enum class BackendKind { LibUsb, WinUsb };
BackendKind backendForOsVersion(std::int32_t osVersionCode);
