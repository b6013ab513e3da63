#include "writer/KestoWire.h"

#include <algorithm>
#include <cstring>

const char* operationStatusName(OperationStatus status)
{
    switch (status) {
    case OS_SUCCESS: return "OS_SUCCESS";
    case OS_WRITE_USB_ERROR: return "OS_WRITE_USB_ERROR";
    case OS_READ_USB_ERROR: return "OS_READ_USB_ERROR";
    case OS_COMM_ERROR: return "OS_COMM_ERROR";
    case OS_EXIT_OK: return "OS_EXIT_OK";
    case OS_CONFIG_WRONG: return "OS_CONFIG_WRONG";
    case OS_VERIFY_ERROR: return "OS_VERIFY_ERROR";
    }
    return "unknown status";
}

namespace kesto {

StatusReply parseStatusReply(const std::uint8_t* data, std::size_t received)
{
    StatusReply reply;
    if (received > kReplyStatusOffset) {
        reply.hasStatus = true;
        reply.status = data[kReplyStatusOffset];
    }
    if (received >= kReplyValueOffset + 4) {
        reply.hasValue = true;
        reply.value = readLe32(data + kReplyValueOffset);
    }
    return reply;
}

std::size_t buildLinePacket(std::string_view line, std::uint8_t* out)
{
    const std::size_t n = std::min(line.size(), kMaxConfigLineBytes);
    out[0] = CMD_NEXT;
    // One byte on the wire: lines of 254 bytes or more wrap around.
    out[1] = std::uint8_t((n + 2) % 256);
    std::memcpy(out + 2, line.data(), n);
    out[2 + n] = 0x0D;
    out[3 + n] = 0x0A;
    return n + kLinePacketOverhead;
}

} // namespace kesto

namespace {

std::string textUpToZero(const std::uint8_t* begin, std::size_t length)
{
    const auto* end = std::find(begin, begin + length, std::uint8_t(0));
    return std::string(reinterpret_cast<const char*>(begin), std::size_t(end - begin));
}

std::size_t clampedLength(int length, std::size_t capacity)
{
    return length <= 0 ? 0 : std::min(std::size_t(length), capacity);
}

} // namespace

std::string DeviceInfoText::text() const
{
    return textUpToZero(bytes.data(), clampedLength(length, bytes.size()));
}

std::uint32_t FirmwareVersionReply::programAddress() const
{
    return clampedLength(length, bytes.size()) >= 4 ? kesto::readLe32(bytes.data() + kesto::kVersionAddressOffset) : 0;
}

std::string FirmwareVersionReply::versionText() const
{
    const std::size_t n = clampedLength(length, bytes.size());
    if (n <= kesto::kVersionTextOffset)
        return {};
    return textUpToZero(bytes.data() + kesto::kVersionTextOffset, n - kesto::kVersionTextOffset);
}

std::string FileNameList::name(int i) const
{
    if (i < 0 || i >= count)
        return {};
    const auto& slot = names[std::size_t(i)];
    return std::string(slot.data(), std::min<std::size_t>(lengths[std::size_t(i)], kesto::kMaxFileNameBytes));
}
