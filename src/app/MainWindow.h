#pragma once
// The main window: the writer list, the message log and the two tab pages.
// It owns the device table and the transport table, and lists the writers at
// start-up (and again whenever writers come and go).

#include <QDialog>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/PlatformVersion.h"
#include "transport/DeviceNotifier.h"
#include "transport/DeviceTable.h"
#include "transport/TransportBackend.h"
#include "transport/UsbTransport.h"

class COptionTabCtrl;
class CTab_ConfigSave;
class CTab_KestoFormat;
class ContactList;
class MessageBoxes;
class MessageLogPane;
class QGroupBox;
class QSettings;

// What start-up takes from the world, so that tests and the demo bench can
// put something else in its place.
struct MainWindowEnvironment {
    // The platform version record (this machine's, unless a test says otherwise).
    OsVersionRecord osVersion = currentOsVersion();
    // Builds the back end the platform rule chose. Empty: the real back ends.
    std::function<std::unique_ptr<TransportBackend>(BackendKind, TransportServices)> makeBackend;
    // The per-user profile. Null: the user's own.
    QSettings* profile = nullptr;
    // Message boxes. Null: real ones, shown over the main window.
    MessageBoxes* boxes = nullptr;
    // The running executable's full path. Empty: the real one.
    QString executablePath;
    // Device notifications. Empty: the udev notifier with the real back ends,
    // and none (no plug and unplug) with a back end of makeBackend's.
    std::function<std::unique_ptr<DeviceNotifier>()> makeNotifier;
};

// One listed writer and the registration that reports its removal.
struct NotificationRecord {
    std::int32_t position = 0;          // listing position from 0
    void* handle = nullptr;             // the back end's handle when it was listed
    void* notificationHandle = nullptr; // null if the registration failed
};

class CVREN_KESTO_CONFIGURATORDlg : public QDialog {
    Q_OBJECT
public:
    // "VREN Kesto Configurator  [V 2.10.9176.9]", with two blanks before the bracket.
    static QString caption();

    explicit CVREN_KESTO_CONFIGURATORDlg(MainWindowEnvironment environment = {}, QWidget* parent = nullptr);
    ~CVREN_KESTO_CONFIGURATORDlg() override;

    // The start-up steps, in order. Called once, before the window is shown.
    void OnInitDialog();

    // Closes all entries, opens all writers, checks each writer's contact and
    // lists it, closes all entries again. The contact checks run at the same
    // time, one thread per writer; rows and log lines still come out in index
    // order, exactly as one after the other would give them.
    // `count`: how many writers to list (-1: the number just opened).
    void RelistWriters(int count = -1, bool afterRemoval = false);

    // Any page operation running (their busy flags).
    bool operationRunning() const;
    // The pages call this when the last worker of an operation has finished:
    // a device change that came meanwhile is acted on now, with one relisting.
    void operationFinished();

    // Called by the back ends for every writer opened.
    void RegisterDeviceInfo(void* handle);

    // A device notification (arrival 0x8000, removal 0x8004); others are ignored.
    void OnDeviceChange(const DeviceEvent& event);
    DeviceNotifier* notifier() const { return notifier_.get(); }

    void showAbout();

    // The parts, for the pages, the workers and the tests.
    DeviceTable& deviceTable() { return deviceTable_; }
    const UsbTransport& transport() const { return usbTransport_; }
    MessageLogPane* messageLog() const { return messageLog_; }
    ContactList* contactList() const { return contactList_; }
    COptionTabCtrl* tabControl() const { return tabCtrl_; }
    CTab_ConfigSave* configPage() const { return configPage_; }
    CTab_KestoFormat* initPage() const { return initPage_; }
    MessageBoxes& boxes() const { return *boxes_; }
    std::int32_t osVersionCode() const { return osVersionCode_; }
    BackendKind backendKind() const { return backendKind_; }
    const QString& programDirectory() const { return programDirectory_; }
    const QString& settingsFilePath() const { return settingsFilePath_; }

    std::vector<NotificationRecord> notificationList;
    std::vector<NotificationRecord> notificationScratchList;
    std::int32_t listedCount = 0;
    std::atomic<int> relistInProgress{0};

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildLayout();
    void fillTransport();
    void createNotifier();
    QSettings& profile();
    void relist(int count, bool afterRemoval);
    void unregisterAllListed();
    void deviceArrived(const DeviceEvent& event);
    // Takes the writer off the list; false if its handle is not listed.
    bool forgetRemovedWriter(const DeviceEvent& event);
    void relistAfterRemoval();
    void actOnPendingDeviceChanges();

    MainWindowEnvironment environment_;
    std::unique_ptr<QSettings> ownProfile_;
    std::unique_ptr<MessageBoxes> ownBoxes_;
    MessageBoxes* boxes_ = nullptr;

    DeviceTable deviceTable_;
    std::unique_ptr<TransportBackend> backend_;
    UsbTransport usbTransport_;
    std::unique_ptr<DeviceNotifier> notifier_;
    void* classNotification_ = nullptr;
    // Device changes held back while an operation (or a relisting) runs.
    std::optional<DeviceEvent> pendingArrival_;
    std::vector<DeviceEvent> pendingRemovals_;
    bool relisting_ = false;
    std::int32_t osVersionCode_ = kOsCodeOther;
    BackendKind backendKind_ = BackendKind::WinUsb;

    QGroupBox* contactGroup_ = nullptr;
    ContactList* contactList_ = nullptr;
    QGroupBox* logGroup_ = nullptr;
    MessageLogPane* messageLog_ = nullptr;
    COptionTabCtrl* tabCtrl_ = nullptr;
    CTab_ConfigSave* configPage_ = nullptr;
    CTab_KestoFormat* initPage_ = nullptr;

    QString programDirectory_;
    QString settingsFilePath_;
    bool initialised_ = false;
};

// The one reference through which pages and workers reach the main window.
// Written once at start-up, read afterwards.
CVREN_KESTO_CONFIGURATORDlg* mainWindow();
