#pragma once
// The common start and the common finish of every device worker.

#include <string>

#include "operations/OperationReport.h"
#include "transport/UsbTransport.h"
#include "writer/KestoProtocol.h"

// The status cell text a finished worker leaves in its row.
std::string finishStatusText(Operation operation, OperationStatus status);

// The finish line of device index `dev` ("\t +  Dev%02d: ... - <operation>\r\n")
// and its colour: the ordinary colour for OS_EXIT_OK, the error colour else.
std::string finishLogLine(Operation operation, int dev, OperationStatus status);
Rgb finishLogColor(OperationStatus status);

// What the common start learns about a writer.
struct WriterIdentity {
    DeviceInfoText identification;
    FirmwareVersionReply version;
};

// Asks writer `dev` for its identification and firmware version and logs
// both. OS_SUCCESS, or the status of the first step that failed.
OperationStatus CommonStart(KestoProtocol& protocol, MessageLog& log, int dev, WriterIdentity& out);

// The finish of one worker: the status cell and the finish line, the device
// entry closed, the writer reported done, then "★Dev%02d: Finish!".
void FinishOperation(Operation operation, int dev, OperationStatus status, const UsbTransport& transport,
                     OperationReport& report);
