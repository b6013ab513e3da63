// Config Save to ten writers against Config Save to one, on emulated writers
// whose every reply takes 1 ms: the writers are served in parallel, so ten
// should cost little more than one. Prints the times and their ratio; exits
// 1 when the ratio is over 1.15.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "EmulatedTransport.h"
#include "config/ConfigBuilder.h"
#include "core/MessageBoxes.h"
#include "core/MessageLog.h"
#include "operations/ConfigOperations.h"
#include "operations/WriterSession.h"

namespace {

class QuietLog : public MessageLog {
protected:
    void append(Rgb, std::string) override {}
};
class QuietBoxes : public MessageBoxes {
public:
    void information(const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
};
class NoList : public WriterListView {
public:
    void clearWriters() override {}
    void addWriter(const std::string&, const WriterDetails&) override {}
};
class DoneReport : public OperationReport {
public:
    void writerStatus(int, const std::string&) override {}
    void logLine(Rgb, const std::string&) override {}
    void writerDone(Operation, int, OperationStatus status) override
    {
        if (status != OS_EXIT_OK)
            failed = true;
    }
    void operationDone(Operation, const ControlsBack&) override { done = true; }
    std::atomic<bool> done{false};
    std::atomic<bool> failed{false};
};

// A configuration of ten files, as a page would build it.
std::shared_ptr<const ConfigSaveJob> tenFileJob()
{
    ConfigSource s;
    for (int i = 0; i < 10; ++i) {
        s.targetEntries.push_back({1, "file" + std::to_string(i) + ".bin", 100 * i, i < 3 ? kTargetInFlash : kTargetNand, i == 3});
        (i < 3 ? s.inFlashCount : s.nandCount) += 1;
    }
    s.buzzer = "ON";
    s.chip = "SOLVAN";
    s.crystal = "11289600";
    s.fatVerify = "Enable";
    s.erase = "Disable";
    ConfigText text;
    BuildConfigText(text, s);
    auto job = std::make_shared<ConfigSaveJob>();
    job->lines = text.linesToSend(10);
    return job;
}

// Milliseconds for one Config Save to `writers` writers.
double saveMs(int writers, const std::shared_ptr<const ConfigSaveJob>& job)
{
    QuietLog log;
    QuietBoxes boxes;
    NoList list;
    EmulatedBus bus;
    for (int i = 0; i < writers; ++i) {
        auto w = std::make_shared<EmulatedWriter>();
        WriterFaults slow;
        slow.replyDelay = std::chrono::milliseconds(1);
        w->setFaults(slow);
        bus.plug(w);
    }
    WriterSession session(log, boxes, list);
    session.setBackend([&bus](TransportServices services) -> std::unique_ptr<TransportBackend> {
        return std::make_unique<EmulatedTransport>(std::move(services), bus, std::chrono::milliseconds(2000));
    });
    session.RelistWriters();
    while (session.busy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    std::vector<int> devices;
    for (int i = 0; i < writers; ++i)
        devices.push_back(i);
    DoneReport report;
    QElapsedTimer timer;
    timer.start();
    session.reopenWriters();
    session.startOperation(Operation::ConfigSave, devices, ConfigSaveMiddle(job), report);
    while (!report.done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (report.failed)
        std::printf("a writer failed\n");
    return ms;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const auto job = tenFileJob();
    std::printf("Config Save of %zu lines, every reply after 1 ms (median of 5 runs)\n", job->lines.size());
    std::vector<double> one, ten;
    for (int run = 0; run < 5; ++run) {
        one.push_back(saveMs(1, job));
        ten.push_back(saveMs(10, job));
    }
    const double a = median(one), b = median(ten);
    std::printf("%-10s %10s\n", "writers", "time (ms)");
    std::printf("%-10d %10.1f\n", 1, a);
    std::printf("%-10d %10.1f\n", 10, b);
    std::printf("ratio 10/1: %.3f (goal <= 1.15)\n", b / a);
    return b / a <= 1.15 ? 0 : 1;
}
