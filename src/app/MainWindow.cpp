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
#include "transport/StandInTransports.h"
#include "update/CAboutDlg.h"
#include "writer/ContactCheck.h"

namespace {

CVREN_KESTO_CONFIGURATORDlg* theMainWindow = nullptr;

// "VREN_KESTO_CONFIGURATOR" and the Korean for "information", with its accelerator.
constexpr const char* kAboutMenuText = "VREN_KESTO_CONFIGURATOR \xC1\xA4\xBA\xB8(&A)...";

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

    // 12, 13. The writer list.
    contactList_->InitContactList();
    RelistWriters();

    // 14. Device-interface notifications and 15. the settings file come with
    // plug/unplug handling and the configuration page.

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

void CVREN_KESTO_CONFIGURATORDlg::RegisterDeviceInfo(void* handle)
{
    // Removal notifications per writer come with plug/unplug handling.
    if (!relistInProgress || !handle)
        return;
}

void CVREN_KESTO_CONFIGURATORDlg::RelistWriters(int count, bool afterRemoval)
{
    relistInProgress = 1;
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
