#include "writer/KestoProtocol.h"

#include <algorithm>
#include <cstring>

#include "core/MessageLog.h"

using namespace kesto;

namespace {

bool validDevice(int dev) { return dev >= 0 && dev < kMaxDevices; }

bool statusIs(const StatusReply& reply, std::uint8_t status)
{
    return reply.hasStatus && reply.status == status;
}

} // namespace

KestoProtocol::KestoProtocol(const UsbTransport& transport, MessageLog& log)
    : transport_(transport), log_(log)
{
}

StatusReply KestoProtocol::lastReply(int dev) const
{
    if (!validDevice(dev))
        return {};
    const ExchangeBuffers& b = buffers_[std::size_t(dev)];
    return parseStatusReply(b.reply.data(), std::size_t(b.replyLength));
}

OperationStatus KestoProtocol::writeCommand(int dev, std::size_t length)
{
    ExchangeBuffers& b = buffers_[std::size_t(dev)];
    // Any nonzero count is success: a partial write is not retried.
    if (transport_.WriteDevice(dev, b.command.data(), std::int32_t(length)) <= 0)
        return OS_WRITE_USB_ERROR;
    return OS_SUCCESS;
}

OperationStatus KestoProtocol::readReply(int dev)
{
    ExchangeBuffers& b = buffers_[std::size_t(dev)];
    const std::int32_t n = transport_.ReadDevice(dev, b.reply.data(), REPLY_SIZE);
    b.replyLength = std::clamp<std::int32_t>(n, 0, REPLY_SIZE);
    return b.replyLength > 0 ? OS_SUCCESS : OS_READ_USB_ERROR;
}

OperationStatus KestoProtocol::exchange(int dev, std::size_t length)
{
    if (const OperationStatus s = writeCommand(dev, length); s != OS_SUCCESS)
        return s;
    return readReply(dev);
}

OperationStatus KestoProtocol::exchangeCommand(int dev, KestoCommand command)
{
    buffers_[std::size_t(dev)].command[0] = command;
    return exchange(dev, 1);
}

OperationStatus KestoProtocol::Kesto_GetDeviceInfo(int dev, DeviceInfoText& out)
{
    out = DeviceInfoText{};
    if (!validDevice(dev))
        return OS_WRITE_USB_ERROR;
    if (const OperationStatus s = exchangeCommand(dev, CMD_DEVICE_INFO); s != OS_SUCCESS)
        return s;
    const ExchangeBuffers& b = buffers_[std::size_t(dev)];
    if (b.reply[0] == 1)
        return OS_COMM_ERROR;
    std::memcpy(out.bytes.data(), b.reply.data(), std::size_t(b.replyLength));
    out.length = b.replyLength;
    return OS_SUCCESS;
}

OperationStatus KestoProtocol::Kesto_GetFirmwareVersion(int dev, FirmwareVersionReply& out)
{
    out = FirmwareVersionReply{};
    if (!validDevice(dev))
        return OS_WRITE_USB_ERROR;
    if (const OperationStatus s = exchangeCommand(dev, CMD_FIRMWARE_VERSION); s != OS_SUCCESS)
        return s;
    if (const StatusReply reply = lastReply(dev); statusIs(reply, RS_ERROR)) {
        log_.LogColored(kLogErrorColor,
            "\t +  Dev%02d: Kesto_GetFirmwareVersion Error!\r\n \t   -> R_Data(0x%08X)\r\n", dev + 1, reply.value);
        return OS_COMM_ERROR;
    }
    const ExchangeBuffers& b = buffers_[std::size_t(dev)];
    std::memcpy(out.bytes.data(), b.reply.data(), std::size_t(b.replyLength));
    out.length = b.replyLength;
    return OS_SUCCESS;
}

OperationStatus KestoProtocol::fsInitialRequest(int dev)
{
    if (!validDevice(dev))
        return OS_WRITE_USB_ERROR;
    buffers_[std::size_t(dev)].command[0] = CMD_FS_INITIAL;
    return writeCommand(dev, 1);
}

OperationStatus KestoProtocol::fsInitialAwaitReply(int dev, const std::function<bool()>& keepWaiting)
{
    if (!validDevice(dev))
        return OS_READ_USB_ERROR;
    while (readReply(dev) != OS_SUCCESS) {
        if (!keepWaiting || !keepWaiting())
            return OS_READ_USB_ERROR;
    }
    const StatusReply reply = lastReply(dev);
    // A one-byte answer carries no status: it cannot confirm the format.
    if (!reply.hasStatus || reply.status == RS_ERROR || reply.status == RS_FAILED)
        return OS_COMM_ERROR;
    return OS_SUCCESS;
}

OperationStatus KestoProtocol::Kesto_FileNameLoad(int dev, FileNameList& out, StreamStep* failedStep)
{
    StreamStep step = StreamStep::Request;
    auto fail = [&](OperationStatus status) {
        if (failedStep)
            *failedStep = step;
        return status;
    };
    if (failedStep)
        *failedStep = StreamStep::None;
    out.count = 0;
    out.droppedNames = 0;
    out.truncatedNames = 0;
    if (!validDevice(dev))
        return fail(OS_WRITE_USB_ERROR);
    if (const OperationStatus s = exchangeCommand(dev, CMD_FILE_NAME_LIST); s != OS_SUCCESS)
        return fail(s);

    StatusReply reply = lastReply(dev);
    if (statusIs(reply, RS_END))
        return OS_SUCCESS;
    if (!statusIs(reply, RS_MORE))
        return fail(OS_COMM_ERROR);

    step = StreamStep::Stream;
    const ExchangeBuffers& b = buffers_[std::size_t(dev)];
    for (;;) {
        // RS_MORE announces the next name's length in the value field.
        if (!reply.hasValue || reply.value > kMaxAnnouncedNameBytes)
            return fail(OS_COMM_ERROR);
        const std::uint32_t length = reply.value;
        const bool stored = out.count < kMaxFileNames;
        char* slot = stored ? out.names[std::size_t(out.count)].data() : nullptr;

        std::uint32_t received = 0;
        while (received < length) {
            if (const OperationStatus s = exchangeCommand(dev, CMD_NEXT); s != OS_SUCCESS)
                return fail(s);
            // A packet never carries the name past its announced length, and
            // the slot never past its 259 bytes.
            const std::uint32_t take = std::min<std::uint32_t>(std::uint32_t(b.replyLength), length - received);
            if (slot && received < kMaxFileNameBytes) {
                const std::size_t room = kMaxFileNameBytes - received;
                std::memcpy(slot + received, b.reply.data(), std::min<std::size_t>(take, room));
            }
            received += take;
        }
        if (stored) {
            const std::size_t kept = std::min<std::size_t>(length, kMaxFileNameBytes);
            slot[kept] = '\0';
            out.lengths[std::size_t(out.count)] = std::uint16_t(kept);
            if (length > kMaxFileNameBytes)
                ++out.truncatedNames;
            ++out.count;
        } else {
            ++out.droppedNames;
        }

        if (const OperationStatus s = exchangeCommand(dev, CMD_NEXT); s != OS_SUCCESS)
            return fail(s);
        reply = lastReply(dev);
        if (statusIs(reply, RS_END))
            return OS_SUCCESS;
        if (!statusIs(reply, RS_MORE))
            return fail(OS_COMM_ERROR);
    }
}

OperationStatus KestoProtocol::Kesto_ConfigRead(int dev, std::string& text, StreamStep* failedStep)
{
    StreamStep step = StreamStep::Request;
    auto fail = [&](OperationStatus status) {
        if (failedStep)
            *failedStep = step;
        return status;
    };
    if (failedStep)
        *failedStep = StreamStep::None;
    text.clear();
    if (!validDevice(dev))
        return fail(OS_WRITE_USB_ERROR);
    if (const OperationStatus s = exchangeCommand(dev, CMD_CONFIG_READ); s != OS_SUCCESS)
        return fail(s);

    const StatusReply reply = lastReply(dev);
    if (!reply.hasValue || reply.status == RS_ERROR || reply.status == RS_FAILED)
        return fail(OS_COMM_ERROR);
    const std::uint32_t length = reply.value;
    if (length == 0)
        return fail(OS_CONFIG_WRONG);
    if (length > kMaxConfigTextBytes) {
        log_.LogColored(kLogErrorColor,
            "\t +  Dev%02d: <configuration> is too long (%u bytes announced)!\r\n", dev + 1, length);
        return fail(OS_CONFIG_WRONG);
    }

    step = StreamStep::Stream;
    text.reserve(length);
    const ExchangeBuffers& b = buffers_[std::size_t(dev)];
    while (text.size() < length) {
        if (const OperationStatus s = exchangeCommand(dev, CMD_NEXT); s != OS_SUCCESS)
            return fail(s);
        if (b.replyLength >= 2 && b.reply[0] == CMD_CONFIG_READ && b.reply[1] == RS_FAILED)
            return fail(OS_COMM_ERROR);
        const std::size_t take = std::min<std::size_t>(std::size_t(b.replyLength), length - text.size());
        text.append(reinterpret_cast<const char*>(b.reply.data()), take);
    }
    return OS_SUCCESS;
}

OperationStatus KestoProtocol::Kesto_ConfigWrite(int dev, const std::vector<std::string>& lines,
                                                 ConfigWriteStep* failedStep)
{
    auto fail = [failedStep](ConfigWriteStep step, OperationStatus status) {
        if (failedStep)
            *failedStep = step;
        return status;
    };
    if (failedStep)
        *failedStep = ConfigWriteStep::None;
    if (!validDevice(dev))
        return fail(ConfigWriteStep::Request, OS_WRITE_USB_ERROR);

    // A line that does not fit its slot, or that carries its own line break,
    // would leave the writer a different text than the one built: refuse it
    // before the writer's configuration is touched.
    for (const std::string& line : lines) {
        if (line.size() > kMaxConfigLineBytes || line.find_first_of("\r\n") != std::string::npos)
            return fail(ConfigWriteStep::None, OS_CONFIG_WRONG);
    }

    if (const OperationStatus s = exchangeCommand(dev, CMD_CONFIG_WRITE); s != OS_SUCCESS)
        return fail(ConfigWriteStep::Request, s);
    if (!statusIs(lastReply(dev), RS_OK))
        return fail(ConfigWriteStep::Request, OS_COMM_ERROR);

    ExchangeBuffers& b = buffers_[std::size_t(dev)];
    for (const std::string& line : lines) {
        const std::size_t length = buildLinePacket(line, b.command.data());
        if (const OperationStatus s = exchange(dev, length); s != OS_SUCCESS)
            return fail(ConfigWriteStep::Line, s);
        if (!statusIs(lastReply(dev), RS_OK))
            return fail(ConfigWriteStep::Line, OS_COMM_ERROR);
    }

    if (const OperationStatus s = exchangeCommand(dev, CMD_END); s != OS_SUCCESS)
        return fail(ConfigWriteStep::End, s);
    if (!statusIs(lastReply(dev), RS_OK))
        return fail(ConfigWriteStep::End, OS_COMM_ERROR);
    return OS_SUCCESS;
}
