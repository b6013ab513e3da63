#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/AppIcon.h"
#include "app/COptionTabCtrl.h"
#include "app/CodePage.h"
#include "app/ContactList.h"
#include "app/DialogUnits.h"
#include "app/MessageLogPane.h"
#include "app/QtMessageBoxes.h"
#include "app/TabImages.h"
#include "app/WindowPlacement.h"
#include "pages/CTab_ConfigSave.h"
#include "pages/CTab_KestoFormat.h"
#include "transport/LibUsbTransport.h"
#include "transport/UdevDeviceNotifier.h"
#include "transport/WinUsbTransport.h"
#include "update/CAboutDlg.h"
#include "writer/ContactCheck.h"

namespace {

CVREN_KESTO_CONFIGURATORDlg* theMainWindow = nullptr;

// "VREN_KESTO_CONFIGURATOR" and the Korean for "information", with its accelerator.
constexpr const char* kAboutMenuText = "VREN_KESTO_CONFIGURATOR \xC1\xA4\xBA\xB8(&A)...";

// "\t☞ USB Devices are relisted.\r\n", the mark in the log's code page.
constexpr const char* kRelistedLine = "\t\xA2\xD1 USB Devices are relisted.\r\n";

} // namespace

CVREN_KESTO_CONFIGURATORDlg* mainWindow()
{
    return theMainWindow;
}

QString CVREN_KESTO_CONFIGURATORDlg::caption()
{
    char text[96];
    std::snprintf(text, sizeof text, "VREN Kesto Configurator  [V %d.%d.%d.%d]", 2, 10, 9176, 9);
    return QString::fromLatin1(text);
}

CVREN_KESTO_CONFIGURATORDlg::CVREN_KESTO_CONFIGURATORDlg(MainWindowEnvironment environment, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint)
    , environment_(std::move(environment))
{
    setWindowTitle(QStringLiteral("VREN Kesto Configurator"));
    if (environment_.boxes) {
        boxes_ = environment_.boxes;
    } else {
        ownBoxes_ = std::make_unique<QtMessageBoxes>(this, caption());
        boxes_ = ownBoxes_.get();
    }
    buildLayout();
    qApp->installEventFilter(this);
}

CVREN_KESTO_CONFIGURATORDlg::~CVREN_KESTO_CONFIGURATORDlg()
{
    qApp->removeEventFilter(this);
    // The back end's devices go before the back end itself.
    for (int i = 0; i < kMaxDevices; ++i)
        deviceTable_.close(i);
    if (theMainWindow == this)
        theMainWindow = nullptr;
}

void CVREN_KESTO_CONFIGURATORDlg::buildLayout()
{
    const QFont font = DialogUnits::dialogFont();
    setFont(font);
    const DialogUnits du(font);
    setFixedSize(du.x(478), du.y(300));

    contactGroup_ = new QGroupBox(QStringLiteral("Contact List of VREN Kesto"), this);
    contactGroup_->setGeometry(du.rect(3, 4, 226, 191));
    logGroup_ = new QGroupBox(QStringLiteral("Message Out"), this);
    logGroup_->setGeometry(du.rect(3, 197, 226, 100));

    messageLog_ = new MessageLogPane(this);
    messageLog_->setGeometry(du.rect(6, 207, 220, 86));
    contactList_ = new ContactList(*messageLog_, this);
    contactList_->setGeometry(du.rect(6, 14, 220, 178));

    tabCtrl_ = new COptionTabCtrl(this);
    tabCtrl_->setGeometry(du.rect(232, 3, 244, 294));
}

QSettings& CVREN_KESTO_CONFIGURATORDlg::profile()
{
    if (environment_.profile)
        return *environment_.profile;
    if (!ownProfile_)
        ownProfile_ = std::make_unique<QSettings>(QString::fromLatin1(kProfileOrganisation),
                                                  QString::fromLatin1(kProfileApplication));
    return *ownProfile_;
}

void CVREN_KESTO_CONFIGURATORDlg::OnInitDialog()
{
    if (initialised_)
        return;
    initialised_ = true;

    // 2. The About entry. There is no window-manager system menu to extend on
    // every desktop, so it sits in the window's context menu and on F1.
    auto* aboutShortcut = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(aboutShortcut, &QShortcut::activated, this, &CVREN_KESTO_CONFIGURATORDlg::showAbout);

    // 3. Icon.
    setWindowIcon(makeAppIcon());

    // 4. The global reference.
    theMainWindow = this;

    // 5. Program directory and settings file.
    const QString executable = environment_.executablePath.isEmpty() ? QCoreApplication::applicationFilePath()
                                                                     : environment_.executablePath;
    if (executable.isEmpty())
        boxes_->information("GetModuleFileName Failed!");
    programDirectory_ = executable.isEmpty() ? QString() : QFileInfo(executable).absolutePath();
    settingsFilePath_ = programDirectory_ + QStringLiteral("/Config-VREN_Kesto_Configurator.ini");

    // 6. Position from the profile; the size is fixed.
    const WindowPlacement placement = readWindowPlacement(profile());
    move(placement.left, placement.top);

    // 7. Caption.
    setWindowTitle(caption());

    // 8, 9. Platform and back end.
    if (!detectOsVersion(environment_.osVersion, osVersionCode_, *messageLog_))
        boxes_->information("Fail to get current OS!");
    fillTransport();

    // 10. The log pane sets its own background and default format.

    // 11. Tabs and pages.
    tabCtrl_->setImageList(makeTabImages());
    configPage_ = new CTab_ConfigSave(tabCtrl_);
    configPage_->setServices(*messageLog_, *boxes_);
    tabCtrl_->AddPage(QStringLiteral("Config Load/Save"), 1, configPage_);
    initPage_ = new CTab_KestoFormat(tabCtrl_);
    tabCtrl_->AddPage(QStringLiteral("Kesto Initial"), 0, initPage_);
    tabCtrl_->setSelectedColour(QColor(0, 0, 255));
    tabCtrl_->setHotColour(QColor(255, 128, 0));
    tabCtrl_->SelectFirstPage();
    // Enter never presses a button of this window.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    // 12, 13. The writer list. The notifier comes first: the relisting
    // registers every writer it opens for its removal.
    contactList_->InitContactList();
    createNotifier();
    RelistWriters();

    // 14. Arrivals of writers, for as long as the program runs. Without them
    // the program still works; the user only has to restart it to see a
    // writer plugged in later.
    if (notifier_) {
        if (notifier_->available())
            classNotification_ = notifier_->registerWriterClass();
        if (!classNotification_)
            messageLog_->LogColored(kLogErrorColor,
                "USB device notifications are not available: writers plugged in or out are not noticed.\r\n");
    }

    // 15. The settings file comes with the configuration page.

    // 16. Focus on "Config Load".
    configPage_->configLoadButton()->setFocus(Qt::OtherFocusReason);
}

void CVREN_KESTO_CONFIGURATORDlg::fillTransport()
{
    backendKind_ = backendForOsVersion(osVersionCode_);
    deviceTable_.setCloseFailureHandler([this](int index) {
        char text[64];
        std::snprintf(text, sizeof text, "No.<%d> USB Device Close Error!", index);
        boxes_->information(text);
    });
    TransportServices services{deviceTable_, *boxes_, *messageLog_, [this](void* handle) { RegisterDeviceInfo(handle); }};
    if (environment_.makeBackend)
        backend_ = environment_.makeBackend(backendKind_, services);
    if (!backend_) {
        if (backendKind_ == BackendKind::LibUsb)
            backend_ = std::make_unique<LibUsbTransport>(services);
        else
            backend_ = std::make_unique<WinUsbTransport>(services);
    }
    usbTransport_ = bindTransport(*backend_);
}

void CVREN_KESTO_CONFIGURATORDlg::createNotifier()
{
    if (environment_.makeNotifier)
        notifier_ = environment_.makeNotifier();
    else if (!environment_.makeBackend)
        notifier_ = std::make_unique<UdevDeviceNotifier>();
    if (notifier_)
        notifier_->setEventHandler([this](const DeviceEvent& event) { OnDeviceChange(event); });
}

void CVREN_KESTO_CONFIGURATORDlg::RegisterDeviceInfo(void* handle)
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
            messageLog_->LogColored(kLogErrorColor, "Failed RegisterDeviceInfo!\r\n");
    }
    notificationList.push_back({listedCount, handle, notification});
    ++listedCount;
}

void CVREN_KESTO_CONFIGURATORDlg::unregisterAllListed()
{
    for (std::int32_t i = 0; i < listedCount && std::size_t(i) < notificationList.size(); ++i) {
        if (notifier_ && notificationList[std::size_t(i)].notificationHandle)
            notifier_->unregister(notificationList[std::size_t(i)].notificationHandle);
    }
    notificationList.clear();
    listedCount = 0;
}

void CVREN_KESTO_CONFIGURATORDlg::RelistWriters(int count, bool afterRemoval)
{
    relisting_ = true;
    // A relisting that registers its writers rebuilds the list whole: records
    // left from an earlier one would count their writers twice. After a
    // removal the list has just been cut and stays as it is.
    if (!afterRemoval) {
        unregisterAllListed();
        relistInProgress = 1;
    }
    for (int i = 0; i < kMaxDevices; ++i)
        usbTransport_.CloseDevice(i);
    usbTransport_.OpenAllDevices();
    if (count < 0)
        count = deviceTable_.deviceCount;
    count = std::clamp(count, 0, kMaxDevices);

    contactList_->RemoveAllRows();

    // A writer that does not answer holds its check for the transport's
    // time-out; checking all writers at once keeps a relisting to about one
    // time-out however many are silent. Each check logs into its own buffer.
    struct Check {
        LogBuffer log;
        ContactKind kind = ContactKind::Unknown;
    };
    std::vector<std::unique_ptr<Check>> checks;
    for (int i = 0; i < count; ++i)
        checks.push_back(std::make_unique<Check>());
    {
        std::vector<std::thread> threads;
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([this, i, check = checks[std::size_t(i)].get()] {
                KestoProtocol protocol(usbTransport_, check->log);
                check->kind = CheckContact(protocol, i);
            });
        }
        for (std::thread& t : threads)
            t.join();
    }
    for (int i = 0; i < count; ++i) {
        Check& check = *checks[std::size_t(i)];
        check.log.replayInto(*messageLog_);
        contactList_->contactStatusText = contactStatusTextFor(check.kind, afterRemoval);
        contactList_->AddContactRow();
    }

    for (int i = 0; i < kMaxDevices; ++i)
        usbTransport_.CloseDevice(i);
    relistInProgress = 0;
    relisting_ = false;

    // A device change that came while a message box of this relisting was
    // open waited for it.
    if (pendingArrival_ || !pendingRemovals_.empty())
        QMetaObject::invokeMethod(this, [this] { actOnPendingDeviceChanges(); }, Qt::QueuedConnection);
}

void CVREN_KESTO_CONFIGURATORDlg::OnDeviceChange(const DeviceEvent& event)
{
    // Relisting under running workers would send contact checks into the
    // middle of their exchanges: the change waits for the operation's end.
    const bool wait = operationRunning() || relisting_;
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

void CVREN_KESTO_CONFIGURATORDlg::deviceArrived(const DeviceEvent& event)
{
    RelistWriters();
    messageLog_->LogColored(kLogDeviceChangeColor, "USB Device Connected!\r\n");
    messageLog_->LogColored(kLogDeviceChangeColor, "%s", kRelistedLine);
    // What the platform reported, in place of the broadcast record.
    messageLog_->LogText("udev action = %s\r\n", event.action.c_str());
    messageLog_->LogText("device type = 0x%08x\r\n", unsigned(event.deviceType));
    messageLog_->LogColored(kLogDeviceChangeColor, "udev devnode = %s\r\n", event.deviceNode.c_str());
    messageLog_->LogColored(kLogDeviceChangeColor, "udev vendor:product = %s\r\n", event.vendorProduct.c_str());
}

bool CVREN_KESTO_CONFIGURATORDlg::forgetRemovedWriter(const DeviceEvent& event)
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

    messageLog_->LogColored(kLogDeviceChangeColor, "USB Device Unconnected!\r\n");
    messageLog_->LogColored(kLogDeviceChangeColor, "\t\xA2\xD1 USB Device No.%d is removed.\r\n", p + 1);
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

void CVREN_KESTO_CONFIGURATORDlg::relistAfterRemoval()
{
    RelistWriters(listedCount, true);
    messageLog_->LogColored(kLogDeviceChangeColor, "%s", kRelistedLine);
}

void CVREN_KESTO_CONFIGURATORDlg::actOnPendingDeviceChanges()
{
    if (operationRunning() || relisting_)
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

void CVREN_KESTO_CONFIGURATORDlg::operationFinished()
{
    actOnPendingDeviceChanges();
}

bool CVREN_KESTO_CONFIGURATORDlg::operationRunning() const
{
    return (initPage_ && initPage_->initRunning) || (configPage_ && (configPage_->configLoadRunning || configPage_->configSaveRunning));
}

void CVREN_KESTO_CONFIGURATORDlg::showAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CVREN_KESTO_CONFIGURATORDlg::keyPressEvent(QKeyEvent* event)
{
    // Neither key closes the window nor presses a button. Controls that use
    // them (an in-place edit) take them before they get here.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

bool CVREN_KESTO_CONFIGURATORDlg::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) && operationRunning()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        // Clicks inside the window wait for the operation; the window frame
        // (the caption's close) belongs to the window manager and still works.
        if (widget && widget->window() == this && mouse->button() == Qt::LeftButton)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CVREN_KESTO_CONFIGURATORDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(fromCodePage(kAboutMenuText), this, &CVREN_KESTO_CONFIGURATORDlg::showAbout);
    menu.exec(event->globalPos());
}

void CVREN_KESTO_CONFIGURATORDlg::closeEvent(QCloseEvent* event)
{
    writeWindowPlacement(profile(), frameGeometry());
    QDialog::closeEvent(event);
}
