#include "writer/ContactCheck.h"

#include <algorithm>
#include <cstring>

namespace {

// Length-limited comparison on the received bytes: a text shorter than 20
// characters (or cut by a short reply) never matches.
bool startsWith(const FirmwareVersionReply& reply, std::string_view prefix)
{
    const std::size_t received = std::size_t(std::clamp(reply.length, 0, kesto::REPLY_SIZE));
    if (received < kesto::kVersionTextOffset + prefix.size())
        return false;
    return std::memcmp(reply.bytes.data() + kesto::kVersionTextOffset, prefix.data(), prefix.size()) == 0;
}

} // namespace

ContactKind classifyFirmwareVersion(const FirmwareVersionReply& reply)
{
    if (startsWith(reply, kJtagDownText))
        return ContactKind::Jtag;
    if (startsWith(reply, kIspDownText))
        return ContactKind::Isp;
    return ContactKind::Ok;
}

ContactKind CheckContact(KestoProtocol& protocol, int dev)
{
    FirmwareVersionReply reply;
    return CheckContact(protocol, dev, reply);
}

ContactKind CheckContact(KestoProtocol& protocol, int dev, FirmwareVersionReply& reply)
{
    if (protocol.Kesto_GetFirmwareVersion(dev, reply) != OS_SUCCESS) {
        reply = FirmwareVersionReply{};
        return ContactKind::Unknown;
    }
    return classifyFirmwareVersion(reply);
}

const char* contactStatusTextFor(ContactKind kind, bool afterRemoval)
{
    switch (kind) {
    case ContactKind::Unknown: return afterRemoval ? "Contact-Unknown!" : "Contact - Unknown!";
    case ContactKind::Jtag: return "Kesto Contact - JTAG";
    case ContactKind::Isp: return "Kesto Contact - ISP";
    case ContactKind::Ok: return "VREN Kesto Contact-OK!";
    }
    return "Contact - Unknown!";
}
