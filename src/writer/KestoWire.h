#pragma once
// The writer's wire format: command codes, status codes, result codes and the
// layouts of requests and replies. Multi-byte fields are little-endian and are
// assembled byte by byte; no structure is ever laid over a receive buffer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The first byte of every request.
enum KestoCommand : std::uint8_t {
    CMD_DEVICE_INFO = 0x88,
    CMD_FIRMWARE_VERSION = 0xB0,
    CMD_FS_INITIAL = 0xB3,
    CMD_CONFIG_READ = 0xB4,
    CMD_FILE_NAME_LIST = 0xB5,
    CMD_CONFIG_WRITE = 0xB6,
    CMD_NEXT = 0x0C,
    CMD_END = 0x0B,
};

// The writer's status byte, offset 1 of a status reply.
enum ReplyStatus : std::uint8_t {
    RS_OK = 0,
    RS_ERROR = 1,
    RS_FAILED = 6,
    RS_END = 11,
    RS_MORE = 12,
};

// The result of every protocol operation and every device worker.
enum OperationStatus : std::uint32_t {
    OS_SUCCESS = 1,
    OS_WRITE_USB_ERROR = 0xAAA,
    OS_READ_USB_ERROR = 0xBBB,
    OS_COMM_ERROR = 0xCCC,
    OS_EXIT_OK = 0xDDD,
    OS_CONFIG_WRONG = 0xEEE,
    // The configuration read back after a save is not what was sent.
    OS_VERIFY_ERROR = 0xFFF,
};

const char* operationStatusName(OperationStatus status);

namespace kesto {

constexpr int REPLY_SIZE = 64; // every read asks for at most this much

// Status reply: [0] echo of the command, [1] ReplyStatus, [2..5] u32 value.
constexpr std::size_t kReplyCommandOffset = 0;
constexpr std::size_t kReplyStatusOffset = 1;
constexpr std::size_t kReplyValueOffset = 2;
constexpr std::size_t kStatusReplySize = 6;

// Firmware version reply: [0..3] u32 program address, [4..] version text.
constexpr std::size_t kVersionAddressOffset = 0;
constexpr std::size_t kVersionTextOffset = 4;

// Configuration line packet: 0x0C, (length + 2) mod 256, the line, CR LF.
constexpr std::size_t kLinePacketOverhead = 4;
// A configuration line holds at most 259 bytes (260-byte slots with their zero).
constexpr std::size_t kMaxConfigLineBytes = 259;
constexpr std::size_t kCommandBufferSize = kMaxConfigLineBytes + kLinePacketOverhead;

// File name list: up to 100 names in 260-byte slots, zero-terminated.
constexpr int kMaxFileNames = 100;
constexpr std::size_t kFileNameSlotBytes = 260;
constexpr std::size_t kMaxFileNameBytes = kFileNameSlotBytes - 1;

// No configuration text comes near this; a larger announced length is taken
// as a broken writer reply, not as a reason to allocate.
constexpr std::uint32_t kMaxConfigTextBytes = 64 * 1024;
// Same idea for a single file name in the list stream.
constexpr std::uint32_t kMaxAnnouncedNameBytes = 64 * 1024;

inline std::uint32_t readLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
        | (std::uint32_t(p[3]) << 24);
}

inline void writeLe32(std::uint8_t* p, std::uint32_t value)
{
    p[0] = std::uint8_t(value);
    p[1] = std::uint8_t(value >> 8);
    p[2] = std::uint8_t(value >> 16);
    p[3] = std::uint8_t(value >> 24);
}

// A status reply as far as it was received: fields beyond the received bytes
// are absent, never read from stale buffer contents.
struct StatusReply {
    bool hasStatus = false;
    std::uint8_t status = 0;
    bool hasValue = false;
    std::uint32_t value = 0;
};

StatusReply parseStatusReply(const std::uint8_t* data, std::size_t received);

// Builds a configuration line packet into `out` (kCommandBufferSize bytes at
// least); returns its length. The line must be at most kMaxConfigLineBytes.
std::size_t buildLinePacket(std::string_view line, std::uint8_t* out);

} // namespace kesto

// The identification text (CMD_DEVICE_INFO), kept in a zero-filled 64-byte buffer.
struct DeviceInfoText {
    std::array<std::uint8_t, kesto::REPLY_SIZE> bytes{};
    int length = 0; // bytes received

    // The text up to its first zero byte, or all received bytes if there is
    // none: a text that fills the whole buffer is still ended safely.
    std::string text() const;
};

// The firmware version reply (CMD_FIRMWARE_VERSION), as received.
struct FirmwareVersionReply {
    std::array<std::uint8_t, kesto::REPLY_SIZE> bytes{};
    int length = 0; // bytes received

    std::uint32_t programAddress() const; // 0 if fewer than 4 bytes came
    std::string versionText() const;      // from offset 4 up to a zero or the end
};

// The names stored on a writer (CMD_FILE_NAME_LIST).
struct FileNameList {
    std::array<std::array<char, kesto::kFileNameSlotBytes>, kesto::kMaxFileNames> names{};
    std::array<std::uint16_t, kesto::kMaxFileNames> lengths{}; // bytes stored per slot
    int count = 0;
    // Names the writer sent beyond the hundredth: read off the wire so the
    // list still ends in step, but not stored.
    int droppedNames = 0;
    // Names longer than 259 bytes: all their bytes are read, the first 259 kept.
    int truncatedNames = 0;

    // The stored bytes of name i, exactly as the writer sent them.
    std::string name(int i) const;
};
