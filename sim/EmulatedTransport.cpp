#include "EmulatedTransport.h"

#include <algorithm>

namespace {

// One opened emulated writer. It keeps the writer alive while a transfer on a
// closed entry is still running; an unplugged writer simply fails transfers.
class EmulatedDevice : public OpenedDevice {
public:
    EmulatedDevice(const EmulatedBus& bus, std::shared_ptr<EmulatedWriter> writer, std::chrono::milliseconds timeout)
        : bus_(bus)
        , writer_(std::move(writer))
        , timeout_(timeout)
    {
    }

    std::int32_t write(const std::uint8_t* data, std::int32_t length) override
    {
        // Emulated writers take requests at once; the time-out only bounds reads.
        const std::int32_t n = writer_->hostWrite(data, length);
        noticeUnplug();
        return n;
    }

    std::int32_t read(std::uint8_t* buffer, std::int32_t length) override
    {
        const std::int32_t n = writer_->hostRead(buffer, length, timeout_);
        noticeUnplug();
        return n;
    }

    bool close() override { return true; }

    void* notificationHandle() const override { return writer_.get(); }

    UsbDeviceIdentity identity() const override
    {
        UsbDeviceIdentity id;
        id.location = writer_->location();
        return id;
    }

private:
    // A writer that unplugged itself during the transfer leaves the bus now,
    // so that its removal is announced as a real one would be.
    void noticeUnplug() const
    {
        if (!writer_->plugged())
            bus_.noticeSelfUnplugged();
    }

    const EmulatedBus& bus_;
    std::shared_ptr<EmulatedWriter> writer_;
    std::chrono::milliseconds timeout_;
};

} // namespace

int EmulatedBus::addObserver(Observer observer)
{
    std::lock_guard lock(observerMutex_);
    const int id = nextObserver_++;
    observers_.emplace(id, std::move(observer));
    return id;
}

void EmulatedBus::removeObserver(int id)
{
    std::lock_guard lock(observerMutex_);
    observers_.erase(id);
}

void EmulatedBus::tell(Change change, const WriterList& writers) const
{
    if (writers.empty())
        return;
    // Held while the observers run, so that removeObserver waits for them.
    std::lock_guard lock(observerMutex_);
    for (const auto& writer : writers) {
        for (const auto& [id, observer] : observers_)
            observer(change, writer);
    }
}

EmulatedBus::WriterList EmulatedBus::dropUnplugged() const
{
    WriterList gone;
    std::erase_if(writers_, [&gone](const auto& w) {
        if (w->plugged())
            return false;
        gone.push_back(w);
        return true;
    });
    return gone;
}

void EmulatedBus::noticeSelfUnplugged() const
{
    WriterList gone;
    {
        std::lock_guard lock(mutex_);
        gone = dropUnplugged();
    }
    tell(Change::Unplugged, gone);
}

void EmulatedBus::plug(std::shared_ptr<EmulatedWriter> writer)
{
    if (!writer)
        return;
    WriterList gone;
    {
        std::lock_guard lock(mutex_);
        gone = dropUnplugged();
        if (std::find(writers_.begin(), writers_.end(), writer) != writers_.end()) {
            writer = nullptr;
        } else {
            if (writer->location().empty()) {
                // The first port of the emulated hub that no present writer holds.
                for (int port = 1;; ++port) {
                    const std::string location = "usb:1-" + std::to_string(port);
                    if (std::none_of(writers_.begin(), writers_.end(),
                                     [&](const auto& w) { return w->location() == location; })) {
                        writer->setLocation(location);
                        break;
                    }
                }
            }
            writer->plugIn();
            writers_.push_back(writer);
        }
    }
    tell(Change::Unplugged, gone);
    if (writer)
        tell(Change::Plugged, {writer});
}

void EmulatedBus::unplug(const std::shared_ptr<EmulatedWriter>& writer)
{
    if (!writer)
        return;
    {
        std::lock_guard lock(mutex_);
        const auto it = std::find(writers_.begin(), writers_.end(), writer);
        if (it == writers_.end())
            return;
        writer->unplug();
        writers_.erase(it);
    }
    tell(Change::Unplugged, {writer});
}

std::vector<std::shared_ptr<EmulatedWriter>> EmulatedBus::writers() const
{
    WriterList gone, present;
    {
        std::lock_guard lock(mutex_);
        gone = dropUnplugged();
        present = writers_;
    }
    tell(Change::Unplugged, gone);
    return present;
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
        return std::make_unique<EmulatedDevice>(bus_, found[std::size_t(k)], timeout_);
    });
}
