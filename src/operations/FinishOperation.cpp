#include "operations/FinishOperation.h"

#include <cstdio>

const char* operationName(Operation operation)
{
    switch (operation) {
    case Operation::Initialization: return "Kesto Initial";
    case Operation::ConfigLoad: return "Config Load";
    case Operation::ConfigSave: return "Config Save";
    }
    return "";
}

ControlsBack& ControlsBack::operator|=(const ControlsBack& other)
{
    initButton |= other.initButton;
    configControls |= other.configControls;
    fatVerify |= other.fatVerify;
    crystalRule |= other.crystalRule;
    return *this;
}

ControlsBack controlsGivenBack(Operation operation, int dev)
{
    ControlsBack back;
    switch (operation) {
    case Operation::Initialization:
        back.initButton = true;
        break;
    case Operation::ConfigLoad:
        back.configControls = back.fatVerify = back.crystalRule = true;
        break;
    case Operation::ConfigSave:
        back.configControls = true;
        // Only the worker of the first writer gives back the FAT verify
        // choice and applies the crystal rule.
        back.fatVerify = back.crystalRule = dev == 0;
        break;
    }
    return back;
}

namespace {

// One row per status: the status cell text and the word of the finish line.
struct FinishText {
    OperationStatus status;
    const char* cell;
    const char* word;
};

constexpr FinishText kFinishTexts[] = {
    {OS_WRITE_USB_ERROR, "WriteUSB Error!", "WriteUSB Error!"},
    {OS_READ_USB_ERROR, "ReadUSB Error!", "ReadUSB Error!"},
    {OS_COMM_ERROR, "COMM Error!", "COMM Error!"},
    {OS_VERIFY_ERROR, "Verify Error!", "Verify Error!"},
    {OS_EXIT_OK, nullptr, "EXIT Ok!"},
};
constexpr FinishText kOtherStatus{OperationStatus(0), "Error!", "Error!"};

const FinishText& finishTextFor(OperationStatus status)
{
    for (const FinishText& t : kFinishTexts) {
        if (t.status == status)
            return t;
    }
    return kOtherStatus;
}

const char* successCellText(Operation operation)
{
    switch (operation) {
    case Operation::Initialization: return "Kesto Initial - OK!";
    case Operation::ConfigLoad: return "Config Load - OK!";
    case Operation::ConfigSave: return "Config Save - OK!";
    }
    return "";
}

} // namespace

std::string finishStatusText(Operation operation, OperationStatus status)
{
    const FinishText& t = finishTextFor(status);
    return t.cell ? t.cell : successCellText(operation);
}

std::string finishLogLine(Operation operation, int dev, OperationStatus status)
{
    char line[128];
    std::snprintf(line, sizeof line, "\t +  Dev%02d: %s - %s\r\n", dev + 1, finishTextFor(status).word,
                  operationName(operation));
    return line;
}

Rgb finishLogColor(OperationStatus status)
{
    return status == OS_EXIT_OK ? kLogTextColor : kLogErrorColor;
}

OperationStatus CommonStart(KestoProtocol& protocol, MessageLog& log, int dev, WriterIdentity& out)
{
    if (const OperationStatus s = protocol.Kesto_GetDeviceInfo(dev, out.identification); s != OS_SUCCESS)
        return s;
    // "☞ USB Dev %02d - %s", the mark in the log's code page.
    log.LogText("\xA2\xD1 USB Dev %02d - %s\r\n", dev + 1, out.identification.text().c_str());
    if (const OperationStatus s = protocol.Kesto_GetFirmwareVersion(dev, out.version); s != OS_SUCCESS)
        return s;
    log.LogText("\xA2\xD1 USB Dev %02d -%s\r\n\t\t( Program Addr = 0x%08X )\r\n", dev + 1,
                out.version.versionText().c_str(), out.version.programAddress());
    return OS_SUCCESS;
}

void FinishOperation(Operation operation, int dev, OperationStatus status, const UsbTransport& transport,
                     OperationReport& report)
{
    report.writerStatus(dev, finishStatusText(operation, status));
    report.logLine(finishLogColor(status), finishLogLine(operation, dev, status));
    transport.CloseDevice(dev);
    report.writerDone(operation, dev, status);
    // "★Dev%02d: Finish!", the star in the log's code page.
    char line[32];
    std::snprintf(line, sizeof line, "\xA1\xDA" "Dev%02d: Finish!\r\n\n", dev + 1);
    report.logLine(kLogTextColor, line);
}
