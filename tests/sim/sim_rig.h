#pragma once
// Emulated writers behind the real device table and transport table, with
// the log and message boxes recorded.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EmulatedTransport.h"
#include "app/MessageBoxes.h"
#include "app/MessageLog.h"

namespace simtest {

class RecordingLog : public MessageLog {
public:
    std::vector<std::string> lines() const
    {
        std::lock_guard lock(mutex_);
        return lines_;
    }

protected:
    void append(Rgb, std::string text) override
    {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(text));
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

class RecordingBoxes : public MessageBoxes {
public:
    void information(const std::string& text) override
    {
        std::lock_guard lock(mutex_);
        texts_.push_back(text);
    }
    bool askYesNo(const std::string& text) override
    {
        information(text);
        return false;
    }
    std::vector<std::string> texts() const
    {
        std::lock_guard lock(mutex_);
        return texts_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
};

struct Rig {
    explicit Rig(std::chrono::milliseconds timeout = std::chrono::milliseconds(100))
        : transport({table, boxes, log,
                        [this](void* handle) {
                            registered.push_back(handle);
                            if (onRegistered)
                                onRegistered(handle);
                        }},
            bus, timeout)
        , usb(bindTransport(transport))
    {
    }

    // The calling pattern of every user: close all ten entries, open all.
    std::int32_t reopen()
    {
        for (int i = 0; i < kMaxDevices; ++i)
            usb.CloseDevice(i);
        registered.clear();
        return usb.OpenAllDevices();
    }

    std::vector<std::uint8_t> exchange(int index, std::vector<std::uint8_t> request)
    {
        if (usb.WriteDevice(index, request.data(), std::int32_t(request.size())) == 0)
            return {};
        std::uint8_t reply[64];
        const int n = usb.ReadDevice(index, reply, sizeof reply);
        return std::vector<std::uint8_t>(reply, reply + n);
    }

    std::shared_ptr<EmulatedWriter> plugNew(const std::string& identification)
    {
        auto writer = std::make_shared<EmulatedWriter>(identification);
        bus.plug(writer);
        return writer;
    }

    DeviceTable table;
    RecordingBoxes boxes;
    RecordingLog log;
    std::vector<void*> registered;
    std::function<void(void*)> onRegistered; // runs inside the walk
    EmulatedBus bus;
    EmulatedTransport transport;
    UsbTransport usb;
};

} // namespace simtest
