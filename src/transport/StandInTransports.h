#pragma once
// Placeholders for the two real back ends until they are written: they find
// no writer, and answer as their real counterparts do when none is present.

#include "transport/TransportBackend.h"

class LibUsbTransport : public TransportBackend {
public:
    using TransportBackend::TransportBackend;
    // With no writer present the libusb walk succeeds.
    std::int32_t OpenAllDevices() override;
};

class WinUsbTransport : public TransportBackend {
public:
    using TransportBackend::TransportBackend;
    // With no writer present the current-platform walk fails.
    std::int32_t OpenAllDevices() override;
};
