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
#include "core/Poster.h"
#include "operations/OperationReport.h"
#include "operations/OperationRunner.h"
#include "operations/WriterSession.h"
#include "transport/DeviceNotifier.h"
#include "transport/DeviceTable.h"
#include "transport/TransportBackend.h"
#include "transport/UsbTransport.h"

class AuditLog;
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
    // Where the per-day log files go. Empty: the user's data folder, "logs".
    QString logFolder;
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

    // Lists the writers again (see WriterSession::RelistWriters); returns
    // before the contact checks end, the rows come when they have.
    // `count`: how many writers to list (-1: the number just opened).
    void RelistWriters(int count = -1, bool afterRemoval = false);
    bool relisting() const { return session_->relisting(); }

    // Any page operation running (their busy flags), or a relisting: clicks
    // inside the window wait for it.
    bool operationRunning() const;
    // The pages call this when the last worker of an operation has finished:
    // a device change that came meanwhile is acted on now, with one relisting.
    void operationFinished();

    // Starts a device operation on the given writers for its page: the page's
    // controls are disabled and its busy flag set until the last worker has
    // finished. False, and nothing changed, when it cannot start.
    // `resultNote` ends each writer's record line in the log file (a save's
    // SHA-256).
    bool runOperation(Operation operation, const std::vector<int>& devices, OperationMiddle middle,
                      const QString& resultNote = {});

    // Called by the back ends for every writer opened.
    void RegisterDeviceInfo(void* handle) { session_->RegisterDeviceInfo(handle); }

    // A device notification (arrival 0x8000, removal 0x8004); others are ignored.
    void OnDeviceChange(const DeviceEvent& event) { session_->OnDeviceChange(event); }
    DeviceNotifier* notifier() const { return session_->notifier(); }

    void showAbout();

    // The parts, for the pages, the workers and the tests.
    WriterSession& session() { return *session_; }
    DeviceTable& deviceTable() { return session_->deviceTable(); }
    const UsbTransport& transport() const { return session_->transport(); }
    MessageLogPane* messageLog() const { return messageLog_; }
    AuditLog& auditLog() const { return *auditLog_; }
    ContactList* contactList() const { return contactList_; }
    COptionTabCtrl* tabControl() const { return tabCtrl_; }
    CTab_ConfigSave* configPage() const { return configPage_; }
    CTab_KestoFormat* initPage() const { return initPage_; }
    MessageBoxes& boxes() const { return *boxes_; }
    std::int32_t osVersionCode() const { return osVersionCode_; }
    BackendKind backendKind() const { return backendKind_; }
    const QString& programDirectory() const { return programDirectory_; }
    const QString& settingsFilePath() const { return settingsFilePath_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class ListView;
    class Report;

    void buildLayout();
    void fillTransport();
    void createNotifier();
    QSettings& profile();
    std::atomic<int>* busyFlag(Operation operation) const;
    void onOperationDone(Operation operation, const ControlsBack& controls);
    void writeResultRecord(Operation operation, int dev, OperationStatus status);
    void openLogFolder();

    MainWindowEnvironment environment_;
    std::unique_ptr<QSettings> ownProfile_;
    std::unique_ptr<MessageBoxes> ownBoxes_;
    MessageBoxes* boxes_ = nullptr;

    // Brings what the workers report to the UI thread.
    std::unique_ptr<Poster> poster_;
    std::unique_ptr<AuditLog> auditLog_;
    QString resultNote_;
    std::unique_ptr<ListView> listView_;
    std::unique_ptr<Report> report_;
    std::unique_ptr<WriterSession> session_;
    std::int32_t osVersionCode_ = kOsCodeOther;
    BackendKind backendKind_ = BackendKind::WinUsb;
    // The user chose to quit while writers were still working.
    bool quitWhenIdle_ = false;

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
