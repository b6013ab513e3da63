#pragma once
// What a device operation tells the world while it runs. The window shows it
// (queued to its own thread), tests record it, a command-line tool prints it.

#include <string>

#include "core/MessageLog.h"
#include "writer/KestoWire.h"

enum class Operation { Initialization, ConfigLoad, ConfigSave };

// "Kesto Initial", "Config Load" or "Config Save", as the finish lines name them.
const char* operationName(Operation operation);

// Which of a page's controls come back when an operation ends.
struct ControlsBack {
    bool initButton = false;     // "VREN Kesto Initialization -> RUN"
    bool configControls = false; // target list, speed, buzzer, crystal, chip, Load and Save buttons
    bool fatVerify = false;      // the FAT verify choice
    bool crystalRule = false;    // afterwards "HERON" and "Other" disable the crystal field again

    ControlsBack& operator|=(const ControlsBack& other);
    bool operator==(const ControlsBack&) const = default;
};

// The controls the worker for device index `dev` of an operation gives back.
// The page gets them back once, when the operation's last worker has ended:
// the union over the workers it ran.
ControlsBack controlsGivenBack(Operation operation, int dev);

class OperationReport {
public:
    virtual ~OperationReport() = default;

    // All of these are called on the workers' threads, each thread's calls in
    // order; an implementation that touches widgets queues them.

    // The status text of writer `dev` (code-page bytes).
    virtual void writerStatus(int dev, const std::string& text) = 0;
    // One log line with its colour (code-page bytes, line ends included).
    virtual void logLine(Rgb color, const std::string& text) = 0;
    // The common start read writer `dev`'s identification text (code-page
    // bytes, as the writer sent it). Nothing by default.
    virtual void writerIdentified(int /*dev*/, const std::string& /*identification*/) {}
    // Writer `dev` has finished; its device entry is closed.
    virtual void writerDone(Operation operation, int dev, OperationStatus status) = 0;
    // The operation's last writer has finished: the page is idle again.
    virtual void operationDone(Operation operation, const ControlsBack& controls) = 0;
};

// A MessageLog whose lines go to a report, so that the protocol's own log
// lines reach whoever shows the operation.
class ReportLog : public MessageLog {
public:
    explicit ReportLog(OperationReport& report) : report_(report) {}

protected:
    void append(Rgb color, std::string text) override { report_.logLine(color, text); }

private:
    OperationReport& report_;
};
