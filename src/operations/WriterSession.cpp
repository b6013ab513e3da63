#include "operations/WriterSession.h"

#include <algorithm>
#include <cstdio>

#include "core/MessageBoxes.h"
#include "core/MessageLog.h"
#include "writer/ContactCheck.h"

namespace {

// "\t☞ USB Devices are relisted.\r\n", the mark in the log's code page.
constexpr const char* kRelistedLine = "\t\xA2\xD1 USB Devices are relisted.\r\n";

} // namespace

WriterSession::WriterSession(MessageLog& log, MessageBoxes& boxes, WriterListView& view)
    : log_(log), boxes_(boxes), view_(view), poster_(std::make_unique<Poster>())
{
    deviceTable_.setCloseFailureHandler([&boxes](int index) {
        char text[64];
        std::snprintf(text, sizeof text, "No.<%d> USB Device Close Error!", index);
        boxes.information(text);
    });
    runner_ = std::make_unique<OperationRunner>(usbTransport_);
}

WriterSession::~WriterSession()
{
    // Workers end at their next step; nothing they post back runs any more.
    runner_->requestStop();
    runner_->join();
    poster_.reset();
    // The back end's devices go before the back end itself.
    for (int i = 0; i < kMaxDevices; ++i)
        deviceTable_.close(i);
}

void WriterSession::post(std::function<void()> fn)
{
    poster_->post(std::move(fn));
}

void WriterSession::setBackend(const BackendFactory& makeBackend)
{
    TransportServices services{deviceTable_, boxes_, log_, [this](void* handle) { RegisterDeviceInfo(handle); }};
    backend_ = makeBackend(services);
    if (backend_)
        usbTransport_ = bindTransport(*backend_);
}

void WriterSession::setNotifier(std::unique_ptr<DeviceNotifier> notifier)
{
    notifier_ = std::move(notifier);
    if (notifier_)
        notifier_->setEventHandler([this](const DeviceEvent& event) { OnDeviceChange(event); });
}

bool WriterSession::registerWriterClass()
{
    if (notifier_ && notifier_->available())
        classNotification_ = notifier_->registerWriterClass();
    return classNotification_ != nullptr;
}

bool WriterSession::busy() const
{
    return relisting_ || runner_->running() || runningOperation_ >= 0 || (busyCheck_ && busyCheck_());
}

std::optional<Operation> WriterSession::runningOperation() const
{
    const int op = runningOperation_;
    if (op < 0)
        return std::nullopt;
    return Operation(op);
}

void WriterSession::RegisterDeviceInfo(void* handle)
{
    if (!relistInProgress || !handle)
        return;
    void* notification = nullptr;
    // Without a working notifier that was said once at start-up; the writers
    // are still listed.
    if (notifier_ && notifier_->available()) {
        UsbDeviceIdentity identity;
        for (int i = 0; i < kMaxDevices; ++i) {
            if (auto device = deviceTable_.device(i); device && device->notificationHandle() == handle) {
                identity = device->identity();
                break;
            }
        }
        notification = notifier_->registerHandle(handle, identity);
        if (!notification)
            log_.LogColored(kLogErrorColor, "Failed RegisterDeviceInfo!\r\n");
    }
    notificationList.push_back({listedCount, handle, notification});
    ++listedCount;
}

void WriterSession::unregisterAllListed()
{
    for (std::int32_t i = 0; i < listedCount && std::size_t(i) < notificationList.size(); ++i) {
        if (notifier_ && notificationList[std::size_t(i)].notificationHandle)
            notifier_->unregister(notificationList[std::size_t(i)].notificationHandle);
    }
    notificationList.clear();
    listedCount = 0;
}

void WriterSession::RelistWriters(int count, bool afterRemoval, std::function<void()> then)
{
    relisting_ = true;
    // A relisting that registers its writers rebuilds the list whole: records
    // left from an earlier one would count their writers twice. After a
    // removal the list has just been cut and stays as it is.
    if (!afterRemoval) {
        unregisterAllListed();
        relistInProgress = 1;
    }
    reopenWriters();
    if (count < 0)
        count = deviceTable_.deviceCount;
    count = std::clamp(count, 0, kMaxDevices);

    view_.clearWriters();

    // A writer that does not answer holds its check for the transport's
    // time-out; checking all writers at once keeps a relisting to about one
    // time-out however many are silent. Each check logs into its own buffer.
    struct Check {
        LogBuffer log;
        ContactKind kind = ContactKind::Unknown;
        WriterDetails details;
    };
    auto checks = std::make_shared<std::vector<Check>>(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (const auto device = deviceTable_.device(i))
            (*checks)[std::size_t(i)].details.location = device->identity().location;
    }

    auto finish = [this, checks, afterRemoval, then = std::move(then)] {
        for (std::size_t i = 0; i < checks->size(); ++i) {
            Check& check = (*checks)[i];
            check.log.replayInto(log_);
            view_.addWriter(contactStatusTextFor(check.kind, afterRemoval), check.details);
            // Written whatever the status, as the list has always done.
            log_.LogText("VREN Kesto Device No.%d Contact - OK!\r\n", int(i) + 1);
        }
        for (int i = 0; i < kMaxDevices; ++i)
            usbTransport_.CloseDevice(i);
        relistInProgress = 0;
        relisting_ = false;
        if (then)
            then();
        // A device change that came meanwhile waited for this relisting.
        if (pendingArrival_ || !pendingRemovals_.empty())
            post([this] { actOnPendingDeviceChanges(); });
    };

    std::vector<int> devices(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        devices[std::size_t(i)] = i;
    auto check = [this, checks](int dev) {
        Check& c = (*checks)[std::size_t(dev)];
        KestoProtocol protocol(runner_->workerTransport(), c.log);
        FirmwareVersionReply reply;
        c.kind = CheckContact(protocol, dev, reply);
        if (c.kind != ContactKind::Unknown)
            c.details.firmwareVersion = reply.versionText();
    };
    if (devices.empty() || runner_->running()) {
        // No writer to check (or, never expected, work still running).
        finish();
        return;
    }
    runner_->start(devices, std::move(check), [this, finish] { post(finish); });
}

void WriterSession::OnDeviceChange(const DeviceEvent& event)
{
    // Relisting under running workers would send contact checks into the
    // middle of their exchanges: the change waits for the operation's end.
    const bool wait = busy();
    if (event.eventCode == kDeviceArrival) {
        if (wait)
            pendingArrival_ = event;
        else
            deviceArrived(event);
    } else if (event.eventCode == kDeviceRemoveComplete && event.deviceType == kDeviceTypeHandle) {
        const bool listed = event.notificationHandle
            && std::any_of(notificationList.begin(), notificationList.end(),
                   [&](const NotificationRecord& r) { return r.notificationHandle == event.notificationHandle; });
        if (!listed)
            return;
        if (wait)
            pendingRemovals_.push_back(event);
        else if (forgetRemovedWriter(event))
            relistAfterRemoval();
    }
}

void WriterSession::deviceArrived(const DeviceEvent& event)
{
    RelistWriters(-1, false, [this, event] {
        log_.LogColored(kLogDeviceChangeColor, "USB Device Connected!\r\n");
        log_.LogColored(kLogDeviceChangeColor, "%s", kRelistedLine);
        // What the platform reported, in place of the broadcast record.
        log_.LogText("udev action = %s\r\n", event.action.c_str());
        log_.LogText("device type = 0x%08x\r\n", unsigned(event.deviceType));
        log_.LogColored(kLogDeviceChangeColor, "udev devnode = %s\r\n", event.deviceNode.c_str());
        log_.LogColored(kLogDeviceChangeColor, "udev vendor:product = %s\r\n", event.vendorProduct.c_str());
    });
}

bool WriterSession::forgetRemovedWriter(const DeviceEvent& event)
{
    if (!event.notificationHandle)
        return false;
    std::int32_t p = -1;
    for (std::int32_t i = 0; i < listedCount && std::size_t(i) < notificationList.size(); ++i) {
        if (notificationList[std::size_t(i)].notificationHandle == event.notificationHandle) {
            p = i;
            break;
        }
    }
    if (p < 0)
        return false;

    log_.LogColored(kLogDeviceChangeColor, "USB Device Unconnected!\r\n");
    log_.LogColored(kLogDeviceChangeColor, "\t\xA2\xD1 USB Device No.%d is removed.\r\n", p + 1);
    if (notifier_)
        notifier_->unregister(event.notificationHandle);

    notificationScratchList.clear();
    notificationScratchList.assign(notificationList.begin(), notificationList.begin() + listedCount);
    notificationList.clear();
    for (std::int32_t i = 0; i < std::int32_t(notificationScratchList.size()); ++i) {
        if (i == p)
            continue;
        NotificationRecord record = notificationScratchList[std::size_t(i)];
        record.position = std::int32_t(notificationList.size());
        notificationList.push_back(record);
    }
    listedCount -= 1;
    return true;
}

void WriterSession::relistAfterRemoval()
{
    RelistWriters(listedCount, true, [this] { log_.LogColored(kLogDeviceChangeColor, "%s", kRelistedLine); });
}

void WriterSession::actOnPendingDeviceChanges()
{
    if (busy())
        return;
    std::optional<DeviceEvent> arrival;
    std::swap(arrival, pendingArrival_);
    std::vector<DeviceEvent> removals;
    std::swap(removals, pendingRemovals_);

    bool removed = false;
    for (const DeviceEvent& event : removals)
        removed = forgetRemovedWriter(event) || removed;
    // One relisting for everything that happened: an arrival lists all the
    // writers present anyway.
    if (arrival)
        deviceArrived(*arrival);
    else if (removed)
        relistAfterRemoval();
}

std::int32_t WriterSession::reopenWriters()
{
    for (int i = 0; i < kMaxDevices; ++i)
        usbTransport_.CloseDevice(i);
    return usbTransport_.OpenAllDevices();
}

bool WriterSession::startOperation(Operation operation, const std::vector<int>& devices, OperationMiddle middle,
                                   OperationReport& report)
{
    if (relisting_ || runningOperation_ >= 0 || runner_->running())
        return false;
    runningOperation_ = int(operation);
    const bool started = runner_->startOperation(operation, devices, std::move(middle), report, [this] {
        post([this] {
            runningOperation_ = -1;
            actOnPendingDeviceChanges();
        });
    });
    if (!started)
        runningOperation_ = -1;
    return started;
}
