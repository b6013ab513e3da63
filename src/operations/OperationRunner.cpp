#include "operations/OperationRunner.h"

#include <memory>

OperationRunner::OperationRunner(const UsbTransport& transport)
    : transport_(transport)
{
    workerTransport_.OpenAllDevices = [this] { return transport_.OpenAllDevices(); };
    workerTransport_.CloseDevice = [this](std::int32_t index) { transport_.CloseDevice(index); };
    workerTransport_.WriteDevice = [this](std::int32_t index, const std::uint8_t* data, std::int32_t length) {
        return stop_ ? 0 : transport_.WriteDevice(index, data, length);
    };
    workerTransport_.ReadDevice = [this](std::int32_t index, std::uint8_t* buffer, std::int32_t length) {
        return stop_ ? 0 : transport_.ReadDevice(index, buffer, length);
    };
}

OperationRunner::~OperationRunner()
{
    requestStop();
    join();
}

void OperationRunner::join()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(threadsMutex_);
        threads.swap(threads_);
    }
    for (std::thread& t : threads) {
        if (t.joinable())
            t.join();
    }
}

bool OperationRunner::start(const std::vector<int>& devices, std::function<void(int dev)> work,
                            std::function<void()> lastDone)
{
    if (devices.empty() || running())
        return false;
    // Threads of the last run have done their work; they only have to end.
    join();
    stop_ = false;
    stopSource_ = std::stop_source();

    struct Shared {
        std::function<void(int)> work;
        std::function<void()> lastDone;
    };
    auto shared = std::make_shared<Shared>(Shared{std::move(work), std::move(lastDone)});
    active_ = int(devices.size());
    std::lock_guard lock(threadsMutex_);
    for (int dev : devices) {
        threads_.emplace_back([this, dev, shared] {
            shared->work(dev);
            if (active_.fetch_sub(1) == 1 && shared->lastDone)
                shared->lastDone();
        });
    }
    return true;
}

bool OperationRunner::startOperation(Operation operation, const std::vector<int>& devices, OperationMiddle middle,
                                     OperationReport& report, std::function<void()> lastDone)
{
    // The controls come back once, with what every worker would give back.
    ControlsBack controls;
    for (int dev : devices)
        controls |= controlsGivenBack(operation, dev);

    auto work = [this, operation, middle = std::move(middle), &report](int dev) {
        ReportLog log(report);
        KestoProtocol protocol(workerTransport_, log);
        WriterIdentity identity;
        OperationStatus status = CommonStart(protocol, log, dev, identity);
        // Only a successful identification request leaves a length.
        if (identity.identification.length > 0)
            report.writerIdentified(dev, identity.identification.text());
        if (status == OS_SUCCESS && middle) {
            WorkerContext context{dev, protocol, log, report, workerTransport_, identity, stop_, stopSource_.get_token()};
            status = middle(context);
        }
        // A worker told to stop may have been cut off anywhere: it never
        // claims success (its finish says "Error!").
        if (status == OS_SUCCESS)
            status = stop_ ? OperationStatus(0) : OS_EXIT_OK;
        FinishOperation(operation, dev, status, workerTransport_, report);
    };
    auto done = [operation, controls, &report, lastDone = std::move(lastDone)] {
        report.operationDone(operation, controls);
        if (lastDone)
            lastDone();
    };
    return start(devices, std::move(work), std::move(done));
}
