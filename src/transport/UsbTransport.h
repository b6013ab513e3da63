#pragma once
// The four transport operations every exchange with a writer goes through.
//
// The table is filled once at start-up with the operations of one back end
// and never changes afterwards.

#include <cstdint>
#include <functional>

constexpr int kMaxDevices = 10;              // device indexes 0..9
constexpr int kTransferTimeoutMs = 6000;     // per bulk transfer on real writers

struct UsbTransport {
    // Enumerates the writers present and opens them into entries 0, 1, ...
    // Nonzero on success (each back end has its own rule), 0 on failure.
    std::function<std::int32_t()> OpenAllDevices;
    // Closes entry `index` if it is open; does nothing on a closed entry.
    std::function<void(std::int32_t index)> CloseDevice;
    // One bulk OUT transfer. Bytes the writer accepted, 0 on failure/time-out.
    std::function<std::int32_t(std::int32_t index, const std::uint8_t* data, std::int32_t length)> WriteDevice;
    // One bulk IN transfer of up to `length` bytes. Bytes received, 0 on failure/time-out.
    std::function<std::int32_t(std::int32_t index, std::uint8_t* buffer, std::int32_t length)> ReadDevice;

    bool isFilled() const { return OpenAllDevices && CloseDevice && WriteDevice && ReadDevice; }
};

class TransportBackend;

// Fills the table with the back end's four operations. The back end must
// outlive every use of the table.
UsbTransport bindTransport(TransportBackend& backend);
