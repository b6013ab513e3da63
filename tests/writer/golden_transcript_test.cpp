// Golden transcripts: every protocol sequence of the host, run through the
// real KestoProtocol against the writer emulator, compared byte for byte with
// the writer's documented wire format.
//
// The host and the emulator share the command and status enums, so a wrong
// code there would pass every other test. Here every expected byte is written
// out as hex, from the description; nothing is derived from the shared enums
// or wire helpers.
//
// Notation, one line per transfer, in wire order:
//   "> .."  a request, host to writer
//   "< .."  a reply, writer to host
//   "HH"    a byte the description fixes (or content the test chose: names,
//           texts, the identification)
//   "~HH"   a byte the description leaves to the writer: HH is what the
//           emulator sends, but the comparison accepts any value there.
//           Transfer lengths are always compared.
//
// The emulator's own choices, marked "~" below:
//   - offset 0 of a status reply echoes the command being answered (B3, B4,
//     B5, B6, or 0C / 0B inside a stream); the host reads it only in the
//     error packet of a configuration read, which no golden sequence holds;
//   - a success status where the description only names the error values
//     (initialization, configuration read) is 00;
//   - the value field is 0 where it carries no length;
//   - the identification text is sent with one terminating zero byte.
// Also the emulator's choice, and asserted through the lengths: data packets
// carry up to 64 bytes, so the short names and the text below travel in one
// packet each.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "emulated_rig.h"
#include "operations/ConfigOperations.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string hex(const Bytes& bytes)
{
    std::string out;
    for (std::uint8_t b : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X", b);
        if (!out.empty())
            out += ' ';
        out += two;
    }
    return out;
}

// True if `bytes` has exactly the pattern's length and every byte the pattern
// fixes ("HH") has that value; "~HH" bytes may be anything.
bool matches(const std::string& pattern, const Bytes& bytes)
{
    std::size_t i = 0;
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        if (pattern[pos] == ' ') {
            ++pos;
            continue;
        }
        const bool open = pattern[pos] == '~';
        if (open)
            ++pos;
        if (pos + 2 > pattern.size() || i >= bytes.size())
            return false;
        const unsigned long value = std::stoul(pattern.substr(pos, 2), nullptr, 16);
        if (!open && bytes[i] != value)
            return false;
        pos += 2;
        ++i;
    }
    return i == bytes.size();
}

// The wire log of a writer as transcript lines. The sequences here answer
// every request with exactly one reply before the next request.
std::vector<std::string> transcript(const EmulatedWriter& writer)
{
    const std::vector<Bytes> requests = writer.requests();
    const std::vector<Bytes> replies = writer.replies();
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < std::max(requests.size(), replies.size()); ++i) {
        if (i < requests.size())
            lines.push_back("> " + hex(requests[i]));
        if (i < replies.size())
            lines.push_back("< " + hex(replies[i]));
    }
    return lines;
}

// The actual transcript, with every line that matches its expected pattern
// replaced by the pattern, so that one comparison shows any difference.
std::vector<std::string> against(std::vector<std::string> actual, const std::vector<std::string>& expected)
{
    for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
        const std::string& line = actual[i];
        const std::string& pattern = expected[i];
        if (line.size() < 2 || pattern.size() < 2 || line.compare(0, 2, pattern, 0, 2) != 0)
            continue;
        Bytes bytes;
        for (std::size_t pos = 2; pos + 2 <= line.size(); pos += 3)
            bytes.push_back(std::uint8_t(std::stoul(line.substr(pos, 2), nullptr, 16)));
        if (matches(pattern.substr(2), bytes))
            actual[i] = pattern;
    }
    return actual;
}

struct GoldenCase {
    const char* sequence;
    std::function<void(EmulatedWriter&)> setUp;
    // Runs the sequence on device 0; checks what the host made of it.
    std::function<OperationStatus(KestoProtocol&)> run;
    std::vector<std::string> wire;
};

TEST(GoldenTranscript, EverySequenceSendsAndReadsTheDescribedBytes)
{
    const GoldenCase cases[] = {
        {
            "device info",
            [](EmulatedWriter& w) { w.setIdentification("KESTO-1"); },
            [](KestoProtocol& p) {
                DeviceInfoText info;
                const OperationStatus s = p.Kesto_GetDeviceInfo(0, info);
                EXPECT_EQ(info.text(), "KESTO-1");
                return s;
            },
            {
                "> 88",
                "< 4B 45 53 54 4F 2D 31 ~00", // "KESTO-1", then the emulator's zero
            },
        },
        {
            "firmware version",
            [](EmulatedWriter& w) {
                w.setProgramAddress(0x08004000);
                w.setFirmwareVersion("V2.10");
            },
            [](KestoProtocol& p) {
                FirmwareVersionReply reply;
                const OperationStatus s = p.Kesto_GetFirmwareVersion(0, reply);
                EXPECT_EQ(reply.programAddress(), 0x08004000u);
                EXPECT_EQ(reply.versionText(), "V2.10");
                return s;
            },
            {
                "> B0",
                // u32 program address, little-endian; "V2.10", zero-terminated
                "< 00 40 00 08 56 32 2E 31 30 00",
            },
        },
        {
            "file system initial",
            [](EmulatedWriter&) {},
            [](KestoProtocol& p) {
                const OperationStatus s = p.fsInitialRequest(0);
                return s != OS_SUCCESS ? s : p.fsInitialAwaitReply(0, [] { return false; });
            },
            {
                "> B3",
                // A status reply; any status but 01 and 06 means done.
                "< ~B3 ~00 ~00 ~00 ~00 ~00",
            },
        },
        {
            "file name list with two names",
            [](EmulatedWriter& w) {
                w.setFile("a.bin", "x");
                w.setFile("config.ini", "a=1\r\n");
            },
            [](KestoProtocol& p) {
                FileNameList names;
                const OperationStatus s = p.Kesto_FileNameLoad(0, names);
                EXPECT_EQ(names.count, 2);
                EXPECT_EQ(names.name(0), "a.bin");
                EXPECT_EQ(names.name(1), "config.ini");
                return s;
            },
            {
                "> B5",
                "< ~B5 0C 05 00 00 00", // 12 (a name follows), length 5
                "> 0C",
                "< 61 2E 62 69 6E", // "a.bin"
                "> 0C",
                "< ~0C 0C 0A 00 00 00", // 12, length 10
                "> 0C",
                "< 63 6F 6E 66 69 67 2E 69 6E 69", // "config.ini"
                "> 0C",
                "< ~0C 0B ~00 ~00 ~00 ~00", // 11: no more names
            },
        },
        {
            "configuration read",
            [](EmulatedWriter& w) { w.setFile("config.ini", "a=1\r\nb=2\r\n"); },
            [](KestoProtocol& p) {
                std::string text;
                const OperationStatus s = p.Kesto_ConfigRead(0, text);
                EXPECT_EQ(text, "a=1\r\nb=2\r\n");
                return s;
            },
            {
                "> B4",
                "< ~B4 ~00 0A 00 00 00", // not 01 or 06: the value is the length, 10
                "> 0C",
                "< 61 3D 31 0D 0A 62 3D 32 0D 0A", // "a=1\r\nb=2\r\n"; the total reached, no further request
            },
        },
        {
            "configuration write of two lines and the end",
            [](EmulatedWriter&) {},
            [](KestoProtocol& p) { return p.Kesto_ConfigWrite(0, {"a=1", "b=2"}); },
            {
                "> B6",
                "< ~B6 00 ~00 ~00 ~00 ~00", // 00: accepted
                "> 0C 05 61 3D 31 0D 0A",   // 0C, 3 + 2, "a=1", CR LF
                "< ~0C 00 ~00 ~00 ~00 ~00",
                "> 0C 05 62 3D 32 0D 0A", // 0C, 3 + 2, "b=2", CR LF
                "< ~0C 00 ~00 ~00 ~00 ~00",
                "> 0B",
                "< ~0B 00 ~00 ~00 ~00 ~00",
            },
        },
    };

    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.sequence);
        EmulatedRig rig(1);
        c.setUp(rig.writer());
        ASSERT_TRUE(rig.reopen());
        rig.writer().clearWireLog();

        EXPECT_EQ(c.run(rig.protocol), OS_SUCCESS);
        const std::vector<std::string> actual = transcript(rig.writer());
        EXPECT_EQ(against(actual, c.wire), c.wire);
        EXPECT_EQ(rig.writer().requests().size(), rig.writer().replies().size())
            << "one reply per request, never more than one request outstanding";
    }
}

// The Config Save worker's steps after the common start: the configuration
// write, then (unless the job says not to) exactly one configuration read of
// what the writer stored, and nothing else.
TEST(GoldenTranscript, ConfigSaveIsTheWriteFollowedByOneReadBackUnlessTurnedOff)
{
    const std::vector<std::string> write = {
        "> B6",
        "< ~B6 00 ~00 ~00 ~00 ~00",
        "> 0C 05 61 3D 31 0D 0A", // "a=1" CR LF
        "< ~0C 00 ~00 ~00 ~00 ~00",
        "> 0C 05 62 3D 32 0D 0A", // "b=2" CR LF
        "< ~0C 00 ~00 ~00 ~00 ~00",
        "> 0B",
        "< ~0B 00 ~00 ~00 ~00 ~00",
    };
    const std::vector<std::string> readBack = {
        "> B4",
        "< ~B4 ~00 0A 00 00 00", // the stored length, 10
        "> 0C",
        "< 61 3D 31 0D 0A 62 3D 32 0D 0A",
    };
    for (const bool verify : {true, false}) {
        SCOPED_TRACE(verify ? "verified" : "VerifyAfterSave=0");
        EmulatedRig rig(1);
        ASSERT_TRUE(rig.reopen());
        rig.writer().clearWireLog();
        auto job = std::make_shared<ConfigSaveJob>();
        job->lines = {"a=1", "b=2"};
        job->verifyAfterSave = verify;
        RecordingReport report;
        const WriterIdentity identity;
        const std::atomic<bool> stop{false};
        WorkerContext context{0, rig.protocol, rig.log, report, rig.usb, identity, stop, {}};

        EXPECT_EQ(ConfigSaveMiddle(job)(context), OS_SUCCESS);
        std::vector<std::string> expected = write;
        if (verify)
            expected.insert(expected.end(), readBack.begin(), readBack.end());
        EXPECT_EQ(against(transcript(rig.writer()), expected), expected);
        const auto texts = rig.log.texts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "\t +  Dev01: <configuration> Verify OK!\r\n"), verify ? 1 : 0);
    }
}

// The notation itself: a "~" byte takes any value, a plain one only its own,
// and the length always counts.
TEST(GoldenTranscript, PatternsFixValuesAndLengths)
{
    EXPECT_TRUE(matches("B6 00 ~00", {0xB6, 0x00, 0x7F}));
    EXPECT_FALSE(matches("B6 00 ~00", {0xB7, 0x00, 0x00}));
    EXPECT_FALSE(matches("B6 00 ~00", {0xB6, 0x00}));
    EXPECT_FALSE(matches("B6 00 ~00", {0xB6, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(matches("", {}));
}

} // namespace
