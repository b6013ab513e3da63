// The log lines and results of the name list and the configuration load for
// every status the writer can answer them with.

#include <gtest/gtest.h>

#include "emulated_rig.h"
#include "operations/ConfigOperations.h"

namespace {

constexpr Rgb kBlue = rgb(0, 128, 255);
constexpr Rgb kRed = rgb(199, 21, 133);

struct StatusCase {
    const char* name;
    std::function<void(WriterFaults&, EmulatedWriter&)> setUp;
    OperationStatus expected;
    std::vector<LogLine> lines;
};


TEST(ConfigOperations, NameListStatusesGiveTheirLines)
{
    const StatusCase cases[] = {
        {"file system unusable", [](WriterFaults& f, EmulatedWriter&) { f.commandStatus[CMD_FILE_NAME_LIST] = {RS_ERROR, 0}; },
         OS_COMM_ERROR, {{kRed, "\t +  Dev01: Kesto_FileSystemMount Error!\r\n"}}},
        {"list failed", [](WriterFaults& f, EmulatedWriter&) { f.commandStatus[CMD_FILE_NAME_LIST] = {RS_FAILED, 0}; },
         OS_COMM_ERROR, {{kBlue, "\t +  Dev01: Kesto_FileNameLoad Error!\r\n"}}},
        {"other first status", [](WriterFaults& f, EmulatedWriter&) { f.commandStatus[CMD_FILE_NAME_LIST] = {RS_OK, 0}; },
         OS_COMM_ERROR, {}},
        {"error after a name", [](WriterFaults& f, EmulatedWriter& w) {
             w.setFile("a.bin", "x");
             f.nameListStatus[0] = {RS_ERROR, 0};
         },
         OS_COMM_ERROR, {}},
        {"no names", [](WriterFaults&, EmulatedWriter& w) { w.clearFiles(); }, OS_SUCCESS, {}},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatedRig rig(1);
        WriterFaults f;
        c.setUp(f, rig.writer());
        rig.writer().setFaults(f);
        ASSERT_NE(rig.reopen(), 0);
        FileNameList names;
        EXPECT_EQ(Kesto_FileNameLoad(rig.protocol, rig.log, 0, names), c.expected);
        EXPECT_EQ(rig.log.lines(), c.lines);
    }
}

TEST(ConfigOperations, ConfigurationLoadStatusesGiveTheirLines)
{
    const StatusCase cases[] = {
        {"file system unusable", [](WriterFaults& f, EmulatedWriter&) { f.commandStatus[CMD_CONFIG_READ] = {RS_ERROR, 0}; },
         OS_COMM_ERROR, {{kRed, "\t +  Dev01: Kesto_FileSystemMount Error!\r\n"}}},
        {"cannot open", [](WriterFaults&, EmulatedWriter& w) { w.removeFile("config.ini"); },
         OS_COMM_ERROR, {{kBlue, "\t +  Dev01: <configuration> File Open Error!\r\n"}}},
        {"empty", [](WriterFaults&, EmulatedWriter& w) { w.setFile("config.ini", ""); },
         OS_CONFIG_WRONG, {{kBlue, "\t +  Dev01: <configuration> is wrong!\r\n"}}},
        {"error packet in the stream", [](WriterFaults& f, EmulatedWriter& w) {
             w.setFile("config.ini", std::string(200, '-'));
             f.configErrorPacket = 1;
         }, OS_COMM_ERROR, {}},
        {"not a configuration", [](WriterFaults&, EmulatedWriter& w) { w.setFile("config.ini", "hello\r\n"); },
         OS_CONFIG_WRONG, {{kBlue, "\t +  Dev01: <configuration> is wrong file!\r\n"}}},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatedRig rig(1);
        rig.writer().setFile("config.ini", ConfigText().sentText(0));
        WriterFaults f;
        c.setUp(f, rig.writer());
        rig.writer().setFaults(f);
        ASSERT_NE(rig.reopen(), 0);
        ConfigText text;
        TargetSettings settings;
        std::vector<TargetFileEntry> entries;
        EXPECT_EQ(Kesto_ConfigLoad(rig.protocol, rig.log, 0, text, settings, entries), c.expected);
        EXPECT_EQ(rig.log.lines(), c.lines);
    }
}

TEST(ConfigOperations, OnlyTheFirstTenCharactersNameTheConfiguration)
{
    for (const char* name : {"config.ini", "config.ini.bak", "config.ini~"})
        EXPECT_TRUE(isConfigFileName(name)) << name;
    for (const char* name : {"Config.ini", "config.in", "xconfig.ini", ""})
        EXPECT_FALSE(isConfigFileName(name)) << name;
}

} // namespace
