#pragma once
// An in-process VREN Kesto writer: the writer's side of the command protocol,
// a small file system, its identification and version texts, its contact
// modes, a format that takes a set time, and faults to inject.
//
// The host side (hostOpen, hostWrite, hostRead) is called by the emulated
// transport from worker threads; everything else may be called at any time
// from any thread, typically a test setting the writer up or breaking it.
// One mutex guards all state; a waiting read sleeps on a condition variable.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "writer/KestoWire.h"

enum class ContactMode {
    Normal,
    JtagDown, // only the device info and firmware version requests are answered
    IspDown,  // likewise
};

// A status reply the writer sends in place of its own.
struct StatusFault {
    std::uint8_t status = RS_ERROR;
    std::uint32_t value = 0;
};

// Faults a test can switch on at any time. Indexes count from 0.
//
// A status fault whose status differs from the one the writer would have sent
// means the step failed inside the writer: nothing is stored or removed, and
// the writer drops the stream it was in. With the writer's own status and
// another value (e.g. a different length) the stream goes on.
struct WriterFaults {
    // Requests are taken, but no reply ever becomes readable: reads time out.
    bool noAnswer = false;
    // Writes transfer nothing; the writer never sees the request.
    bool rejectWrites = false;
    // The host sees the writer but cannot open it (as without permission).
    bool refuseOpen = false;

    // The status reply to a one-byte request: CMD_FS_INITIAL, CMD_CONFIG_READ,
    // CMD_FILE_NAME_LIST, CMD_CONFIG_WRITE or CMD_END.
    std::map<std::uint8_t, StatusFault> commandStatus;
    // The reply to line packet k of a configuration write.
    std::map<int, StatusFault> configLineStatus;
    // The status that follows name k of the name list (RS_MORE or RS_END normally).
    std::map<int, StatusFault> nameListStatus;

    // CMD_FIRMWARE_VERSION answers [0xB0, 1, detail u32] instead of the version.
    std::optional<std::uint32_t> firmwareVersionError;
    // CMD_DEVICE_INFO answers [1, 1, 0, 0, 0, 0] instead of the identification.
    bool deviceInfoError = false;

    // Every reply is cut to this many bytes (0 gives empty replies).
    std::optional<std::size_t> shortReply;
    // Every reply is padded with 0xEE to this many bytes; beyond the reader's
    // capacity the read overflows and the reply is lost.
    std::optional<std::size_t> oversizedReply;

    // CMD_CONFIG_READ announces this length; the data packets still carry the
    // real text.
    std::optional<std::uint32_t> announcedConfigLength;
    // Once the real text is out, CMD_NEXT keeps returning 64-byte filler packets.
    bool endlessConfigFiller = false;
    // Data packet k of a configuration read is replaced by the error packet
    // [0xB4, 0x06, 0, 0, 0, 0], which ends the read.
    std::optional<int> configErrorPacket;

    // After the host has taken this many more replies the writer unplugs itself.
    // Counts down; it is cleared when it fires.
    std::optional<int> unplugAfterReplies;
    // After the host has taken this many more replies the writer stops
    // answering (as noAnswer). Counts down; it is cleared when it fires.
    std::optional<int> silentAfterReplies;

    // What a configuration write stores differs from what arrived: the byte
    // at this offset is inverted (if the text is that long) ...
    std::optional<std::size_t> corruptStoredByte;
    // ... or the last line (with its CR LF) is left out.
    bool dropLastStoredLine = false;

    // Every reply becomes readable only this long after the request.
    std::chrono::milliseconds replyDelay{0};
};

class EmulatedWriter {
public:
    using Bytes = std::vector<std::uint8_t>;
    using Clock = std::chrono::steady_clock;

    static constexpr const char* kConfigFileName = "config.ini";
    static constexpr const char* kDefaultIdentification = "VREN Kesto Writer SN-0001";
    static constexpr const char* kDefaultFirmwareVersion = "VREN Kesto V2.10 2026-11-02";
    static constexpr std::uint32_t kDefaultProgramAddress = 0x08004000;
    // The version texts of the two download modes.
    static constexpr const char* kJtagDownVersion = "VREN Kesto JTAG Down V1.0";
    static constexpr const char* kIspDownVersion = " VREN Kesto ISP Down V1.0";
    // An initialization that only ends when releaseHeldReplies() is called.
    static constexpr std::chrono::milliseconds kNeverFinishes = std::chrono::milliseconds::max();

    EmulatedWriter();
    explicit EmulatedWriter(std::string identification);
    EmulatedWriter(const EmulatedWriter&) = delete;
    EmulatedWriter& operator=(const EmulatedWriter&) = delete;

    // ---- set-up
    void setIdentification(std::string text);
    std::string identification() const;
    void setFirmwareVersion(std::string text); // the text of ContactMode::Normal
    std::string firmwareVersion() const;
    void setProgramAddress(std::uint32_t address);
    std::uint32_t programAddress() const;
    void setContactMode(ContactMode mode);
    ContactMode contactMode() const;
    // How long CMD_FS_INITIAL takes before its status reply is readable.
    void setInitDuration(std::chrono::milliseconds duration);
    std::chrono::milliseconds initDuration() const;
    void setFaults(WriterFaults faults);
    // Where the writer is plugged in ("usb:1-3"); the bus gives a writer
    // without one the first free port.
    void setLocation(std::string location);
    std::string location() const;
    WriterFaults faults() const;

    // ---- file system: names and contents are raw bytes, kept in order
    void setFile(const std::string& name, std::string content); // replaces in place
    bool removeFile(const std::string& name);
    std::optional<std::string> file(const std::string& name) const;
    std::vector<std::string> fileNames() const;
    void clearFiles();

    // ---- wire log: requests as received, replies as sent (after faults).
    // Each keeps at least its latest kWireLogKept entries (a long demo
    // session must not grow without end), and every entry up to then.
    static constexpr std::size_t kWireLogKept = 10000;
    std::vector<Bytes> requests() const;
    std::vector<Bytes> replies() const;
    void clearWireLog();

    // ---- bus
    // From now on every write and read fails at once; a waiting read returns 0.
    void unplug();
    // Plugged in again, as after a power cycle: idle, nothing pending; files kept.
    void plugIn();
    bool plugged() const;
    // Makes every queued reply readable now (a held initialization, slow replies).
    void releaseHeldReplies();

    // ---- host side
    // The host opened the device: a new session starts idle with nothing
    // pending, as after the pipes are flushed. False if unplugged.
    bool hostOpen();
    // One bulk OUT transfer: bytes accepted, 0 on failure.
    int hostWrite(const std::uint8_t* data, int length);
    // One bulk IN transfer: waits until a reply is readable, the time-out
    // passes or the writer is unplugged. Bytes copied; 0 on time-out, unplug or
    // a reply longer than `capacity` (which is then lost, as on USB).
    int hostRead(std::uint8_t* buffer, int capacity, std::chrono::milliseconds timeout);

private:
    enum class Stream { Idle, ConfigRead, NameList, ConfigWrite };

    struct PendingReply {
        Bytes bytes;
        Clock::time_point readyAt;
    };

    // All private members below are called with mutex_ held.
    void handleRequest(const Bytes& request);
    void handleIdle(const Bytes& request);
    void handleConfigReadNext();
    void handleNameListNext();
    void handleConfigLine(const Bytes& request);
    void handleConfigEnd();
    void startConfigRead();
    void startNameList();
    void startConfigWrite();
    void startInitialization();

    Bytes deviceInfoReply() const;
    Bytes firmwareVersionReply() const;
    // Sends a status reply, or the fault's one instead. True if the writer's
    // own status went out.
    bool sendStatus(std::uint8_t echo, std::uint8_t status, std::uint32_t value, const StatusFault* fault);
    void sendError(std::uint8_t echo);
    void send(Bytes reply, std::chrono::milliseconds extraDelay = std::chrono::milliseconds(0));
    void resetSession(); // new session: stream ended, nothing pending
    void endStream();
    void goUnplugged();
    static void keepLatest(std::vector<Bytes>& log);

    std::vector<std::pair<std::string, std::string>>::iterator findFile(const std::string& name);

    mutable std::mutex mutex_;
    std::condition_variable replyReady_;

    std::string identification_;
    std::string firmwareVersion_ = kDefaultFirmwareVersion;
    std::uint32_t programAddress_ = kDefaultProgramAddress;
    ContactMode mode_ = ContactMode::Normal;
    std::chrono::milliseconds initDuration_{0};
    WriterFaults faults_;
    std::vector<std::pair<std::string, std::string>> files_;
    bool plugged_ = true;
    std::string location_;

    std::deque<PendingReply> pending_;
    std::vector<Bytes> requestLog_;
    std::vector<Bytes> replyLog_;

    // The stream in progress. Texts are copies taken when the stream started.
    Stream stream_ = Stream::Idle;
    std::string streamText_;               // configuration being read or written
    std::vector<std::string> streamNames_; // names being listed
    std::size_t streamItem_ = 0;           // name index, or data packet / line count
    std::size_t streamOffset_ = 0;         // bytes of the text or name already sent
};
