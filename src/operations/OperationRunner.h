#pragma once
// Runs work on writers in parallel: one thread per device index, each with
// its own protocol state, addressed by the index alone.
//
// The thread that starts work never waits for it: the last thread to finish
// says so through the callback it was given. Finished threads are joined at
// the next start and when the runner goes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "operations/FinishOperation.h"
#include "operations/OperationReport.h"
#include "transport/UsbTransport.h"

// What the middle of an operation gets from the worker that runs it.
struct WorkerContext {
    int dev;
    KestoProtocol& protocol;
    MessageLog& log; // lines go to the operation's report
    OperationReport& report;
    const UsbTransport& transport; // stops transferring once a stop is asked for
    const WriterIdentity& identity; // from the common start
    const std::atomic<bool>& stopRequested;
    // The same stop, for waits that must end when it comes (Clock::sleepUntil).
    std::stop_token stopToken;
};

// The operation's own steps for one writer, between the common start and the
// finish: OS_SUCCESS, or the status of the first step that failed.
using OperationMiddle = std::function<OperationStatus(WorkerContext&)>;

class OperationRunner {
public:
    // `transport` must outlive the runner.
    explicit OperationRunner(const UsbTransport& transport);
    ~OperationRunner();
    OperationRunner(const OperationRunner&) = delete;
    OperationRunner& operator=(const OperationRunner&) = delete;

    // Runs work(dev) for every listed device index at once, on the threads of
    // this runner. `lastDone` runs on the thread of the last one to finish.
    // False, and nothing started, while work still runs or with no index.
    bool start(const std::vector<int>& devices, std::function<void(int dev)> work,
               std::function<void()> lastDone = {});

    // A whole device operation: per writer the common start, the middle and
    // FinishOperation; then report.operationDone with the controls the
    // workers give back. `lastDone` runs after that, on the same thread.
    bool startOperation(Operation operation, const std::vector<int>& devices, OperationMiddle middle,
                        OperationReport& report, std::function<void()> lastDone = {});

    // Workers that have not finished yet.
    int activeWorkers() const { return active_.load(); }
    bool running() const { return active_.load() > 0; }

    // Workers stop at their next step: every transfer after this returns 0
    // at once (the one in flight finishes or times out). Cleared by start().
    void requestStop()
    {
        stop_ = true;
        stopSource_.request_stop();
    }
    const std::atomic<bool>& stopRequested() const { return stop_; }

    // The transport the workers use: the runner's own, which honours a stop.
    const UsbTransport& workerTransport() const { return workerTransport_; }

    // Waits for every thread to end. For shutdown only: never on a thread
    // that must stay responsive.
    void join();

private:
    const UsbTransport& transport_;
    UsbTransport workerTransport_;
    std::atomic<int> active_{0};
    std::atomic<bool> stop_{false};
    // Wakes workers sleeping on a clock; replaced by start() (while no work runs).
    std::stop_source stopSource_;
    std::mutex threadsMutex_;
    std::vector<std::thread> threads_; // guarded by threadsMutex_
};
