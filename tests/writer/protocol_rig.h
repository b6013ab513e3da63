#pragma once
// The host protocol over emulated writers, through the real device table and
// transport table.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedTransport.h"
#include "recording.h"
#include "writer/KestoProtocol.h"

struct ProtocolRig {
    explicit ProtocolRig(int writers = 1, std::chrono::milliseconds timeout = std::chrono::milliseconds(60))
        : transport({table, boxes, log, {}}, bus, timeout)
        , usb(bindTransport(transport))
        , protocol(usb, log)
    {
        for (int i = 0; i < writers; ++i) {
            auto w = std::make_shared<EmulatedWriter>("VREN Kesto Writer SN-000" + std::to_string(i + 1));
            bus.plug(w);
            this->writers.push_back(std::move(w));
        }
    }

    // Every user closes all ten entries, then opens all writers.
    bool open()
    {
        for (int i = 0; i < kMaxDevices; ++i)
            usb.CloseDevice(i);
        return usb.OpenAllDevices() != 0;
    }

    EmulatedWriter& writer(int i = 0) { return *writers.at(std::size_t(i)); }

    DeviceTable table;
    RecordingBoxes boxes;
    RecordingLog log;
    EmulatedBus bus;
    EmulatedTransport transport;
    UsbTransport usb;
    KestoProtocol protocol;
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
};
