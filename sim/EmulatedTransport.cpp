#include "EmulatedTransport.h"

#include <algorithm>

namespace {

// One opened emulated writer. It keeps the writer alive while a transfer on a
// closed entry is still running; an unplugged writer simply fails transfers.
class EmulatedDevice : public OpenedDevice {
public:
    EmulatedDevice(std::shared_ptr<EmulatedWriter> writer, std::chrono::milliseconds timeout)
        : writer_(std::move(writer))
        , timeout_(timeout)
    {
    }

    std::int32_t write(const std::uint8_t* data, std::int32_t length) override
    {
        // Emulated writers take requests at once; the time-out only bounds reads.
        return writer_->hostWrite(data, length);
    }

    std::int32_t read(std::uint8_t* buffer, std::int32_t length) override
    {
        return writer_->hostRead(buffer, length, timeout_);
    }

    bool close() override { return true; }

    void* notificationHandle() const override { return writer_.get(); }

private:
    std::shared_ptr<EmulatedWriter> writer_;
    std::chrono::milliseconds timeout_;
};

} // namespace

void EmulatedBus::dropUnplugged() const
{
    std::erase_if(writers_, [](const auto& w) { return !w->plugged(); });
}

void EmulatedBus::plug(std::shared_ptr<EmulatedWriter> writer)
{
    if (!writer)
        return;
    std::lock_guard lock(mutex_);
    dropUnplugged();
    if (std::find(writers_.begin(), writers_.end(), writer) != writers_.end())
        return;
    writer->plugIn();
    writers_.push_back(std::move(writer));
}

void EmulatedBus::unplug(const std::shared_ptr<EmulatedWriter>& writer)
{
    if (!writer)
        return;
    std::lock_guard lock(mutex_);
    const auto it = std::find(writers_.begin(), writers_.end(), writer);
    if (it == writers_.end())
        return;
    writer->unplug();
    writers_.erase(it);
}

std::vector<std::shared_ptr<EmulatedWriter>> EmulatedBus::writers() const
{
    std::lock_guard lock(mutex_);
    dropUnplugged();
    return writers_;
}

EmulatedTransport::EmulatedTransport(TransportServices services, EmulatedBus& bus, std::chrono::milliseconds timeout)
    : TransportBackend(std::move(services))
    , bus_(bus)
    , timeout_(timeout)
{
}

std::int32_t EmulatedTransport::OpenAllDevices()
{
    const auto found = bus_.writers();
    return openWalkStoppingAtFirstFailure(int(found.size()), [&](int k) -> std::unique_ptr<OpenedDevice> {
        // A writer unplugged since the listing fails to open.
        if (!found[std::size_t(k)]->hostOpen())
            return nullptr;
        return std::make_unique<EmulatedDevice>(found[std::size_t(k)], timeout_);
    });
}
