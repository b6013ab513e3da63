// The common finish: status cell texts, finish lines and their colours for
// every status of the three operations, and the controls each worker gives
// back; and the finish's steps through the transport and the report.

#include <gtest/gtest.h>

#include "EmulatedTransport.h"
#include "operations/FinishOperation.h"
#include "recording.h"

namespace {

constexpr Rgb kBlue = rgb(0, 128, 255);
constexpr Rgb kRed = rgb(199, 21, 133);

struct FinishCase {
    Operation operation;
    OperationStatus status;
    const char* cell;
    const char* line; // for device index 2
    Rgb color;
};

const FinishCase kFinishCases[] = {
    {Operation::Initialization, OS_WRITE_USB_ERROR, "WriteUSB Error!", "\t +  Dev03: WriteUSB Error! - Kesto Initial\r\n", kRed},
    {Operation::Initialization, OS_READ_USB_ERROR, "ReadUSB Error!", "\t +  Dev03: ReadUSB Error! - Kesto Initial\r\n", kRed},
    {Operation::Initialization, OS_COMM_ERROR, "COMM Error!", "\t +  Dev03: COMM Error! - Kesto Initial\r\n", kRed},
    {Operation::Initialization, OS_EXIT_OK, "Kesto Initial - OK!", "\t +  Dev03: EXIT Ok! - Kesto Initial\r\n", kBlue},
    {Operation::Initialization, OS_SUCCESS, "Error!", "\t +  Dev03: Error! - Kesto Initial\r\n", kRed},
    {Operation::ConfigLoad, OS_WRITE_USB_ERROR, "WriteUSB Error!", "\t +  Dev03: WriteUSB Error! - Config Load\r\n", kRed},
    {Operation::ConfigLoad, OS_READ_USB_ERROR, "ReadUSB Error!", "\t +  Dev03: ReadUSB Error! - Config Load\r\n", kRed},
    {Operation::ConfigLoad, OS_COMM_ERROR, "COMM Error!", "\t +  Dev03: COMM Error! - Config Load\r\n", kRed},
    {Operation::ConfigLoad, OS_EXIT_OK, "Config Load - OK!", "\t +  Dev03: EXIT Ok! - Config Load\r\n", kBlue},
    {Operation::ConfigLoad, OS_CONFIG_WRONG, "Error!", "\t +  Dev03: Error! - Config Load\r\n", kRed},
    {Operation::ConfigSave, OS_WRITE_USB_ERROR, "WriteUSB Error!", "\t +  Dev03: WriteUSB Error! - Config Save\r\n", kRed},
    {Operation::ConfigSave, OS_READ_USB_ERROR, "ReadUSB Error!", "\t +  Dev03: ReadUSB Error! - Config Save\r\n", kRed},
    {Operation::ConfigSave, OS_COMM_ERROR, "COMM Error!", "\t +  Dev03: COMM Error! - Config Save\r\n", kRed},
    {Operation::ConfigSave, OS_VERIFY_ERROR, "Verify Error!", "\t +  Dev03: Verify Error! - Config Save\r\n", kRed},
    {Operation::ConfigSave, OS_EXIT_OK, "Config Save - OK!", "\t +  Dev03: EXIT Ok! - Config Save\r\n", kBlue},
    {Operation::ConfigSave, OperationStatus(0x1234), "Error!", "\t +  Dev03: Error! - Config Save\r\n", kRed},
};

TEST(FinishOperation, EveryStatusOfEveryOperationHasItsCellTextLineAndColour)
{
    for (const FinishCase& c : kFinishCases) {
        SCOPED_TRACE(std::string(operationName(c.operation)) + " " + operationStatusName(c.status));
        EXPECT_EQ(finishStatusText(c.operation, c.status), c.cell);
        EXPECT_EQ(finishLogLine(c.operation, 2, c.status), c.line);
        EXPECT_EQ(finishLogColor(c.status), c.color);
    }
    EXPECT_EQ(finishLogLine(Operation::ConfigSave, 9, OS_EXIT_OK), "\t +  Dev10: EXIT Ok! - Config Save\r\n");
}

TEST(FinishOperation, ControlsGivenBackByEachWorker)
{
    struct Case {
        Operation operation;
        int dev;
        ControlsBack expected;
    };
    const Case cases[] = {
        {Operation::Initialization, 0, {true, false, false, false}},
        {Operation::Initialization, 7, {true, false, false, false}},
        {Operation::ConfigLoad, 0, {false, true, true, true}},
        {Operation::ConfigSave, 0, {false, true, true, true}},
        {Operation::ConfigSave, 1, {false, true, false, false}},
        {Operation::ConfigSave, 9, {false, true, false, false}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(controlsGivenBack(c.operation, c.dev), c.expected) << operationName(c.operation) << " " << c.dev;

    // A save that ran on writers 2 and 5 only never gives back the FAT choice.
    ControlsBack both = controlsGivenBack(Operation::ConfigSave, 2);
    both |= controlsGivenBack(Operation::ConfigSave, 5);
    EXPECT_FALSE(both.fatVerify);
    both |= controlsGivenBack(Operation::ConfigSave, 0);
    EXPECT_TRUE(both.fatVerify && both.crystalRule);
}

TEST(FinishOperation, ReportsInOrderAndClosesTheWriter)
{
    RecordingLog log;
    RecordingBoxes boxes;
    DeviceTable table;
    EmulatedBus bus;
    bus.plug(std::make_shared<EmulatedWriter>());
    bus.plug(std::make_shared<EmulatedWriter>());
    EmulatedTransport backend({table, boxes, log, {}}, bus, std::chrono::milliseconds(50));
    const UsbTransport usb = bindTransport(backend);
    ASSERT_NE(usb.OpenAllDevices(), 0);

    RecordingReport report;
    FinishOperation(Operation::ConfigSave, 1, OS_READ_USB_ERROR, usb, report);
    EXPECT_FALSE(table.isOpen(1));
    EXPECT_TRUE(table.isOpen(0)) << "only its own entry";

    using Event = RecordingReport::Event;
    const auto events = report.events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, Event::Status);
    EXPECT_EQ(events[0].text, "ReadUSB Error!");
    EXPECT_EQ(events[1].kind, Event::Log);
    EXPECT_EQ(events[1].text, "\t +  Dev02: ReadUSB Error! - Config Save\r\n");
    EXPECT_EQ(events[1].color, kRed);
    EXPECT_EQ(events[2].kind, Event::WriterDone);
    EXPECT_EQ(events[2].status, OS_READ_USB_ERROR);
    EXPECT_EQ(events[3].kind, Event::Log);
    EXPECT_EQ(events[3].text, "\xA1\xDA" "Dev02: Finish!\r\n\n");
    EXPECT_EQ(events[3].color, kBlue);
    usb.CloseDevice(0);
}

} // namespace
