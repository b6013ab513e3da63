#pragma once
// The back end on the libusb 0.1 interface (Windows 98, ME and 2000 records).

#include "transport/LibUsb0Api.h"
#include "transport/TransportBackend.h"

class LibUsbTransport : public TransportBackend {
public:
    explicit LibUsbTransport(TransportServices services, LibUsb0Api api = realLibUsb0Api(),
        int timeoutMs = kTransferTimeoutMs);

    // Opens every writer in bus-list order, then selects configuration 1 and
    // claims interface 0 on each. 1 also when no writer is present.
    std::int32_t OpenAllDevices() override;

private:
    LibUsb0Api api_;
    int timeoutMs_;
};
