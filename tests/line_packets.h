#pragma once
// The line packets a Config Save sends for a configuration text as the
// writer stores it (lines ended by CR LF), in order.

#include <cstdint>
#include <string_view>
#include <vector>

#include "writer/KestoWire.h"

inline std::vector<std::vector<std::uint8_t>> linePacketsOf(std::string_view text)
{
    std::vector<std::vector<std::uint8_t>> packets;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        std::uint8_t packet[kesto::REPLY_SIZE];
        const std::size_t n = kesto::buildLinePacket(text.substr(start, end - start), packet);
        packets.emplace_back(packet, packet + n);
        if (end == std::string_view::npos)
            break;
        start = end + 2;
    }
    return packets;
}
