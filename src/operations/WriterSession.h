#pragma once
// The writers as one program sees them: the device table, the back end and
// its transport table, the list of writers found by the last relisting with
// their removal registrations, the relisting itself, device changes held
// back while something runs, and the operation that runs.
//
// A session lives on one thread (the UI thread of the window, the main
// thread of a tool) and is used only there; its work on the writers runs on
// the runner's threads, and what comes back is posted to the session's
// thread. It knows nothing of widgets: what it shows goes to a log, message
// boxes and a WriterListView.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Poster.h"
#include "operations/OperationRunner.h"
#include "transport/DeviceNotifier.h"
#include "transport/DeviceTable.h"
#include "transport/TransportBackend.h"
#include "transport/UsbTransport.h"

class MessageBoxes;
class MessageLog;

// One listed writer and the registration that reports its removal.
struct NotificationRecord {
    std::int32_t position = 0;          // listing position from 0
    void* handle = nullptr;             // the back end's handle when it was listed
    void* notificationHandle = nullptr; // null if the registration failed
};

// What a relisting learns about a writer without asking it anything more.
struct WriterDetails {
    std::string firmwareVersion; // from the contact check (code-page bytes); empty if it did not answer
    std::string location;        // e.g. "usb:1-2.3"; empty if the back end does not know
};

// Where the session shows the writers it listed; called on the session's thread.
class WriterListView {
public:
    virtual ~WriterListView() = default;
    // The relisting starts: no writer is listed any more.
    virtual void clearWriters() = 0;
    // The next writer (index = the number listed so far), with its contact
    // status text (code-page bytes) and what the relisting learnt of it.
    virtual void addWriter(const std::string& statusText, const WriterDetails& details) = 0;
};

class WriterSession {
public:
    using BackendFactory = std::function<std::unique_ptr<TransportBackend>(TransportServices)>;

    WriterSession(MessageLog& log, MessageBoxes& boxes, WriterListView& view);
    ~WriterSession();
    WriterSession(const WriterSession&) = delete;
    WriterSession& operator=(const WriterSession&) = delete;

    // Builds the back end and fills the transport table; once, before anything else.
    void setBackend(const BackendFactory& makeBackend);
    // The notifier whose events come to OnDeviceChange; null for none.
    void setNotifier(std::unique_ptr<DeviceNotifier> notifier);
    DeviceNotifier* notifier() const { return notifier_.get(); }
    // Registers for arrivals of writers; false when that is not possible.
    bool registerWriterClass();

    // Something besides the session's own operations that must finish before
    // a device change is acted on (e.g. a page's busy flag).
    void setBusyCheck(std::function<bool()> busy) { busyCheck_ = std::move(busy); }

    // Closes all entries, opens all writers, checks each writer's contact
    // and lists it, closes all entries again. The checks run on the runner,
    // all at once; this returns before they end. Rows and log lines still
    // come out in index order, exactly as one check after the other would
    // give them, and `then` runs after the last row.
    // `count`: how many writers to list (-1: the number just opened).
    void RelistWriters(int count = -1, bool afterRemoval = false, std::function<void()> then = {});
    bool relisting() const { return relisting_; }

    // Called by the back end for every writer opened during a relisting.
    void RegisterDeviceInfo(void* handle);

    // A device notification (arrival 0x8000, removal 0x8004); others are
    // ignored. While a relisting or an operation runs it waits for its end.
    void OnDeviceChange(const DeviceEvent& event);

    // Acts on device changes that came while something ran, with one
    // relisting for all of them. Does nothing while something still runs.
    void actOnPendingDeviceChanges();

    // Closes all ten entries and opens all writers, as every operation does
    // first. What OpenAllDevices returned: nonzero on success.
    std::int32_t reopenWriters();

    // Starts a device operation on the listed device indexes (opened by
    // reopenWriters just before). False, and
    // nothing started, while a relisting or another operation runs, or with
    // no index. When the last worker has finished, a device change that came
    // meanwhile is acted on.
    bool startOperation(Operation operation, const std::vector<int>& devices, OperationMiddle middle,
                        OperationReport& report);
    std::optional<Operation> runningOperation() const;
    int workingWriters() const { return runner_->activeWorkers(); }
    // Anything on the writers: a relisting, an operation, or the busy check.
    bool busy() const;
    // Workers stop at their next step; for quitting.
    void stopWork() { runner_->requestStop(); }

    DeviceTable& deviceTable() { return deviceTable_; }
    const UsbTransport& transport() const { return usbTransport_; }
    OperationRunner& runner() { return *runner_; }

    std::vector<NotificationRecord> notificationList;
    std::vector<NotificationRecord> notificationScratchList;
    std::int32_t listedCount = 0;
    std::atomic<int> relistInProgress{0};

private:
    void post(std::function<void()> fn);
    void unregisterAllListed();
    void deviceArrived(const DeviceEvent& event);
    bool forgetRemovedWriter(const DeviceEvent& event);
    void relistAfterRemoval();

    MessageLog& log_;
    MessageBoxes& boxes_;
    WriterListView& view_;

    DeviceTable deviceTable_;
    std::unique_ptr<TransportBackend> backend_;
    UsbTransport usbTransport_;
    std::unique_ptr<OperationRunner> runner_;
    std::unique_ptr<DeviceNotifier> notifier_;
    void* classNotification_ = nullptr;
    std::function<bool()> busyCheck_;

    std::optional<DeviceEvent> pendingArrival_;
    std::vector<DeviceEvent> pendingRemovals_;
    bool relisting_ = false;
    std::atomic<int> runningOperation_{-1}; // an Operation, or -1

    // Receives what the runner's threads post back; goes first when the
    // session goes, so nothing posted runs on a half-destroyed session.
    std::unique_ptr<Poster> poster_;
};
