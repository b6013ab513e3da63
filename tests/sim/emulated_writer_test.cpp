// The emulated writer's side of the protocol, driven with raw requests.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "EmulatedWriter.h"

using namespace std::chrono_literals;
using Bytes = EmulatedWriter::Bytes;
using SteadyClock = std::chrono::steady_clock;

namespace {

Bytes bytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

Bytes status(std::uint8_t echo, std::uint8_t st, std::uint32_t value = 0)
{
    return {echo, st, std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
        std::uint8_t(value >> 24)};
}

// A line packet as the host builds it: 0x0C, (length + 2) mod 256, line, CR LF.
Bytes linePacket(std::string_view line)
{
    Bytes packet{CMD_NEXT, std::uint8_t((line.size() + 2) % 256)};
    packet.insert(packet.end(), line.begin(), line.end());
    packet.push_back(0x0D);
    packet.push_back(0x0A);
    return packet;
}

Bytes one(std::uint8_t command)
{
    return {command};
}

long long msSince(SteadyClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

// The host end of one emulated writer, without any transport in between.
struct Host {
    EmulatedWriter& writer;

    void write(const Bytes& request)
    {
        ASSERT_EQ(writer.hostWrite(request.data(), int(request.size())), int(request.size()));
    }

    Bytes read(std::chrono::milliseconds timeout = 200ms, int capacity = kesto::REPLY_SIZE)
    {
        std::vector<std::uint8_t> buffer(std::size_t(capacity) + 16, 0xCD);
        const int n = writer.hostRead(buffer.data(), capacity, timeout);
        return Bytes(buffer.begin(), buffer.begin() + n);
    }

    Bytes exchange(const Bytes& request)
    {
        write(request);
        return read();
    }
};

// A config text of `n` bytes that shows where each byte came from.
std::string numberedText(std::size_t n)
{
    std::string text;
    for (std::size_t i = 0; i < n; ++i)
        text.push_back(char('a' + i % 26));
    return text;
}

} // namespace

TEST(EmulatedWriter, ConfigWrittenLineByLineIsStoredWithCrLfAndReadBackIn64BytePackets)
{
    EmulatedWriter writer;
    writer.setFile("a.bin", "AAAA");
    writer.setFile("config.ini", "old text\r\n");
    writer.setFile("b.bin", "BBBB");
    Host host{writer};

    // Lines of 254 and 257 bytes carry a wrapped length byte (0 and 3) and
    // must still arrive whole.
    const std::vector<std::string> lines = {"[Target]", "", std::string(254, 'x'), std::string(257, 'y'), "End"};
    std::string expected;
    for (const auto& line : lines)
        expected += line + "\r\n";

    EXPECT_EQ(host.exchange(one(CMD_CONFIG_WRITE)), status(CMD_CONFIG_WRITE, RS_OK));
    for (const auto& line : lines)
        EXPECT_EQ(host.exchange(linePacket(line)), status(CMD_NEXT, RS_OK)) << line.size();
    EXPECT_EQ(host.exchange(one(CMD_END)), status(CMD_END, RS_OK));

    EXPECT_EQ(writer.file("config.ini"), expected);
    // Rewritten in place: the name list order does not change.
    EXPECT_EQ(writer.fileNames(), (std::vector<std::string>{"a.bin", "config.ini", "b.bin"}));

    ASSERT_EQ(expected.size(), 532u);
    EXPECT_EQ(host.exchange(one(CMD_CONFIG_READ)), status(CMD_CONFIG_READ, RS_OK, 532));
    std::string readBack;
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 9; ++i) {
        const Bytes packet = host.exchange(one(CMD_NEXT));
        sizes.push_back(packet.size());
        readBack.append(packet.begin(), packet.end());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{64, 64, 64, 64, 64, 64, 64, 64, 20}));
    EXPECT_EQ(readBack, expected);
    // The stream is over.
    EXPECT_EQ(host.exchange(one(CMD_NEXT)), status(CMD_NEXT, RS_ERROR));
}

TEST(EmulatedWriter, ConfigWriteWithoutConfigFileAppendsIt)
{
    EmulatedWriter writer;
    writer.setFile("a.bin", "AAAA");
    Host host{writer};

    host.exchange(one(CMD_CONFIG_WRITE));
    host.exchange(linePacket("k=v"));
    EXPECT_EQ(host.exchange(one(CMD_END)), status(CMD_END, RS_OK));

    EXPECT_EQ(writer.fileNames(), (std::vector<std::string>{"a.bin", "config.ini"}));
    EXPECT_EQ(writer.file("config.ini"), "k=v\r\n");
}

TEST(EmulatedWriter, MalformedLinePacketIsRefusedAndAbandonsTheWrite)
{
    struct Case {
        const char* what;
        Bytes packet;
    };
    const std::vector<Case> cases = {
        {"length byte one too many", {CMD_NEXT, 6, 'a', 'b', 'c', 0x0D, 0x0A}},
        {"length byte does not match", {CMD_NEXT, 0xFF, 'a', 0x0D, 0x0A}},
        {"ends in CR CR", {CMD_NEXT, 5, 'a', 'b', 'c', 0x0D, 0x0D}},
        {"no terminator", {CMD_NEXT, 5, 'a', 'b', 'c', 'd', 'e'}},
        {"shorter than its frame", {CMD_NEXT, 2, 0x0D}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedWriter writer;
        writer.setFile("config.ini", "old\r\n");
        Host host{writer};

        host.exchange(one(CMD_CONFIG_WRITE));
        EXPECT_EQ(host.exchange(linePacket("good")), status(CMD_NEXT, RS_OK));
        EXPECT_EQ(host.exchange(c.packet), status(CMD_NEXT, RS_ERROR));
        // The write is over: its end is out of place and nothing is stored.
        EXPECT_EQ(host.exchange(one(CMD_END)), status(CMD_END, RS_ERROR));
        EXPECT_EQ(writer.file("config.ini"), "old\r\n");
    }
}

TEST(EmulatedWriter, RequestOutOfPlaceAnswersErrorAndReturnsToIdle)
{
    struct Case {
        const char* what;
        std::vector<Bytes> before;
        Bytes request;
    };
    const std::vector<Case> cases = {
        {"end outside a write", {}, one(CMD_END)},
        {"next outside a stream", {}, one(CMD_NEXT)},
        {"unknown command", {}, one(0x42)},
        {"device info inside a config read", {one(CMD_CONFIG_READ)}, one(CMD_DEVICE_INFO)},
        {"config write inside a name list", {one(CMD_FILE_NAME_LIST)}, one(CMD_CONFIG_WRITE)},
        {"two-byte next inside a config read", {one(CMD_CONFIG_READ)}, {CMD_NEXT, 0}},
        {"two-byte end inside a write", {one(CMD_CONFIG_WRITE)}, {CMD_END, 0}},
        {"version request inside a write", {one(CMD_CONFIG_WRITE), linePacket("a")}, one(CMD_FIRMWARE_VERSION)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedWriter writer;
        writer.setFile("a.bin", "AAAA");
        writer.setFile("config.ini", "old\r\n");
        Host host{writer};
        for (const auto& request : c.before)
            host.exchange(request);

        EXPECT_EQ(host.exchange(c.request), status(c.request[0], RS_ERROR));
        // Idle again: no stream to continue, and a new request starts afresh.
        EXPECT_EQ(host.exchange(one(CMD_NEXT)), status(CMD_NEXT, RS_ERROR));
        EXPECT_EQ(host.exchange(one(CMD_FILE_NAME_LIST)), status(CMD_FILE_NAME_LIST, RS_MORE, 5));
        EXPECT_EQ(writer.file("config.ini"), "old\r\n");
    }
}

TEST(EmulatedWriter, NameListSendsEachNameInPacketsThenTheNextStatus)
{
    EmulatedWriter writer;
    const std::string longName = numberedText(300);
    writer.setFile("a.bin", "1");
    writer.setFile("", "2"); // an empty name has no data packets
    writer.setFile(longName, "3");
    Host host{writer};

    const std::vector<Bytes> expected = {
        status(CMD_FILE_NAME_LIST, RS_MORE, 5),
        bytes("a.bin"),
        status(CMD_NEXT, RS_MORE, 0),
        status(CMD_NEXT, RS_MORE, 300),
        bytes(longName.substr(0, 64)),
        bytes(longName.substr(64, 64)),
        bytes(longName.substr(128, 64)),
        bytes(longName.substr(192, 64)),
        bytes(longName.substr(256)),
        status(CMD_NEXT, RS_END),
        status(CMD_NEXT, RS_ERROR), // past the end of the list
    };
    std::vector<Bytes> got{host.exchange(one(CMD_FILE_NAME_LIST))};
    while (got.size() < expected.size())
        got.push_back(host.exchange(one(CMD_NEXT)));
    EXPECT_EQ(got, expected);

    writer.clearFiles();
    EXPECT_EQ(host.exchange(one(CMD_FILE_NAME_LIST)), status(CMD_FILE_NAME_LIST, RS_END));
}

TEST(EmulatedWriter, IdentificationAndVersionReplies)
{
    const std::string sixtyFour = numberedText(64);
    const std::string seventy = numberedText(70);
    auto versionReply = [](std::uint32_t address, std::string_view text) {
        Bytes reply = {std::uint8_t(address), std::uint8_t(address >> 8), std::uint8_t(address >> 16),
            std::uint8_t(address >> 24)};
        reply.insert(reply.end(), text.begin(), text.end());
        reply.push_back(0);
        return reply;
    };
    auto firstPacketOf = [](Bytes reply) {
        reply.resize(64);
        return reply;
    };
    auto withZero = [](std::string_view text) {
        Bytes reply = bytes(text);
        reply.push_back(0);
        return reply;
    };

    struct Case {
        const char* what;
        std::function<void(EmulatedWriter&)> setUp;
        std::uint8_t request;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        {"identification with its zero", [](EmulatedWriter&) {}, CMD_DEVICE_INFO,
            withZero("VREN Kesto Writer SN-0001")},
        {"64-byte identification has no zero", [&](EmulatedWriter& w) { w.setIdentification(sixtyFour); },
            CMD_DEVICE_INFO, bytes(sixtyFour)},
        {"longer identification is cut to a packet", [&](EmulatedWriter& w) { w.setIdentification(seventy); },
            CMD_DEVICE_INFO, bytes(sixtyFour)},
        {"version: address, text, zero", [](EmulatedWriter&) {}, CMD_FIRMWARE_VERSION,
            versionReply(0x08004000, "VREN Kesto V2.10 2026-11-02")},
        {"version with another address",
            [](EmulatedWriter& w) {
                w.setProgramAddress(0x12345678);
                w.setFirmwareVersion("V9");
            },
            CMD_FIRMWARE_VERSION, versionReply(0x12345678, "V9")},
        {"long version is cut to a packet", [&](EmulatedWriter& w) { w.setFirmwareVersion(seventy); },
            CMD_FIRMWARE_VERSION, firstPacketOf(versionReply(0x08004000, seventy))},
        {"JTAG download mode", [](EmulatedWriter& w) { w.setContactMode(ContactMode::JtagDown); },
            CMD_FIRMWARE_VERSION, versionReply(0x08004000, "VREN Kesto JTAG Down V1.0")},
        {"ISP download mode keeps its leading blank",
            [](EmulatedWriter& w) { w.setContactMode(ContactMode::IspDown); }, CMD_FIRMWARE_VERSION,
            versionReply(0x08004000, " VREN Kesto ISP Down V1.0")},
        {"download mode still identifies itself",
            [](EmulatedWriter& w) { w.setContactMode(ContactMode::IspDown); }, CMD_DEVICE_INFO,
            withZero("VREN Kesto Writer SN-0001")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedWriter writer;
        c.setUp(writer);
        Host host{writer};
        EXPECT_EQ(host.exchange(one(c.request)), c.expected);
    }
}

TEST(EmulatedWriter, DownloadModesRefuseEverythingElse)
{
    for (ContactMode mode : {ContactMode::JtagDown, ContactMode::IspDown}) {
        EmulatedWriter writer;
        writer.setFile("config.ini", "k=v\r\n");
        writer.setContactMode(mode);
        Host host{writer};
        for (std::uint8_t command : {CMD_FS_INITIAL, CMD_CONFIG_READ, CMD_FILE_NAME_LIST, CMD_CONFIG_WRITE,
                 CMD_NEXT, CMD_END})
            EXPECT_EQ(host.exchange(one(command)), status(command, RS_ERROR)) << int(command);
        // Not formatted, not written.
        EXPECT_EQ(writer.file("config.ini"), "k=v\r\n");
    }
}

TEST(EmulatedWriter, InjectedFaultsShapeTheReplies)
{
    const std::string config = numberedText(100);
    const Bytes firstPacket = bytes(config.substr(0, 64));
    const Bytes restPacket = bytes(config.substr(64));
    const Bytes filler(64, 'F');

    struct Case {
        const char* what;
        std::function<void(WriterFaults&)> set;
        std::vector<Bytes> requests;
        std::vector<Bytes> expected;
        std::string configAfter = numberedText(100);
        std::size_t filesAfter = 2;
    };
    const std::vector<Case> cases = {
        {"config read refused, no stream follows",
            [](WriterFaults& f) { f.commandStatus[CMD_CONFIG_READ] = {RS_ERROR, 0}; },
            {one(CMD_CONFIG_READ), one(CMD_NEXT)},
            {status(CMD_CONFIG_READ, RS_ERROR), status(CMD_NEXT, RS_ERROR)}},
        {"name list with an unknown status",
            [](WriterFaults& f) { f.commandStatus[CMD_FILE_NAME_LIST] = {7, 0x99}; },
            {one(CMD_FILE_NAME_LIST), one(CMD_NEXT)},
            {status(CMD_FILE_NAME_LIST, 7, 0x99), status(CMD_NEXT, RS_ERROR)}},
        {"name list fails after the first name",
            [](WriterFaults& f) { f.nameListStatus[0] = {RS_FAILED, 0}; },
            {one(CMD_FILE_NAME_LIST), one(CMD_NEXT), one(CMD_NEXT), one(CMD_NEXT)},
            {status(CMD_FILE_NAME_LIST, RS_MORE, 5), bytes("a.bin"), status(CMD_NEXT, RS_FAILED),
                status(CMD_NEXT, RS_ERROR)}},
        {"second line refused: nothing stored",
            [](WriterFaults& f) { f.configLineStatus[1] = {RS_FAILED, 0}; },
            {one(CMD_CONFIG_WRITE), linePacket("A"), linePacket("B"), one(CMD_END)},
            {status(CMD_CONFIG_WRITE, RS_OK), status(CMD_NEXT, RS_OK), status(CMD_NEXT, RS_FAILED),
                status(CMD_END, RS_ERROR)}},
        {"end refused: nothing stored", [](WriterFaults& f) { f.commandStatus[CMD_END] = {RS_ERROR, 0}; },
            {one(CMD_CONFIG_WRITE), linePacket("A"), one(CMD_END)},
            {status(CMD_CONFIG_WRITE, RS_OK), status(CMD_NEXT, RS_OK), status(CMD_END, RS_ERROR)}},
        {"write refused at once", [](WriterFaults& f) { f.commandStatus[CMD_CONFIG_WRITE] = {RS_FAILED, 3}; },
            {one(CMD_CONFIG_WRITE), linePacket("A")},
            {status(CMD_CONFIG_WRITE, RS_FAILED, 3), status(CMD_NEXT, RS_ERROR)}},
        {"absurd announced length, real text follows",
            [](WriterFaults& f) { f.announcedConfigLength = 0xFFFFFFF0; },
            {one(CMD_CONFIG_READ), one(CMD_NEXT), one(CMD_NEXT), one(CMD_NEXT)},
            {status(CMD_CONFIG_READ, RS_OK, 0xFFFFFFF0), firstPacket, restPacket, status(CMD_NEXT, RS_ERROR)}},
        {"announced length 0", [](WriterFaults& f) { f.announcedConfigLength = 0; }, {one(CMD_CONFIG_READ)},
            {status(CMD_CONFIG_READ, RS_OK, 0)}},
        {"shorter announced length, whole packets still sent",
            [](WriterFaults& f) { f.announcedConfigLength = 10; }, {one(CMD_CONFIG_READ), one(CMD_NEXT)},
            {status(CMD_CONFIG_READ, RS_OK, 10), firstPacket}},
        {"endless filler after the text",
            [](WriterFaults& f) {
                f.announcedConfigLength = 0xFFFFFFF0;
                f.endlessConfigFiller = true;
            },
            {one(CMD_CONFIG_READ), one(CMD_NEXT), one(CMD_NEXT), one(CMD_NEXT), one(CMD_NEXT)},
            {status(CMD_CONFIG_READ, RS_OK, 0xFFFFFFF0), firstPacket, restPacket, filler, filler}},
        {"error packet in place of the second data packet", [](WriterFaults& f) { f.configErrorPacket = 1; },
            {one(CMD_CONFIG_READ), one(CMD_NEXT), one(CMD_NEXT), one(CMD_NEXT)},
            {status(CMD_CONFIG_READ, RS_OK, 100), firstPacket, status(CMD_CONFIG_READ, RS_FAILED),
                status(CMD_NEXT, RS_ERROR)}},
        {"firmware version error with detail", [](WriterFaults& f) { f.firmwareVersionError = 0x1234; },
            {one(CMD_FIRMWARE_VERSION)}, {status(CMD_FIRMWARE_VERSION, RS_ERROR, 0x1234)}},
        {"device info error", [](WriterFaults& f) { f.deviceInfoError = true; }, {one(CMD_DEVICE_INFO)},
            {{1, 1, 0, 0, 0, 0}}},
        {"every reply cut short", [](WriterFaults& f) { f.shortReply = 3; },
            {one(CMD_FIRMWARE_VERSION), one(CMD_CONFIG_READ), one(CMD_NEXT)},
            {{0x00, 0x40, 0x00}, {CMD_CONFIG_READ, RS_OK, 100},
                Bytes(firstPacket.begin(), firstPacket.begin() + 3)}},
        {"format fails and keeps the files", [](WriterFaults& f) { f.commandStatus[CMD_FS_INITIAL] = {RS_FAILED, 0}; },
            {one(CMD_FS_INITIAL)}, {status(CMD_FS_INITIAL, RS_FAILED)}},
        {"format reports an odd success status and formats",
            [](WriterFaults& f) { f.commandStatus[CMD_FS_INITIAL] = {RS_OK, 5}; }, {one(CMD_FS_INITIAL)},
            {status(CMD_FS_INITIAL, RS_OK, 5)}, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedWriter writer;
        writer.setFile("a.bin", "AAAA");
        writer.setFile("config.ini", config);
        WriterFaults faults;
        c.set(faults);
        writer.setFaults(faults);
        Host host{writer};

        std::vector<Bytes> got;
        for (const auto& request : c.requests)
            got.push_back(host.exchange(request));
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(writer.replies(), c.expected); // the wire log agrees with what was read
        EXPECT_EQ(writer.file("config.ini").value_or(""), c.configAfter);
        EXPECT_EQ(writer.fileNames().size(), c.filesAfter);
    }
}

TEST(EmulatedWriter, ReplyLongerThanTheReadIsLost)
{
    EmulatedWriter writer;
    WriterFaults faults;
    faults.oversizedReply = 65;
    writer.setFaults(faults);
    Host host{writer};

    host.write(one(CMD_FIRMWARE_VERSION));
    EXPECT_EQ(host.read(200ms, 64), Bytes{});
    ASSERT_EQ(writer.replies().size(), 1u);
    EXPECT_EQ(writer.replies()[0].size(), 65u);
    EXPECT_EQ(writer.replies()[0].back(), 0xEE);

    // Gone, not waiting for a larger read.
    EXPECT_EQ(host.read(20ms, 128), Bytes{});

    // A reply that fits exactly is read whole; one byte of room short is lost.
    writer.setFaults({});
    writer.setIdentification(numberedText(64));
    host.write(one(CMD_DEVICE_INFO));
    EXPECT_EQ(host.read(200ms, 64).size(), 64u);
    host.write(one(CMD_END));
    EXPECT_EQ(host.read(200ms, 5), Bytes{});
    EXPECT_EQ(host.read(20ms, 64), Bytes{});
}

TEST(EmulatedWriter, SilentWriterTakesRequestsAndReadsTimeOut)
{
    EmulatedWriter writer;
    WriterFaults faults;
    faults.noAnswer = true;
    writer.setFaults(faults);
    Host host{writer};

    host.write(one(CMD_FIRMWARE_VERSION));
    const auto start = SteadyClock::now();
    EXPECT_EQ(host.read(80ms), Bytes{});
    const auto waited = msSince(start);
    EXPECT_GE(waited, 80);
    EXPECT_LT(waited, 1000);
    EXPECT_EQ(writer.requests(), std::vector<Bytes>{one(CMD_FIRMWARE_VERSION)});
    EXPECT_TRUE(writer.replies().empty());

    // Its silence was final: answering again does not bring the old reply back.
    writer.setFaults({});
    EXPECT_EQ(host.read(20ms), Bytes{});
}

TEST(EmulatedWriter, RejectedWriteTransfersNothing)
{
    EmulatedWriter writer;
    WriterFaults faults;
    faults.rejectWrites = true;
    writer.setFaults(faults);
    const std::uint8_t request = CMD_DEVICE_INFO;
    EXPECT_EQ(writer.hostWrite(&request, 1), 0);
    EXPECT_TRUE(writer.requests().empty());
    Host host{writer};
    EXPECT_EQ(host.read(20ms), Bytes{});
}

TEST(EmulatedWriter, SlowReplyMissedByOneReadIsThereForTheNext)
{
    EmulatedWriter writer;
    WriterFaults faults;
    faults.replyDelay = 150ms;
    writer.setFaults(faults);
    Host host{writer};

    const auto start = SteadyClock::now();
    host.write(one(CMD_END));
    EXPECT_EQ(host.read(30ms), Bytes{});
    EXPECT_LT(msSince(start), 150);
    EXPECT_EQ(host.read(2000ms), status(CMD_END, RS_ERROR));
    EXPECT_GE(msSince(start), 150);
}

TEST(EmulatedWriter, FormatAnswersOnlyAfterItsDuration)
{
    EmulatedWriter writer;
    writer.setFile("a.bin", "AAAA");
    writer.setFile("config.ini", "k=v\r\n");
    writer.setInitDuration(120ms);
    Host host{writer};

    const auto start = SteadyClock::now();
    host.write(one(CMD_FS_INITIAL));
    EXPECT_EQ(host.read(20ms), Bytes{});
    EXPECT_EQ(host.read(2000ms), status(CMD_FS_INITIAL, RS_OK));
    EXPECT_GE(msSince(start), 120);
    EXPECT_TRUE(writer.fileNames().empty());
    // A formatted writer has no configuration to read.
    EXPECT_EQ(host.exchange(one(CMD_CONFIG_READ)), status(CMD_CONFIG_READ, RS_FAILED));
}

TEST(EmulatedWriter, HeldFormatEndsWhenReleased)
{
    EmulatedWriter writer;
    writer.setInitDuration(EmulatedWriter::kNeverFinishes);
    Host host{writer};

    host.write(one(CMD_FS_INITIAL));
    EXPECT_EQ(host.read(30ms), Bytes{});
    writer.releaseHeldReplies();
    EXPECT_EQ(host.read(0ms), status(CMD_FS_INITIAL, RS_OK));
}

TEST(EmulatedWriter, UnpluggedWriterFailsAtOnceUntilPluggedInAgain)
{
    EmulatedWriter writer;
    Host host{writer};
    host.write(one(CMD_FIRMWARE_VERSION)); // a reply waiting to be read

    writer.unplug();
    EXPECT_FALSE(writer.plugged());
    const std::uint8_t request = CMD_DEVICE_INFO;
    EXPECT_EQ(writer.hostWrite(&request, 1), 0);
    const auto start = SteadyClock::now();
    EXPECT_EQ(host.read(5000ms), Bytes{});
    EXPECT_LT(msSince(start), 1000);
    EXPECT_FALSE(writer.hostOpen());

    writer.plugIn();
    EXPECT_TRUE(writer.hostOpen());
    EXPECT_EQ(host.read(20ms), Bytes{}); // the old reply did not survive
    EXPECT_EQ(host.exchange(one(CMD_END)), status(CMD_END, RS_ERROR));
}

TEST(EmulatedWriter, UnplugsItselfAfterTheGivenNumberOfReplies)
{
    EmulatedWriter writer;
    writer.setFile("config.ini", numberedText(200));
    WriterFaults faults;
    faults.unplugAfterReplies = 2;
    writer.setFaults(faults);
    Host host{writer};

    EXPECT_EQ(host.exchange(one(CMD_CONFIG_READ)), status(CMD_CONFIG_READ, RS_OK, 200));
    EXPECT_TRUE(writer.plugged());
    EXPECT_EQ(host.exchange(one(CMD_NEXT)).size(), 64u);
    EXPECT_FALSE(writer.plugged());
    const std::uint8_t next = CMD_NEXT;
    EXPECT_EQ(writer.hostWrite(&next, 1), 0);
    EXPECT_FALSE(writer.faults().unplugAfterReplies.has_value());
}

TEST(EmulatedWriter, OpeningStartsANewSession)
{
    EmulatedWriter writer;
    writer.setFile("config.ini", numberedText(200));
    Host host{writer};

    // An earlier operation gave up in the middle of a read, leaving a reply unread.
    host.exchange(one(CMD_CONFIG_READ));
    host.write(one(CMD_NEXT));

    ASSERT_TRUE(writer.hostOpen());
    EXPECT_EQ(host.read(20ms), Bytes{});
    EXPECT_EQ(host.exchange(one(CMD_NEXT)), status(CMD_NEXT, RS_ERROR));
    EXPECT_EQ(host.exchange(one(CMD_CONFIG_READ)), status(CMD_CONFIG_READ, RS_OK, 200));
}

TEST(EmulatedWriter, WireLogKeepsItsLatestEntriesOnly)
{
    EmulatedWriter writer;
    Host host{writer};
    const std::size_t kept = EmulatedWriter::kWireLogKept;
    for (std::size_t i = 0; i < 3 * kept; ++i)
        host.exchange(one(CMD_DEVICE_INFO));
    host.exchange(one(CMD_FIRMWARE_VERSION));

    const auto requests = writer.requests();
    const auto replies = writer.replies();
    EXPECT_GE(requests.size(), kept);
    EXPECT_LT(requests.size(), 2 * kept);
    EXPECT_EQ(requests.size(), replies.size());
    EXPECT_EQ(requests.back(), one(CMD_FIRMWARE_VERSION));
    EXPECT_EQ(requests[requests.size() - 2], one(CMD_DEVICE_INFO));
}
