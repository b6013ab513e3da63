#pragma once
// The current-platform back end, on the slim WinUSB-style layer.

#include <memory>

#include "transport/TransportBackend.h"
#include "transport/WinUsbLayer.h"

class WinUsbTransport : public TransportBackend {
public:
    explicit WinUsbTransport(TransportServices services, std::unique_ptr<WinUsbLayer> layer = nullptr,
        int timeoutMs = kTransferTimeoutMs);
    ~WinUsbTransport() override;

    // Opens members 0, 1, ... into entries 0, 1, ... until one fails.
    std::int32_t OpenAllDevices() override;

private:
    std::unique_ptr<OpenedDevice> openMember(int k);

    std::unique_ptr<WinUsbLayer> layer_;
    int timeoutMs_;
};
