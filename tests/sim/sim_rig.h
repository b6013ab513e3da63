#pragma once
// Emulated writers behind the real device table and transport table, with
// the log and message boxes recorded.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedTransport.h"
#include "recording.h"

namespace simtest {

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
