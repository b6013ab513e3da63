#pragma once
// The host's side of the writer command protocol.
//
// One request, then one reply of at most 64 bytes; longer data moves one
// packet per CMD_NEXT request. Every sequence returns an OperationStatus and
// the first failure ends it. Each device index has its own command and reply
// buffers, so workers serving different writers share nothing here.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "transport/UsbTransport.h"
#include "writer/KestoWire.h"

class MessageLog;

struct ExchangeBuffers {
    std::array<std::uint8_t, kesto::kCommandBufferSize> command{};
    // Not cleared between reads; replyLength says how much of it is current.
    std::array<std::uint8_t, kesto::REPLY_SIZE> reply{};
    int replyLength = 0;
};

// Where a configuration write stopped.
enum class ConfigWriteStep { None, Request, Line, End };
// Where a name list or a configuration read stopped: at the status that
// answers the request itself, or later in the stream.
enum class StreamStep { None, Request, Stream };

class KestoProtocol {
public:
    KestoProtocol(const UsbTransport& transport, MessageLog& log);

    // CMD_DEVICE_INFO. `out` is zero-filled first; a reply whose first byte is
    // 1 is an error.
    OperationStatus Kesto_GetDeviceInfo(int dev, DeviceInfoText& out);

    // CMD_FIRMWARE_VERSION. A reply whose second byte is 1 is an error, logged
    // with its detail ("R_Data"), which is also lastReply(dev).value.
    OperationStatus Kesto_GetFirmwareVersion(int dev, FirmwareVersionReply& out);

    // CMD_FS_INITIAL, in two steps because the writer answers only once it
    // has finished: first the request, then the wait for its reply. The wait
    // reads again and again while nothing arrives and `keepWaiting` says yes;
    // it is asked after every empty read and is where the caller paces and
    // limits the wait.
    OperationStatus fsInitialRequest(int dev);
    OperationStatus fsInitialAwaitReply(int dev, const std::function<bool()>& keepWaiting);

    // CMD_FILE_NAME_LIST: the names in the order the writer sends them.
    OperationStatus Kesto_FileNameLoad(int dev, FileNameList& out, StreamStep* failedStep = nullptr);

    // CMD_CONFIG_READ: the configuration text, exactly the announced length.
    // OS_CONFIG_WRONG when the writer announces 0 bytes, or more than any
    // configuration text can hold (logged; nothing large is allocated).
    OperationStatus Kesto_ConfigRead(int dev, std::string& text, StreamStep* failedStep = nullptr);

    // CMD_CONFIG_WRITE, one line packet per line, then CMD_END. Lines longer
    // than a configuration line can be are refused before anything is sent.
    OperationStatus Kesto_ConfigWrite(int dev, const std::vector<std::string>& lines,
                                      ConfigWriteStep* failedStep = nullptr);

    // The last reply read for a device, as far as it was received.
    kesto::StatusReply lastReply(int dev) const;
    const ExchangeBuffers& buffers(int dev) const { return buffers_.at(std::size_t(dev)); }

private:
    // Writes the command buffer's first `length` bytes, then reads one reply.
    OperationStatus exchange(int dev, std::size_t length);
    OperationStatus exchangeCommand(int dev, KestoCommand command);
    OperationStatus writeCommand(int dev, std::size_t length);
    OperationStatus readReply(int dev);

    const UsbTransport& transport_;
    MessageLog& log_;
    std::array<ExchangeBuffers, kMaxDevices> buffers_{};
};
