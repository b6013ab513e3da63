#pragma once
// Emulated writers on an emulated bus, served through the real device table
// and transport table (EmulatedTransport behind a bound UsbTransport), with
// the log and message boxes recorded and the host protocol on top. The one
// rig of the emulator, transport and protocol tests.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedTransport.h"
#include "recording.h"
#include "writer/KestoProtocol.h"

struct EmulatedRig {
    static constexpr std::chrono::milliseconds kDefaultTimeout{60};

    // Plugs in `writers` writers at once, identified "VREN Kesto Writer
    // SN-0001", "...SN-0002", and so on; `timeout` bounds every transfer.
    explicit EmulatedRig(int writers = 0, std::chrono::milliseconds timeout = kDefaultTimeout)
        : transport({table, boxes, log,
                        [this](void* handle) {
                            registered.push_back(handle);
                            if (onRegistered)
                                onRegistered(handle);
                        }},
            bus, timeout)
        , usb(bindTransport(transport))
        , protocol(usb, log)
    {
        for (int i = 0; i < writers; ++i)
            plugNew("VREN Kesto Writer SN-000" + std::to_string(i + 1));
    }

    // The calling pattern of every user: close all ten entries, then open all
    // writers. What OpenAllDevices returned: nonzero if any writer opened.
    std::int32_t reopen()
    {
        for (int i = 0; i < kMaxDevices; ++i)
            usb.CloseDevice(i);
        registered.clear();
        return usb.OpenAllDevices();
    }

    // One request and its reply through the transport table; empty if the
    // write failed or nothing came back.
    std::vector<std::uint8_t> exchange(int index, std::vector<std::uint8_t> request)
    {
        if (usb.WriteDevice(index, request.data(), std::int32_t(request.size())) == 0)
            return {};
        std::uint8_t reply[64];
        const int n = usb.ReadDevice(index, reply, sizeof reply);
        return std::vector<std::uint8_t>(reply, reply + n);
    }

    // Plugs in one more writer (last on the bus) and keeps it in `writers`.
    std::shared_ptr<EmulatedWriter> plugNew(const std::string& identification)
    {
        auto writer = std::make_shared<EmulatedWriter>(identification);
        bus.plug(writer);
        writers.push_back(writer);
        return writer;
    }

    // The i-th writer the rig plugged in, in plugging order.
    EmulatedWriter& writer(int i = 0) { return *writers.at(std::size_t(i)); }

    DeviceTable table;
    RecordingBoxes boxes;
    RecordingLog log;
    std::vector<void*> registered;              // notification handles of the last reopen()
    std::function<void(void*)> onRegistered;    // runs inside the walk
    EmulatedBus bus;
    EmulatedTransport transport;
    UsbTransport usb;
    KestoProtocol protocol;
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
};
