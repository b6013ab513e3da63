#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QPointer>
#include <QUrl>
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
#include "core/AuditLog.h"
#include "app/COptionTabCtrl.h"
#include "core/CodePage.h"
#include "app/ContactList.h"
#include "app/DialogUnits.h"
#include "app/MessageLogPane.h"
#include "app/QtMessageBoxes.h"
#include "app/TabImages.h"
#include "app/WindowPlacement.h"
#include "config/SettingsFile.h"
#include "pages/CTab_ConfigSave.h"
#include "pages/CTab_KestoFormat.h"
#include "transport/LibUsbTransport.h"
#include "transport/UdevDeviceNotifier.h"
#include "transport/WinUsbTransport.h"
#include "update/CAboutDlg.h"
#include "update/UpdateBoxes.h"
#include "writer/ContactCheck.h"

namespace {

CVREN_KESTO_CONFIGURATORDlg* theMainWindow = nullptr;

// "VREN_KESTO_CONFIGURATOR" and the Korean for "information", with its accelerator.
constexpr const char* kAboutMenuText = "VREN_KESTO_CONFIGURATOR \xC1\xA4\xBA\xB8(&A)...";

} // namespace

// The writer list as the session sees it.
class CVREN_KESTO_CONFIGURATORDlg::ListView : public WriterListView {
public:
    explicit ListView(ContactList& list) : list_(list) {}
    void clearWriters() override { list_.RemoveContactRows(); }
    void addWriter(const std::string& statusText, const WriterDetails& details) override
    {
        list_.contactStatusText = statusText;
        list_.contactIdentity = {details.firmwareVersion, details.location, {}};
        list_.AddContactRow();
    }

private:
    ContactList& list_;
};

// What the workers report, brought to the UI thread. Log lines go to the
// pane, which queues them itself; everything else is posted to the window,
// in each worker's order.
class CVREN_KESTO_CONFIGURATORDlg::Report : public OperationReport {
public:
    explicit Report(CVREN_KESTO_CONFIGURATORDlg& window) : window_(window) {}

    void writerStatus(int dev, const std::string& text) override
    {
        window_.poster_->post([w = &window_, dev, text] {
            if (dev < w->contactList_->GetRowCount())
                w->contactList_->SetStatusText(dev, text);
        });
    }
    void logLine(Rgb color, const std::string& text) override { window_.messageLog_->LogPreformatted(color, text); }
    void writerIdentified(int dev, const std::string& identification) override
    {
        window_.poster_->post([w = &window_, dev, identification] {
            w->contactList_->SetRowIdentification(dev, identification);
        });
    }
    void writerDone(Operation operation, int dev, OperationStatus status) override
    {
        window_.poster_->post([w = &window_, operation, dev, status] {
            w->writeResultRecord(operation, dev, status);
        });
    }
    void operationDone(Operation operation, const ControlsBack& controls) override
    {
        window_.poster_->post([w = &window_, operation, controls] { w->onOperationDone(operation, controls); });
    }

private:
    CVREN_KESTO_CONFIGURATORDlg& window_;
};

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
    poster_ = std::make_unique<Poster>();
    // A log file that cannot be written is said once, in the pane, and
    // never stops anything.
    auditLog_ = std::make_unique<AuditLog>(
        environment_.logFolder.isEmpty() ? AuditLog::defaultFolder() : environment_.logFolder,
        [this](const QString& message) {
            // Later, never inside the append that failed.
            poster_->post([this, text = toCodePage(message)] {
                messageLog_->LogColored(kLogErrorColor, "%s\r\n", text.c_str());
            });
        });
    messageLog_->setAuditLog(auditLog_.get());
    listView_ = std::make_unique<ListView>(*contactList_);
    report_ = std::make_unique<Report>(*this);
    session_ = std::make_unique<WriterSession>(*messageLog_, *boxes_, *listView_);
    session_->setBusyCheck([this] {
        return (initPage_ && initPage_->initRunning) || (configPage_ && (configPage_->configLoadRunning
                                                                         || configPage_->configSaveRunning));
    });
    qApp->installEventFilter(this);
}

CVREN_KESTO_CONFIGURATORDlg::~CVREN_KESTO_CONFIGURATORDlg()
{
    qApp->removeEventFilter(this);
    // Workers still running stop at their next step; the session waits for
    // them (one transfer at most) before the panes they report to go.
    session_.reset();
    messageLog_->setAuditLog(nullptr);
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
    contactList_ = new ContactList(this);
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
    // 14. Arrivals of writers, for as long as the program runs, once the
    // first writers are listed. Without them the program still works; the
    // user only has to restart it to see a writer plugged in later.
    session_->RelistWriters(-1, false, [this] {
        if (session_->notifier() && !session_->registerWriterClass())
            messageLog_->LogColored(kLogErrorColor,
                "USB device notifications are not available: writers plugged in or out are not noticed.\r\n");
    });

    // 15. The first chip, speed and buzzer from the settings file.
    configPage_->LoadPreviousSettings(SettingsFile::load(settingsFilePath_.toStdString()));

    // 16. Focus on "Config Load".
    configPage_->configLoadButton()->setFocus(Qt::OtherFocusReason);
}

void CVREN_KESTO_CONFIGURATORDlg::fillTransport()
{
    backendKind_ = backendForOsVersion(osVersionCode_);
    session_->setBackend([this](TransportServices services) -> std::unique_ptr<TransportBackend> {
        std::unique_ptr<TransportBackend> backend;
        if (environment_.makeBackend)
            backend = environment_.makeBackend(backendKind_, services);
        if (!backend) {
            if (backendKind_ == BackendKind::LibUsb)
                backend = std::make_unique<LibUsbTransport>(services);
            else
                backend = std::make_unique<WinUsbTransport>(services);
        }
        return backend;
    });
}

void CVREN_KESTO_CONFIGURATORDlg::createNotifier()
{
    if (environment_.makeNotifier)
        session_->setNotifier(environment_.makeNotifier());
    else if (!environment_.makeBackend)
        session_->setNotifier(std::make_unique<UdevDeviceNotifier>());
}

void CVREN_KESTO_CONFIGURATORDlg::RelistWriters(int count, bool afterRemoval)
{
    session_->RelistWriters(count, afterRemoval);
}

void CVREN_KESTO_CONFIGURATORDlg::operationFinished()
{
    session_->actOnPendingDeviceChanges();
}

bool CVREN_KESTO_CONFIGURATORDlg::operationRunning() const
{
    return session_->busy();
}

std::atomic<int>* CVREN_KESTO_CONFIGURATORDlg::busyFlag(Operation operation) const
{
    switch (operation) {
    case Operation::Initialization: return initPage_ ? &initPage_->initRunning : nullptr;
    case Operation::ConfigLoad: return configPage_ ? &configPage_->configLoadRunning : nullptr;
    case Operation::ConfigSave: return configPage_ ? &configPage_->configSaveRunning : nullptr;
    }
    return nullptr;
}

bool CVREN_KESTO_CONFIGURATORDlg::runOperation(Operation operation, const std::vector<int>& devices,
                                               OperationMiddle middle, const QString& resultNote)
{
    if (!session_->startOperation(operation, devices, std::move(middle), *report_))
        return false;
    resultNote_ = resultNote;
    if (operation == Operation::Initialization) {
        if (initPage_)
            initPage_->DisableOperationControls();
    } else if (configPage_) {
        configPage_->DisableOperationControls();
    }
    if (std::atomic<int>* flag = busyFlag(operation))
        *flag = 1;
    return true;
}

void CVREN_KESTO_CONFIGURATORDlg::onOperationDone(Operation operation, const ControlsBack& controls)
{
    // The page is busy until its last worker has finished; its controls come
    // back once, now.
    if (operation == Operation::Initialization) {
        if (initPage_)
            initPage_->GiveControlsBack(controls);
    } else if (configPage_) {
        configPage_->GiveControlsBack(controls);
    }
    if (std::atomic<int>* flag = busyFlag(operation))
        *flag = 0;
    if (quitWhenIdle_)
        close();
}

void CVREN_KESTO_CONFIGURATORDlg::showAbout()
{
    UpgradeCheckEnvironment update;
    update.programFolder = programDirectory_;
    update.settingsFilePath = settingsFilePath_;
    // Boxes given to the window (tests, the demo bench) hear the update
    // check's texts too; otherwise it shows its own, with their captions.
    std::unique_ptr<UpdateBoxes> boxes;
    if (environment_.boxes)
        boxes = std::make_unique<ForwardingUpdateBoxes>(*environment_.boxes);
    else
        boxes = std::make_unique<QtUpdateBoxes>(this, caption());
    update.boxes = boxes.get();
    update.writeProfile = [this](const char* key, int value) {
        QSettings& settings = profile();
        settings.beginGroup(QString::fromLatin1(kProfileGroup));
        settings.setValue(QString::fromLatin1(key), value);
        settings.endGroup();
    };
    // After the hand-over to the updater the window closes as cancelled.
    CAboutDlg about(this, std::move(update), [this] { reject(); });
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

void CVREN_KESTO_CONFIGURATORDlg::writeResultRecord(Operation operation, int dev, OperationStatus status)
{
    // One line per writer result: what ran, on which writer, and how it ended.
    const ContactList::WriterIdentityText* id = contactList_->RowIdentity(dev);
    const QString line = AuditLog::resultRecord(operationName(operation), dev, id ? id->identification : std::string(),
                                                id ? id->location : std::string(),
                                                finishStatusText(operation, status), resultNote_);
    auditLog_->appendLine(line);
}

void CVREN_KESTO_CONFIGURATORDlg::openLogFolder()
{
    QDir().mkpath(auditLog_->folder());
    QDesktopServices::openUrl(QUrl::fromLocalFile(auditLog_->folder()));
}

void CVREN_KESTO_CONFIGURATORDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(fromCodePage(kAboutMenuText), this, &CVREN_KESTO_CONFIGURATORDlg::showAbout);
    menu.addAction(QStringLiteral("Open log folder"), this, &CVREN_KESTO_CONFIGURATORDlg::openLogFolder);
    menu.exec(event->globalPos());
}

void CVREN_KESTO_CONFIGURATORDlg::closeEvent(QCloseEvent* event)
{
    if (const int working = session_->workingWriters(); working > 0) {
        // Quitting now would cut writers off in the middle of their work:
        // the user decides, knowing which state they are left in.
        if (!quitWhenIdle_) {
            char text[256];
            std::snprintf(text, sizeof text,
                "%d writer(s) are still working.\n\nQuit anyway? The writers stop after their current transfer; "
                "an interrupted writer must be prepared again.", working);
            if (boxes_->askYesNo(text)) {
                quitWhenIdle_ = true;
                session_->stopWork();
                messageLog_->LogColored(kLogErrorColor, "Quitting: stopping %d writer(s) after their current transfer.\r\n",
                                        working);
                setEnabled(false);
            }
        }
        event->ignore();
        return;
    }
    writeWindowPlacement(profile(), frameGeometry());
    QDialog::closeEvent(event);
}
