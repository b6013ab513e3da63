// The host's protocol sequences against the writer emulator: the bytes on
// the wire, the data handed back, and what each fault turns into.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "emulated_rig.h"

using namespace std::chrono_literals;
using Bytes = EmulatedWriter::Bytes;

namespace {

std::string letters(std::size_t n, char first = 'a')
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s.push_back(char(first + i % 26));
    return s;
}

Bytes one(std::uint8_t command) { return {command}; }

class Protocol : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.reopen()); }

    EmulatedWriter& writer() { return rig.writer(0); }
    KestoProtocol& protocol() { return rig.protocol; }
    std::vector<Bytes> wire() { return writer().requests(); }
    int nextRequests()
    {
        int n = 0;
        for (const Bytes& r : wire())
            n += r == one(CMD_NEXT);
        return n;
    }

    EmulatedRig rig{1};
};

// ------------------------------------------------------------ identification

TEST_F(Protocol, DeviceInfoReturnsTheTextAndEndsAFullBufferSafely)
{
    DeviceInfoText info;
    ASSERT_EQ(protocol().Kesto_GetDeviceInfo(0, info), OS_SUCCESS);
    EXPECT_EQ(info.text(), "VREN Kesto Writer SN-0001");
    EXPECT_EQ(wire(), std::vector<Bytes>{one(CMD_DEVICE_INFO)});

    // 64 bytes and no zero: the text is the whole buffer, nothing beyond it.
    writer().setIdentification(letters(64));
    ASSERT_EQ(protocol().Kesto_GetDeviceInfo(0, info), OS_SUCCESS);
    EXPECT_EQ(info.text(), letters(64));

    WriterFaults faults;
    faults.deviceInfoError = true;
    writer().setFaults(faults);
    EXPECT_EQ(protocol().Kesto_GetDeviceInfo(0, info), OS_COMM_ERROR);
    EXPECT_EQ(info.text(), "") << "nothing of an error reply is handed back";
}

TEST_F(Protocol, FirmwareVersionGivesAddressAndText)
{
    writer().setProgramAddress(0x12345678);
    FirmwareVersionReply reply;
    ASSERT_EQ(protocol().Kesto_GetFirmwareVersion(0, reply), OS_SUCCESS);
    EXPECT_EQ(reply.programAddress(), 0x12345678u);
    EXPECT_EQ(reply.versionText(), EmulatedWriter::kDefaultFirmwareVersion);
    EXPECT_EQ(wire(), std::vector<Bytes>{one(CMD_FIRMWARE_VERSION)});

    // The download modes only change the text.
    writer().setContactMode(ContactMode::JtagDown);
    ASSERT_EQ(protocol().Kesto_GetFirmwareVersion(0, reply), OS_SUCCESS);
    EXPECT_EQ(reply.versionText().substr(0, 20), "VREN Kesto JTAG Down");
}

TEST_F(Protocol, FirmwareVersionErrorMarkerWinsOverAPlausibleAddress)
{
    WriterFaults faults;
    faults.firmwareVersionError = 0xDEADBEEF;
    writer().setFaults(faults);
    FirmwareVersionReply reply;
    EXPECT_EQ(protocol().Kesto_GetFirmwareVersion(0, reply), OS_COMM_ERROR);
    const kesto::StatusReply last = protocol().lastReply(0);
    ASSERT_TRUE(last.hasValue);
    EXPECT_EQ(last.value, 0xDEADBEEFu) << "R_Data is read little-endian from offset 2";
    EXPECT_EQ(reply.length, 0);
    ASSERT_EQ(rig.log.lines().size(), 1u);
    EXPECT_EQ(rig.log.lines()[0].color, kLogErrorColor);
    EXPECT_EQ(rig.log.lines()[0].text,
        "\t +  Dev01: Kesto_GetFirmwareVersion Error!\r\n \t   -> R_Data(0xDEADBEEF)\r\n");
}

TEST_F(Protocol, ShortRepliesAreNeverReadPastWhatArrived)
{
    WriterFaults faults;
    faults.shortReply = 3;
    writer().setFaults(faults);

    FirmwareVersionReply version;
    ASSERT_EQ(protocol().Kesto_GetFirmwareVersion(0, version), OS_SUCCESS);
    EXPECT_EQ(version.length, 3);
    EXPECT_EQ(version.programAddress(), 0u) << "three bytes do not make an address";
    EXPECT_EQ(version.versionText(), "");

    // A status reply without its value cannot announce a length.
    std::string text;
    writer().setFile("config.ini", "A:1\r\n");
    EXPECT_EQ(protocol().Kesto_ConfigRead(0, text), OS_COMM_ERROR);
    FileNameList names;
    EXPECT_EQ(protocol().Kesto_FileNameLoad(0, names), OS_COMM_ERROR);

    faults.shortReply = 1; // not even a status byte
    writer().setFaults(faults);
    EXPECT_EQ(protocol().Kesto_ConfigWrite(0, {"A:1"}), OS_COMM_ERROR);
    ASSERT_TRUE(protocol().fsInitialRequest(0) == OS_SUCCESS);
    EXPECT_EQ(protocol().fsInitialAwaitReply(0, [] { return false; }), OS_COMM_ERROR)
        << "an answer without a status does not confirm the format";
}

// ------------------------------------------------------------ name list

TEST_F(Protocol, NameListCollectsNamesInWriterOrder)
{
    const std::vector<std::string> stored = {"a.bin", "config.ini", letters(130, 'A'), "b.bin"};
    for (const std::string& name : stored)
        writer().setFile(name, "x");
    FileNameList names;
    ASSERT_EQ(protocol().Kesto_FileNameLoad(0, names), OS_SUCCESS);
    ASSERT_EQ(names.count, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(names.name(i), stored[std::size_t(i)]);
    EXPECT_EQ(names.droppedNames, 0);
    EXPECT_EQ(names.truncatedNames, 0);
    // One data request per 64 bytes of each name, one status request per name.
    EXPECT_EQ(nextRequests(), (1 + 1 + 1 + 3 + 1 + 1 + 1 + 1));
}

TEST_F(Protocol, NameListWithoutFilesIsEmptyAndSucceeds)
{
    FileNameList names;
    names.count = 7;
    EXPECT_EQ(protocol().Kesto_FileNameLoad(0, names), OS_SUCCESS);
    EXPECT_EQ(names.count, 0);
    EXPECT_EQ(wire(), std::vector<Bytes>{one(CMD_FILE_NAME_LIST)});
}

TEST_F(Protocol, NameListKeepsToItsSlots)
{
    // 150 names, one of 300 bytes: the surplus is read off the wire so the
    // list ends in step, but nothing is stored past 100 names or 259 bytes.
    writer().setFile(letters(300, 'A'), "x");
    for (int i = 1; i < 150; ++i)
        writer().setFile("file" + std::to_string(i) + ".bin", "x");
    FileNameList names;
    ASSERT_EQ(protocol().Kesto_FileNameLoad(0, names), OS_SUCCESS);
    EXPECT_EQ(names.count, 100);
    EXPECT_EQ(names.droppedNames, 50);
    EXPECT_EQ(names.truncatedNames, 1);
    EXPECT_EQ(names.name(0), letters(259, 'A'));
    EXPECT_EQ(names.names[0][259], '\0');
    EXPECT_EQ(names.name(1), "file1.bin");
    EXPECT_EQ(names.name(99), "file99.bin");

    // The writer is idle again: the next request is answered normally.
    FirmwareVersionReply version;
    EXPECT_EQ(protocol().Kesto_GetFirmwareVersion(0, version), OS_SUCCESS);
}

TEST_F(Protocol, NameListStatusesTurnIntoResults)
{
    writer().setFile("a.bin", "x");
    writer().setFile("b.bin", "x");
    const struct {
        const char* what;
        std::function<void(WriterFaults&)> fault;
        OperationStatus expected;
        int count; // names stored before the list ended
    } cases[] = {
        {"file system not usable", [](WriterFaults& f) { f.commandStatus[CMD_FILE_NAME_LIST] = {RS_ERROR, 0}; }, OS_COMM_ERROR, 0},
        {"list failed", [](WriterFaults& f) { f.commandStatus[CMD_FILE_NAME_LIST] = {RS_FAILED, 0}; }, OS_COMM_ERROR, 0},
        {"unexpected first status", [](WriterFaults& f) { f.commandStatus[CMD_FILE_NAME_LIST] = {7, 0}; }, OS_COMM_ERROR, 0},
        {"unexpected status after a name", [](WriterFaults& f) { f.nameListStatus[0] = {7, 0}; }, OS_COMM_ERROR, 1},
        {"absurd name length", [](WriterFaults& f) { f.commandStatus[CMD_FILE_NAME_LIST] = {RS_MORE, 0xFFFFFFF0}; }, OS_COMM_ERROR, 0},
        {"end right after the first name", [](WriterFaults& f) { f.nameListStatus[0] = {RS_END, 0}; }, OS_SUCCESS, 1},
        {"writer gone mid-list", [](WriterFaults& f) { f.unplugAfterReplies = 2; }, OS_WRITE_USB_ERROR, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writer().plugIn();
        rig.bus.plug(rig.writers[0]);
        ASSERT_TRUE(rig.reopen());
        WriterFaults faults;
        c.fault(faults);
        writer().setFaults(faults);
        FileNameList names;
        EXPECT_EQ(protocol().Kesto_FileNameLoad(0, names), c.expected);
        EXPECT_EQ(names.count, c.count);
        writer().setFaults({});
    }
}

// ------------------------------------------------------------ configuration read

TEST_F(Protocol, ConfigReadCollectsExactlyTheAnnouncedLength)
{
    const std::string text = letters(200);
    writer().setFile("config.ini", text);
    std::string got;
    ASSERT_EQ(protocol().Kesto_ConfigRead(0, got), OS_SUCCESS);
    EXPECT_EQ(got, text);
    EXPECT_EQ(nextRequests(), 4) << "200 bytes come in 64-byte packets";

    // Announced shorter than the packets carry: the excess is not stored.
    WriterFaults faults;
    faults.announcedConfigLength = 70;
    writer().setFaults(faults);
    ASSERT_EQ(protocol().Kesto_ConfigRead(0, got), OS_SUCCESS);
    EXPECT_EQ(got, text.substr(0, 70));
}

TEST_F(Protocol, ConfigReadFaults)
{
    const struct {
        const char* what;
        bool withFile;
        std::function<void(WriterFaults&)> fault;
        OperationStatus expected;
        bool anyNext;
        bool logged;
    } cases[] = {
        {"no configuration file", false, [](WriterFaults&) {}, OS_COMM_ERROR, false, false},
        {"file system not usable", true, [](WriterFaults& f) { f.commandStatus[CMD_CONFIG_READ] = {RS_ERROR, 0}; }, OS_COMM_ERROR, false, false},
        {"announced length 0", true, [](WriterFaults& f) { f.announcedConfigLength = 0; }, OS_CONFIG_WRONG, false, false},
        {"absurd announced length", true, [](WriterFaults& f) { f.announcedConfigLength = 0xFFFFFFF0; f.endlessConfigFiller = true; }, OS_CONFIG_WRONG, false, true},
        {"just over the cap", true, [](WriterFaults& f) { f.announcedConfigLength = kesto::kMaxConfigTextBytes + 1; }, OS_CONFIG_WRONG, false, true},
        {"error packet mid-stream", true, [](WriterFaults& f) { f.configErrorPacket = 1; }, OS_COMM_ERROR, true, false},
        {"writer gone mid-stream", true, [](WriterFaults& f) { f.unplugAfterReplies = 2; }, OS_WRITE_USB_ERROR, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedRig local(1);
        ASSERT_TRUE(local.reopen());
        if (c.withFile)
            local.writer().setFile("config.ini", letters(200));
        WriterFaults faults;
        c.fault(faults);
        local.writer().setFaults(faults);
        std::string got;
        EXPECT_EQ(local.protocol.Kesto_ConfigRead(0, got), c.expected);
        bool anyNext = false;
        for (const Bytes& r : local.writer().requests())
            anyNext |= r == one(CMD_NEXT);
        EXPECT_EQ(anyNext, c.anyNext);
        EXPECT_EQ(!local.log.lines().empty(), c.logged);
        if (c.logged) {
            EXPECT_EQ(local.log.lines()[0].color, kLogErrorColor);
            EXPECT_NE(local.log.lines()[0].text.find("Dev01: <configuration> is too long"), std::string::npos);
        }
    }
}

// ------------------------------------------------------------ configuration write

TEST_F(Protocol, ConfigWriteSendsEachLineAsItsPacket)
{
    // 254 characters and more wrap the one-byte length; the line goes in full.
    const std::vector<std::string> lines = {"[Target]", "", letters(253), letters(254), letters(255), letters(259)};
    ASSERT_EQ(protocol().Kesto_ConfigWrite(0, lines), OS_SUCCESS);

    const std::vector<Bytes> requests = wire();
    ASSERT_EQ(requests.size(), lines.size() + 2);
    EXPECT_EQ(requests.front(), one(CMD_CONFIG_WRITE));
    EXPECT_EQ(requests.back(), one(CMD_END));
    std::string expectedFile;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Bytes& packet = requests[i + 1];
        const std::string& line = lines[i];
        SCOPED_TRACE("line of " + std::to_string(line.size()));
        ASSERT_EQ(packet.size(), line.size() + 4);
        EXPECT_EQ(packet[0], 0x0C);
        EXPECT_EQ(packet[1], std::uint8_t((line.size() + 2) % 256));
        EXPECT_EQ(std::string(packet.begin() + 2, packet.end() - 2), line);
        EXPECT_EQ(packet[packet.size() - 2], 0x0D);
        EXPECT_EQ(packet[packet.size() - 1], 0x0A);
        expectedFile += line + "\r\n";
    }
    EXPECT_EQ(requests[4][1], 0x00) << "254 + 2 wraps to 0";
    EXPECT_EQ(writer().file("config.ini"), expectedFile);
}

TEST_F(Protocol, ConfigWriteFailuresSayWhereTheyHappened)
{
    const struct {
        const char* what;
        std::function<void(WriterFaults&)> fault;
        OperationStatus expected;
        ConfigWriteStep step;
    } cases[] = {
        {"request refused", [](WriterFaults& f) { f.commandStatus[CMD_CONFIG_WRITE] = {RS_ERROR, 0}; }, OS_COMM_ERROR, ConfigWriteStep::Request},
        {"second line refused", [](WriterFaults& f) { f.configLineStatus[1] = {RS_FAILED, 0}; }, OS_COMM_ERROR, ConfigWriteStep::Line},
        {"end refused", [](WriterFaults& f) { f.commandStatus[CMD_END] = {RS_ERROR, 0}; }, OS_COMM_ERROR, ConfigWriteStep::End},
        {"writer silent", [](WriterFaults& f) { f.noAnswer = true; }, OS_READ_USB_ERROR, ConfigWriteStep::Request},
        {"writes rejected", [](WriterFaults& f) { f.rejectWrites = true; }, OS_WRITE_USB_ERROR, ConfigWriteStep::Request},
        {"writer gone after a line", [](WriterFaults& f) { f.unplugAfterReplies = 2; }, OS_WRITE_USB_ERROR, ConfigWriteStep::Line},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedRig local(1);
        ASSERT_TRUE(local.reopen());
        local.writer().setFile("config.ini", "old");
        WriterFaults faults;
        c.fault(faults);
        local.writer().setFaults(faults);
        ConfigWriteStep step = ConfigWriteStep::None;
        EXPECT_EQ(local.protocol.Kesto_ConfigWrite(0, {"A:1", "B:2", "C:3"}, &step), c.expected);
        EXPECT_EQ(step, c.step);
        EXPECT_EQ(local.writer().file("config.ini"), "old") << "a failed write leaves the stored text";
    }
}

TEST_F(Protocol, ConfigLinesThatCannotBeSentFaithfullyAreRefusedBeforeAnyRequest)
{
    for (const std::string& bad : {letters(260), std::string("A:1\r\nB:2"), std::string("C\n")}) {
        ConfigWriteStep step = ConfigWriteStep::Line;
        EXPECT_EQ(protocol().Kesto_ConfigWrite(0, {"ok", bad}, &step), OS_CONFIG_WRONG);
        EXPECT_EQ(step, ConfigWriteStep::None);
    }
    EXPECT_TRUE(wire().empty());
}

// ------------------------------------------------------------ file system initialization

TEST_F(Protocol, FsInitialWaitsThroughEmptyReadsUntilTheWriterAnswers)
{
    writer().setFile("a.bin", "x");
    writer().setInitDuration(200ms); // several 60 ms reads come back empty first
    ASSERT_EQ(protocol().fsInitialRequest(0), OS_SUCCESS);
    int emptyReads = 0;
    EXPECT_EQ(protocol().fsInitialAwaitReply(0, [&] { return ++emptyReads < 100; }), OS_SUCCESS);
    EXPECT_GE(emptyReads, 2);
    EXPECT_TRUE(writer().fileNames().empty());
    EXPECT_EQ(wire(), std::vector<Bytes>{one(CMD_FS_INITIAL)});
}

TEST_F(Protocol, FsInitialJudgesTheStatusAndGivesUpWhenTold)
{
    const struct {
        std::uint8_t status;
        OperationStatus expected;
    } cases[] = {{RS_OK, OS_SUCCESS}, {RS_ERROR, OS_COMM_ERROR}, {RS_FAILED, OS_COMM_ERROR}, {RS_END, OS_SUCCESS}, {9, OS_SUCCESS}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.status));
        WriterFaults faults;
        faults.commandStatus[CMD_FS_INITIAL] = {c.status, 0};
        writer().setFaults(faults);
        ASSERT_EQ(protocol().fsInitialRequest(0), OS_SUCCESS);
        EXPECT_EQ(protocol().fsInitialAwaitReply(0, [] { return false; }), c.expected);
    }

    WriterFaults silent;
    silent.noAnswer = true;
    writer().setFaults(silent);
    ASSERT_EQ(protocol().fsInitialRequest(0), OS_SUCCESS);
    int asked = 0;
    EXPECT_EQ(protocol().fsInitialAwaitReply(0, [&] { return ++asked < 3; }), OS_READ_USB_ERROR);
    EXPECT_EQ(asked, 3);

    WriterFaults deaf;
    deaf.rejectWrites = true;
    writer().setFaults(deaf);
    EXPECT_EQ(protocol().fsInitialRequest(0), OS_WRITE_USB_ERROR);
}

// ------------------------------------------------------------ transport failures

TEST_F(Protocol, SilentOrDeafWriterFailsEverySequenceWithoutHanging)
{
    using Sequence = std::function<OperationStatus(KestoProtocol&)>;
    const struct {
        const char* name;
        Sequence run;
    } sequences[] = {
        {"device info", [](KestoProtocol& p) { DeviceInfoText t; return p.Kesto_GetDeviceInfo(0, t); }},
        {"firmware version", [](KestoProtocol& p) { FirmwareVersionReply r; return p.Kesto_GetFirmwareVersion(0, r); }},
        {"name list", [](KestoProtocol& p) { FileNameList n; return p.Kesto_FileNameLoad(0, n); }},
        {"config read", [](KestoProtocol& p) { std::string s; return p.Kesto_ConfigRead(0, s); }},
        {"config write", [](KestoProtocol& p) { return p.Kesto_ConfigWrite(0, {"A:1"}); }},
    };
    writer().setFile("config.ini", "A:1\r\n");
    for (const auto& s : sequences) {
        SCOPED_TRACE(s.name);
        WriterFaults silent;
        silent.noAnswer = true;
        writer().setFaults(silent);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(s.run(protocol()), OS_READ_USB_ERROR);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

        WriterFaults deaf;
        deaf.rejectWrites = true;
        writer().setFaults(deaf);
        EXPECT_EQ(s.run(protocol()), OS_WRITE_USB_ERROR);
    }

    // A closed entry fails at once, whatever the writer would do.
    writer().setFaults({});
    rig.usb.CloseDevice(0);
    FirmwareVersionReply reply;
    EXPECT_EQ(protocol().Kesto_GetFirmwareVersion(0, reply), OS_WRITE_USB_ERROR);
    EXPECT_EQ(protocol().Kesto_GetFirmwareVersion(-1, reply), OS_WRITE_USB_ERROR);
    EXPECT_EQ(protocol().Kesto_GetFirmwareVersion(kMaxDevices, reply), OS_WRITE_USB_ERROR);
}

TEST_F(Protocol, SlowAnswersWithinTheTimeOutStillWork)
{
    WriterFaults slow;
    slow.replyDelay = 20ms;
    writer().setFaults(slow);
    writer().setFile("config.ini", letters(100));
    std::string text;
    EXPECT_EQ(protocol().Kesto_ConfigRead(0, text), OS_SUCCESS);
    EXPECT_EQ(text, letters(100));
}

} // namespace
