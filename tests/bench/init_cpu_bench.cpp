// How much CPU the Initialization's waits cost.
//
// Nine emulated writers (device indexes 1..9) go through the real
// Initialization worker on the machine's steady clock: the request, the
// 30-second quiet phase, the reply. Prints the CPU time each worker thread
// used for it and the CPU time of the whole process; exit status 1 if the
// nine together used more than 1 % of one core over the run.
//
//   init_cpu_bench [--unplugged K]
//
// --unplugged K: K of the nine writers are unplugged during the quiet phase,
// so that every read of their reply fails at once and they are waited for
// until the 40-second limit.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EmulatedTransport.h"
#include "core/MessageBoxes.h"
#include "core/MessageLog.h"
#include "operations/KestoInitialWorker.h"

namespace {

using namespace std::chrono_literals;

class QuietBoxes : public MessageBoxes {
public:
    void information(const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
};

class QuietLog : public MessageLog {
protected:
    void append(Rgb, std::string) override {}
};

// Keeps each writer's last status text and says when the operation is over.
class BenchReport : public OperationReport {
public:
    void writerStatus(int dev, const std::string& text) override
    {
        std::lock_guard lock(mutex_);
        status_[dev] = text;
    }
    void logLine(Rgb, const std::string&) override {}
    void writerDone(Operation, int, OperationStatus) override {}
    void operationDone(Operation, const ControlsBack&) override
    {
        std::lock_guard lock(mutex_);
        done_ = true;
        changed_.notify_all();
    }
    void waitDone()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return done_; });
    }
    std::string status(int dev)
    {
        std::lock_guard lock(mutex_);
        return status_[dev];
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::map<int, std::string> status_;
};

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& tv) { return double(tv.tv_sec) * 1e3 + double(tv.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    int unplugged = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--unplugged") == 0 && i + 1 < argc)
            unplugged = std::clamp(std::atoi(argv[++i]), 0, 9);
    }

    DeviceTable table;
    QuietBoxes boxes;
    QuietLog log;
    EmulatedBus bus;
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
    for (int i = 0; i < 10; ++i) {
        auto w = std::make_shared<EmulatedWriter>("VREN Kesto Writer SN-" + std::to_string(1001 + i));
        // Formatted before the quiet phase ends: one read of the reply.
        w->setInitDuration(20s);
        bus.plug(w);
        writers.push_back(w);
    }
    // The real back ends' time-out.
    EmulatedTransport backend({table, boxes, log, {}}, bus, 6000ms);
    const UsbTransport usb = bindTransport(backend);
    if (usb.OpenAllDevices() == 0 || table.deviceCount != 10) {
        std::fprintf(stderr, "the emulated writers did not open\n");
        return 2;
    }

    OperationRunner runner(usb);
    BenchReport report;
    std::mutex cpuMutex;
    std::map<int, double> cpuMs;
    const OperationMiddle initial = KestoInitialWorker(Clock::steady());
    auto measured = [&](WorkerContext& context) {
        const double before = threadCpuMs();
        const OperationStatus status = initial(context);
        const double used = threadCpuMs() - before;
        std::lock_guard lock(cpuMutex);
        cpuMs[context.dev] = used;
        return status;
    };
    const std::vector<int> nine{1, 2, 3, 4, 5, 6, 7, 8, 9};

    std::printf("Initialization of nine writers (device indexes 1..9) on the steady clock;"
                " %d unplugged during the quiet phase\n",
                unplugged);
    const double processBefore = processCpuMs();
    const auto started = std::chrono::steady_clock::now();
    runner.startOperation(Operation::Initialization, nine, measured, report);
    if (unplugged > 0) {
        std::this_thread::sleep_for(5s);
        for (int k = 0; k < unplugged; ++k)
            bus.unplug(writers[std::size_t(9 - k)]);
    }
    report.waitDone();
    runner.join();
    const double wallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double processMs = processCpuMs() - processBefore;

    std::printf("%-7s %-22s %12s\n", "writer", "status cell", "CPU (ms)");
    double total = 0;
    for (int dev : nine) {
        total += cpuMs[dev];
        std::printf("Dev%02d   %-22s %12.3f\n", dev + 1, report.status(dev).c_str(), cpuMs[dev]);
    }
    const double share = total / (wallS * 1e3) * 100.0;
    std::printf("nine writers: %.3f ms CPU in %.1f s = %.4f %% of one core (goal: under 1 %%)\n", total, wallS, share);
    std::printf("whole process (emulated writers included): %.3f ms CPU = %.4f %% of one core\n", processMs,
                processMs / (wallS * 1e3) * 100.0);
    return share < 1.0 ? 0 : 1;
}
