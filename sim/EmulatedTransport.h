#pragma once
// Emulated writers on an emulated USB bus, served through the transport table
// like real writers.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "EmulatedWriter.h"
#include "transport/TransportBackend.h"

// The writers plugged in, in bus order. Any number may be plugged; the
// transport opens at most ten. Thread-safe.
class EmulatedBus {
public:
    // Appends the writer and plugs it in (idle, nothing pending). A writer
    // already on the bus keeps its place.
    void plug(std::shared_ptr<EmulatedWriter> writer);
    // Unplugs the writer and takes it off the bus.
    void unplug(const std::shared_ptr<EmulatedWriter>& writer);
    // The writers still plugged in, in bus order. A writer that unplugged
    // itself (WriterFaults::unplugAfterReplies) has left the bus.
    std::vector<std::shared_ptr<EmulatedWriter>> writers() const;

private:
    void dropUnplugged() const;

    mutable std::mutex mutex_;
    mutable std::vector<std::shared_ptr<EmulatedWriter>> writers_;
};

// The current-platform walk over the bus: writer k goes into entry k, up to
// ten, and the walk stops at the first writer that fails to open.
class EmulatedTransport : public TransportBackend {
public:
    // `timeout` bounds every write and read (real back ends use 6000 ms).
    EmulatedTransport(TransportServices services, EmulatedBus& bus, std::chrono::milliseconds timeout);

    std::int32_t OpenAllDevices() override;

    std::chrono::milliseconds timeout() const { return timeout_; }

private:
    EmulatedBus& bus_;
    const std::chrono::milliseconds timeout_;
};
