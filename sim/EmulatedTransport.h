#pragma once
// Emulated writers on an emulated USB bus, served through the transport table
// like real writers.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EmulatedWriter.h"
#include "transport/TransportBackend.h"

// The writers plugged in, in bus order. Any number may be plugged; the
// transport opens at most ten. Thread-safe.
class EmulatedBus {
public:
    enum class Change { Plugged, Unplugged };
    // Told of every writer that comes onto the bus or leaves it, on the thread
    // that caused it (a writer that unplugs itself does so inside a transfer).
    using Observer = std::function<void(Change, const std::shared_ptr<EmulatedWriter>&)>;

    // Returns an id for removeObserver. Once removeObserver returns, the
    // observer is not running and is never called again.
    int addObserver(Observer observer);
    void removeObserver(int id);

    // Appends the writer and plugs it in (idle, nothing pending). A writer
    // already on the bus keeps its place.
    void plug(std::shared_ptr<EmulatedWriter> writer);
    // Unplugs the writer and takes it off the bus.
    void unplug(const std::shared_ptr<EmulatedWriter>& writer);
    // The writers still plugged in, in bus order. A writer that unplugged
    // itself (WriterFaults::unplugAfterReplies) has left the bus.
    std::vector<std::shared_ptr<EmulatedWriter>> writers() const;

    // Takes writers that unplugged themselves off the bus and tells the
    // observers. The transport calls it after every transfer.
    void noticeSelfUnplugged() const;

private:
    using WriterList = std::vector<std::shared_ptr<EmulatedWriter>>;
    // Called with mutex_ held: the writers that left by themselves.
    WriterList dropUnplugged() const;
    // Called without mutex_.
    void tell(Change change, const WriterList& writers) const;

    mutable std::mutex mutex_;
    mutable WriterList writers_;

    mutable std::mutex observerMutex_;
    std::map<int, Observer> observers_;
    int nextObserver_ = 1;
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
