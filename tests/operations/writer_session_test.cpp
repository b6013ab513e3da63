// The writer session and the operation runner with no widget at all: a
// relisting and a whole operation on emulated writers, reported to recorders.

#include <gtest/gtest.h>

#include <QApplication>

#include "session_rig.h"

namespace {

using Event = RecordingReport::Event;
using Bytes = std::vector<std::uint8_t>;

class WriterSessionTest : public SessionRig {};

TEST_F(WriterSessionTest, RelistingAndAnOperationOnThreeWritersNeedNoWidget)
{
    plugWriters(3);
    writers[1]->setContactMode(ContactMode::JtagDown);
    start();

    EXPECT_EQ(view.rows, (std::vector<std::string>{"VREN Kesto Contact-OK!", "Kesto Contact - JTAG", "VREN Kesto Contact-OK!"}));
    EXPECT_EQ(session->listedCount, 3);
    for (const auto& w : writers)
        w->clearWireLog();

    RecordingReport report;
    ASSERT_NE(session->reopenWriters(), 0);
    ASSERT_TRUE(session->startOperation(Operation::ConfigLoad, {0, 1, 2}, nullptr, report));
    EXPECT_EQ(session->runningOperation(), Operation::ConfigLoad);
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(session->runningOperation());

    // Each writer: identification and version, nothing else on the wire.
    for (const auto& w : writers)
        EXPECT_EQ(w->requests(), (std::vector<Bytes>{{CMD_DEVICE_INFO}, {CMD_FIRMWARE_VERSION}}));
    for (int dev = 0; dev < 3; ++dev) {
        EXPECT_EQ(report.statusTexts(dev), std::vector<std::string>{"Config Load - OK!"}) << dev;
        EXPECT_FALSE(session->deviceTable().isOpen(dev)) << "every worker closes its writer";
    }

    // Each writer's lines stay together and in order, whatever the
    // interleaving of the three threads.
    const std::vector<std::string> lines = report.lines();
    for (int dev = 0; dev < 3; ++dev) {
        const auto& w = *writers[std::size_t(dev)];
        const std::string dd = "0" + std::to_string(dev + 1);
        const std::vector<std::string> expected{
            "\xA2\xD1 USB Dev " + dd + " - " + w.identification() + "\r\n",
            "\xA2\xD1 USB Dev " + dd + " -" + (dev == 1 ? EmulatedWriter::kJtagDownVersion : w.firmwareVersion())
                + "\r\n\t\t( Program Addr = 0x08004000 )\r\n",
            "\t +  Dev" + dd + ": EXIT Ok! - Config Load\r\n",
            "\xA1\xDA" "Dev" + dd + ": Finish!\r\n\n",
        };
        std::vector<std::string> own;
        for (const std::string& line : lines)
            if (line.find("Dev " + dd) != std::string::npos || line.find("Dev" + dd) != std::string::npos)
                own.push_back(line);
        EXPECT_EQ(own, expected) << dev;
    }
    EXPECT_EQ(lines.size(), 12u);

    // One "done" per writer, then the operation's, with the controls back.
    const auto events = report.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, Event::OperationDone);
    EXPECT_EQ(report.count(Event::WriterDone), 3);
    EXPECT_EQ(report.count(Event::OperationDone), 1);
    EXPECT_TRUE(events.back().controls.configControls && events.back().controls.fatVerify);

    EXPECT_TRUE(QApplication::allWidgets().isEmpty()) << "no widget was created";
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(WriterSessionTest, AFailingCommonStartEndsOnlyThatWriter)
{
    plugWriters(3);
    start();
    WriterFaults infoError;
    infoError.deviceInfoError = true;
    writers[0]->setFaults(infoError);
    WriterFaults versionError;
    versionError.firmwareVersionError = 0x1234;
    writers[1]->setFaults(versionError);

    RecordingReport report;
    ASSERT_NE(session->reopenWriters(), 0);
    ASSERT_TRUE(session->startOperation(Operation::ConfigSave, {0, 1, 2}, nullptr, report));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(report.statusTexts(0), std::vector<std::string>{"COMM Error!"});
    EXPECT_EQ(report.statusTexts(1), std::vector<std::string>{"COMM Error!"});
    EXPECT_EQ(report.statusTexts(2), std::vector<std::string>{"Config Save - OK!"});
    const auto lines = report.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\t +  Dev01: COMM Error! - Config Save\r\n"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                  "\t +  Dev02: Kesto_GetFirmwareVersion Error!\r\n \t   -> R_Data(0x00001234)\r\n"), lines.end());
    EXPECT_EQ(report.count(Event::WriterDone), 3);
    // Only writer 1's worker gives back the FAT verify choice.
    EXPECT_TRUE(report.events().back().controls.fatVerify);
}

TEST_F(WriterSessionTest, TheMiddleRunsBetweenStartAndFinishAndItsStatusCounts)
{
    plugWriters(2);
    start();
    RecordingReport report;
    std::vector<std::string> seen(2);
    auto middle = [&seen](WorkerContext& c) {
        seen[std::size_t(c.dev)] = c.identity.identification.text();
        c.log.LogText("middle of %d\r\n", c.dev + 1);
        return c.dev == 1 ? OS_READ_USB_ERROR : OS_SUCCESS;
    };
    ASSERT_NE(session->reopenWriters(), 0);
    ASSERT_TRUE(session->startOperation(Operation::Initialization, {0, 1}, middle, report));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(seen, (std::vector<std::string>{writers[0]->identification(), writers[1]->identification()}));
    EXPECT_EQ(report.statusTexts(0), std::vector<std::string>{"Kesto Initial - OK!"});
    EXPECT_EQ(report.statusTexts(1), std::vector<std::string>{"ReadUSB Error!"});
    const auto lines = report.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "middle of 2\r\n"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\t +  Dev02: ReadUSB Error! - Kesto Initial\r\n"), lines.end());
}

TEST_F(WriterSessionTest, NothingStartsWithoutWritersOrWhileSomethingRuns)
{
    plugWriters(1);
    start();
    RecordingReport report;
    EXPECT_FALSE(session->startOperation(Operation::ConfigSave, {}, nullptr, report)) << "no writer";
    EXPECT_FALSE(session->runningOperation());

    WriterFaults slow;
    slow.replyDelay = std::chrono::milliseconds(50);
    writers[0]->setFaults(slow);
    ASSERT_NE(session->reopenWriters(), 0);
    ASSERT_TRUE(session->startOperation(Operation::ConfigSave, {0}, nullptr, report));
    RecordingReport second;
    EXPECT_FALSE(session->startOperation(Operation::ConfigLoad, {0}, nullptr, second)) << "one operation at a time";
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(second.events().empty());
    EXPECT_EQ(report.statusTexts(0), std::vector<std::string>{"Config Save - OK!"});
}

} // namespace
