#include "EmulatedWriter.h"

#include <algorithm>
#include <cstring>

namespace {

using Bytes = EmulatedWriter::Bytes;
using Clock = EmulatedWriter::Clock;

constexpr std::size_t kPacketSize = kesto::REPLY_SIZE;
constexpr std::uint8_t kFillerByte = 0xEE;

// `from + d` without overflowing: the far end of time stands for "never".
Clock::time_point later(Clock::time_point from, std::chrono::milliseconds d)
{
    const auto room = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - from);
    if (d >= room)
        return Clock::time_point::max();
    return from + d;
}

std::chrono::milliseconds sumDelays(std::chrono::milliseconds a, std::chrono::milliseconds b)
{
    const auto max = std::chrono::milliseconds::max();
    return a > max - b ? max : a + b;
}

Bytes statusReply(std::uint8_t echo, std::uint8_t status, std::uint32_t value)
{
    Bytes reply(kesto::kStatusReplySize);
    reply[kesto::kReplyCommandOffset] = echo;
    reply[kesto::kReplyStatusOffset] = status;
    kesto::writeLe32(reply.data() + kesto::kReplyValueOffset, value);
    return reply;
}

Bytes packetOf(const std::string& text, std::size_t offset)
{
    const std::size_t n = std::min(kPacketSize, text.size() - offset);
    return Bytes(text.begin() + std::ptrdiff_t(offset), text.begin() + std::ptrdiff_t(offset + n));
}

template <typename Map, typename Key>
const StatusFault* faultFor(const Map& map, const Key& key)
{
    const auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

} // namespace

EmulatedWriter::EmulatedWriter()
    : EmulatedWriter(kDefaultIdentification)
{
}

EmulatedWriter::EmulatedWriter(std::string identification)
    : identification_(std::move(identification))
{
}

// ---------------------------------------------------------------- set-up

void EmulatedWriter::setIdentification(std::string text)
{
    std::lock_guard lock(mutex_);
    identification_ = std::move(text);
}

std::string EmulatedWriter::identification() const
{
    std::lock_guard lock(mutex_);
    return identification_;
}

void EmulatedWriter::setFirmwareVersion(std::string text)
{
    std::lock_guard lock(mutex_);
    firmwareVersion_ = std::move(text);
}

std::string EmulatedWriter::firmwareVersion() const
{
    std::lock_guard lock(mutex_);
    return firmwareVersion_;
}

void EmulatedWriter::setProgramAddress(std::uint32_t address)
{
    std::lock_guard lock(mutex_);
    programAddress_ = address;
}

std::uint32_t EmulatedWriter::programAddress() const
{
    std::lock_guard lock(mutex_);
    return programAddress_;
}

void EmulatedWriter::setContactMode(ContactMode mode)
{
    std::lock_guard lock(mutex_);
    mode_ = mode;
}

ContactMode EmulatedWriter::contactMode() const
{
    std::lock_guard lock(mutex_);
    return mode_;
}

void EmulatedWriter::setInitDuration(std::chrono::milliseconds duration)
{
    std::lock_guard lock(mutex_);
    initDuration_ = std::max(duration, std::chrono::milliseconds(0));
}

std::chrono::milliseconds EmulatedWriter::initDuration() const
{
    std::lock_guard lock(mutex_);
    return initDuration_;
}

void EmulatedWriter::setFaults(WriterFaults faults)
{
    std::lock_guard lock(mutex_);
    faults_ = std::move(faults);
}

WriterFaults EmulatedWriter::faults() const
{
    std::lock_guard lock(mutex_);
    return faults_;
}

void EmulatedWriter::setLocation(std::string location)
{
    std::lock_guard lock(mutex_);
    location_ = std::move(location);
}

std::string EmulatedWriter::location() const
{
    std::lock_guard lock(mutex_);
    return location_;
}

// ---------------------------------------------------------------- file system

std::vector<std::pair<std::string, std::string>>::iterator EmulatedWriter::findFile(const std::string& name)
{
    return std::find_if(files_.begin(), files_.end(), [&](const auto& f) { return f.first == name; });
}

void EmulatedWriter::setFile(const std::string& name, std::string content)
{
    std::lock_guard lock(mutex_);
    const auto it = findFile(name);
    if (it != files_.end())
        it->second = std::move(content);
    else
        files_.emplace_back(name, std::move(content));
}

bool EmulatedWriter::removeFile(const std::string& name)
{
    std::lock_guard lock(mutex_);
    const auto it = findFile(name);
    if (it == files_.end())
        return false;
    files_.erase(it);
    return true;
}

std::optional<std::string> EmulatedWriter::file(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(files_.begin(), files_.end(), [&](const auto& f) { return f.first == name; });
    if (it == files_.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::string> EmulatedWriter::fileNames() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    names.reserve(files_.size());
    for (const auto& f : files_)
        names.push_back(f.first);
    return names;
}

void EmulatedWriter::clearFiles()
{
    std::lock_guard lock(mutex_);
    files_.clear();
}

// ---------------------------------------------------------------- wire log

std::vector<Bytes> EmulatedWriter::requests() const
{
    std::lock_guard lock(mutex_);
    return requestLog_;
}

std::vector<Bytes> EmulatedWriter::replies() const
{
    std::lock_guard lock(mutex_);
    return replyLog_;
}

void EmulatedWriter::keepLatest(std::vector<Bytes>& log)
{
    // Dropped in halves, so that a push costs the same on average.
    if (log.size() >= 2 * kWireLogKept)
        log.erase(log.begin(), log.begin() + std::ptrdiff_t(log.size() - kWireLogKept));
}

void EmulatedWriter::clearWireLog()
{
    std::lock_guard lock(mutex_);
    requestLog_.clear();
    replyLog_.clear();
}

// ---------------------------------------------------------------- bus

void EmulatedWriter::goUnplugged()
{
    plugged_ = false;
    resetSession();
    replyReady_.notify_all();
}

void EmulatedWriter::unplug()
{
    std::lock_guard lock(mutex_);
    goUnplugged();
}

void EmulatedWriter::plugIn()
{
    std::lock_guard lock(mutex_);
    plugged_ = true;
    resetSession();
}

bool EmulatedWriter::plugged() const
{
    std::lock_guard lock(mutex_);
    return plugged_;
}

void EmulatedWriter::releaseHeldReplies()
{
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    for (auto& reply : pending_)
        reply.readyAt = std::min(reply.readyAt, now);
    replyReady_.notify_all();
}

void EmulatedWriter::resetSession()
{
    pending_.clear();
    endStream();
}

void EmulatedWriter::endStream()
{
    stream_ = Stream::Idle;
    streamText_.clear();
    streamNames_.clear();
    streamItem_ = 0;
    streamOffset_ = 0;
}

// ---------------------------------------------------------------- host side

bool EmulatedWriter::hostOpen()
{
    std::lock_guard lock(mutex_);
    if (!plugged_ || faults_.refuseOpen)
        return false;
    resetSession();
    return true;
}

int EmulatedWriter::hostWrite(const std::uint8_t* data, int length)
{
    if (!data || length <= 0)
        return 0;
    std::lock_guard lock(mutex_);
    if (!plugged_ || faults_.rejectWrites)
        return 0;
    Bytes request(data, data + length);
    keepLatest(requestLog_);
    requestLog_.push_back(request);
    handleRequest(request);
    return length;
}

int EmulatedWriter::hostRead(std::uint8_t* buffer, int capacity, std::chrono::milliseconds timeout)
{
    if (!buffer || capacity <= 0)
        return 0;
    std::unique_lock lock(mutex_);
    const auto deadline = later(Clock::now(), std::max(timeout, std::chrono::milliseconds(0)));
    for (;;) {
        if (!plugged_)
            return 0;
        const auto now = Clock::now();
        if (!pending_.empty() && pending_.front().readyAt <= now) {
            Bytes reply = std::move(pending_.front().bytes);
            pending_.pop_front();
            if (faults_.unplugAfterReplies && --*faults_.unplugAfterReplies <= 0) {
                faults_.unplugAfterReplies.reset();
                goUnplugged();
            }
            if (faults_.silentAfterReplies && --*faults_.silentAfterReplies <= 0) {
                faults_.silentAfterReplies.reset();
                faults_.noAnswer = true;
            }
            // A packet larger than the buffer is a babble error on USB: the
            // transfer fails and the packet is gone.
            if (reply.size() > std::size_t(capacity))
                return 0;
            if (!reply.empty())
                std::memcpy(buffer, reply.data(), reply.size());
            return int(reply.size());
        }
        if (now >= deadline)
            return 0;
        const auto wakeAt = pending_.empty() ? deadline : std::min(deadline, pending_.front().readyAt);
        replyReady_.wait_until(lock, wakeAt);
    }
}

// ---------------------------------------------------------------- protocol

void EmulatedWriter::send(Bytes reply, std::chrono::milliseconds extraDelay)
{
    if (faults_.oversizedReply && reply.size() < *faults_.oversizedReply)
        reply.resize(*faults_.oversizedReply, kFillerByte);
    if (faults_.shortReply && reply.size() > *faults_.shortReply)
        reply.resize(*faults_.shortReply);
    if (faults_.noAnswer)
        return;
    keepLatest(replyLog_);
    replyLog_.push_back(reply);
    const auto readyAt = later(Clock::now(), sumDelays(faults_.replyDelay, extraDelay));
    pending_.push_back({std::move(reply), readyAt});
    replyReady_.notify_all();
}

bool EmulatedWriter::sendStatus(std::uint8_t echo, std::uint8_t status, std::uint32_t value, const StatusFault* fault)
{
    if (!fault) {
        send(statusReply(echo, status, value));
        return true;
    }
    send(statusReply(echo, fault->status, fault->value));
    if (fault->status == status)
        return true;
    endStream();
    return false;
}

void EmulatedWriter::sendError(std::uint8_t echo)
{
    // Whatever the writer was streaming is abandoned.
    endStream();
    send(statusReply(echo, RS_ERROR, 0));
}

void EmulatedWriter::handleRequest(const Bytes& request)
{
    const std::uint8_t command = request[0];
    if (mode_ != ContactMode::Normal) {
        // The download-mode firmware knows who it is, and nothing else.
        if (command == CMD_DEVICE_INFO)
            send(deviceInfoReply());
        else if (command == CMD_FIRMWARE_VERSION)
            send(firmwareVersionReply());
        else
            sendError(command);
        return;
    }

    const bool oneByteNext = request.size() == 1 && command == CMD_NEXT;
    switch (stream_) {
    case Stream::Idle:
        handleIdle(request);
        return;
    case Stream::ConfigRead:
        if (oneByteNext)
            handleConfigReadNext();
        else
            sendError(command);
        return;
    case Stream::NameList:
        if (oneByteNext)
            handleNameListNext();
        else
            sendError(command);
        return;
    case Stream::ConfigWrite:
        if (command == CMD_NEXT && request.size() > 1)
            handleConfigLine(request);
        else if (command == CMD_END && request.size() == 1)
            handleConfigEnd();
        else
            sendError(command);
        return;
    }
}

void EmulatedWriter::handleIdle(const Bytes& request)
{
    // Top-level requests are judged by their first byte alone.
    switch (request[0]) {
    case CMD_DEVICE_INFO:
        send(deviceInfoReply());
        return;
    case CMD_FIRMWARE_VERSION:
        send(firmwareVersionReply());
        return;
    case CMD_FS_INITIAL:
        startInitialization();
        return;
    case CMD_CONFIG_READ:
        startConfigRead();
        return;
    case CMD_FILE_NAME_LIST:
        startNameList();
        return;
    case CMD_CONFIG_WRITE:
        startConfigWrite();
        return;
    default:
        // CMD_NEXT and CMD_END outside a stream, and unknown commands.
        sendError(request[0]);
        return;
    }
}

Bytes EmulatedWriter::deviceInfoReply() const
{
    if (faults_.deviceInfoError)
        return statusReply(1, RS_ERROR, 0);
    Bytes reply(identification_.begin(), identification_.begin()
            + std::ptrdiff_t(std::min(identification_.size(), kPacketSize)));
    if (reply.size() < kPacketSize)
        reply.push_back(0);
    return reply;
}

Bytes EmulatedWriter::firmwareVersionReply() const
{
    if (faults_.firmwareVersionError)
        return statusReply(CMD_FIRMWARE_VERSION, RS_ERROR, *faults_.firmwareVersionError);
    const std::string text = mode_ == ContactMode::JtagDown ? kJtagDownVersion
        : mode_ == ContactMode::IspDown                     ? kIspDownVersion
                                                            : firmwareVersion_;
    Bytes reply(kesto::kVersionTextOffset);
    kesto::writeLe32(reply.data() + kesto::kVersionAddressOffset, programAddress_);
    reply.insert(reply.end(), text.begin(), text.end());
    reply.push_back(0);
    if (reply.size() > kPacketSize)
        reply.resize(kPacketSize);
    return reply;
}

void EmulatedWriter::startInitialization()
{
    const StatusFault* fault = faultFor(faults_.commandStatus, std::uint8_t(CMD_FS_INITIAL));
    const bool formats = !fault || fault->status == RS_OK;
    if (formats)
        files_.clear();
    // The status reply exists only once the format has ended.
    const Bytes reply = fault ? statusReply(CMD_FS_INITIAL, fault->status, fault->value)
                              : statusReply(CMD_FS_INITIAL, RS_OK, 0);
    send(reply, initDuration_);
}

void EmulatedWriter::startConfigRead()
{
    const auto it = findFile(kConfigFileName);
    if (it == files_.end()) {
        sendStatus(CMD_CONFIG_READ, RS_FAILED, 0, faultFor(faults_.commandStatus, std::uint8_t(CMD_CONFIG_READ)));
        return;
    }
    const std::string text = it->second;
    const std::uint32_t announced = faults_.announcedConfigLength.value_or(std::uint32_t(text.size()));
    if (!sendStatus(CMD_CONFIG_READ, RS_OK, announced, faultFor(faults_.commandStatus, std::uint8_t(CMD_CONFIG_READ))))
        return;
    stream_ = Stream::ConfigRead;
    streamText_ = text;
    streamItem_ = 0;
    streamOffset_ = 0;
}

void EmulatedWriter::handleConfigReadNext()
{
    const std::size_t packet = streamItem_++;
    if (faults_.configErrorPacket && std::size_t(*faults_.configErrorPacket) == packet) {
        endStream();
        send(statusReply(CMD_CONFIG_READ, RS_FAILED, 0));
        return;
    }
    if (streamOffset_ < streamText_.size()) {
        Bytes data = packetOf(streamText_, streamOffset_);
        streamOffset_ += data.size();
        if (streamOffset_ == streamText_.size() && !faults_.endlessConfigFiller)
            endStream();
        send(std::move(data));
        return;
    }
    if (faults_.endlessConfigFiller) {
        send(Bytes(kPacketSize, 'F'));
        return;
    }
    // Only an empty text gets here: there was nothing to hand out.
    sendError(CMD_NEXT);
}

void EmulatedWriter::startNameList()
{
    const StatusFault* fault = faultFor(faults_.commandStatus, std::uint8_t(CMD_FILE_NAME_LIST));
    if (files_.empty()) {
        sendStatus(CMD_FILE_NAME_LIST, RS_END, 0, fault);
        return;
    }
    if (!sendStatus(CMD_FILE_NAME_LIST, RS_MORE, std::uint32_t(files_.front().first.size()), fault))
        return;
    stream_ = Stream::NameList;
    streamNames_.clear();
    for (const auto& f : files_)
        streamNames_.push_back(f.first);
    streamItem_ = 0;
    streamOffset_ = 0;
}

void EmulatedWriter::handleNameListNext()
{
    const std::string& name = streamNames_[streamItem_];
    if (streamOffset_ < name.size()) {
        Bytes data = packetOf(name, streamOffset_);
        streamOffset_ += data.size();
        send(std::move(data));
        return;
    }
    const StatusFault* fault = faultFor(faults_.nameListStatus, int(streamItem_));
    ++streamItem_;
    streamOffset_ = 0;
    if (streamItem_ < streamNames_.size()) {
        sendStatus(CMD_NEXT, RS_MORE, std::uint32_t(streamNames_[streamItem_].size()), fault);
        return;
    }
    endStream();
    sendStatus(CMD_NEXT, RS_END, 0, fault);
}

void EmulatedWriter::startConfigWrite()
{
    if (!sendStatus(CMD_CONFIG_WRITE, RS_OK, 0, faultFor(faults_.commandStatus, std::uint8_t(CMD_CONFIG_WRITE))))
        return;
    stream_ = Stream::ConfigWrite;
    streamText_.clear();
    streamItem_ = 0;
}

void EmulatedWriter::handleConfigLine(const Bytes& request)
{
    const std::size_t total = request.size();
    // The line's length comes from the transfer; the length byte only has to
    // agree with it modulo 256, so long lines still arrive whole.
    const bool wellFormed = total >= kesto::kLinePacketOverhead
        && request[1] == std::uint8_t((total - kesto::kLinePacketOverhead + 2) % 256)
        && request[total - 2] == 0x0D && request[total - 1] == 0x0A;
    if (!wellFormed) {
        sendError(CMD_NEXT);
        return;
    }
    const int line = int(streamItem_++);
    if (!sendStatus(CMD_NEXT, RS_OK, 0, faultFor(faults_.configLineStatus, line)))
        return;
    streamText_.append(request.begin() + 2, request.end());
}

void EmulatedWriter::handleConfigEnd()
{
    std::string text = std::move(streamText_);
    endStream();
    if (!sendStatus(CMD_END, RS_OK, 0, faultFor(faults_.commandStatus, std::uint8_t(CMD_END))))
        return;
    if (faults_.corruptStoredByte && *faults_.corruptStoredByte < text.size())
        text[*faults_.corruptStoredByte] = char(~std::uint8_t(text[*faults_.corruptStoredByte]));
    if (faults_.dropLastStoredLine && !text.empty()) {
        // The text ends in CR LF; the last line starts after the one before.
        const std::size_t previous = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string::npos;
        text.erase(previous == std::string::npos ? 0 : previous + 1);
    }
    const auto it = findFile(kConfigFileName);
    if (it != files_.end())
        it->second = text;
    else
        files_.emplace_back(kConfigFileName, text);
}
