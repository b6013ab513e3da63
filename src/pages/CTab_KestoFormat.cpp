#include "pages/CTab_KestoFormat.h"

#include <QKeyEvent>
#include <QPushButton>

#include <algorithm>
#include <numeric>
#include <vector>

#include "app/DialogUnits.h"
#include "app/MainWindow.h"
#include "app/MessageLogPane.h"
#include "core/MessageBoxes.h"
#include "operations/KestoInitialWorker.h"

namespace {

constexpr const char* kCannotOpen = "Cannot Open SOLVAN USB Device!";
constexpr const char* kNoContact = "No Contact SOLVAN USB Device!";

} // namespace

CTab_KestoFormat::CTab_KestoFormat(QWidget* parent)
    : QWidget(parent)
{
    setFont(DialogUnits::dialogFont());
    const DialogUnits du(font());
    resize(du.x(235), du.y(170));

    run_ = new QPushButton(QStringLiteral("VREN Kesto Initialization -> RUN"), this);
    run_->setObjectName(QStringLiteral("initialRun"));
    run_->setAutoDefault(false);
    run_->setGeometry(du.rect(35, 51, 166, 34));
    connect(run_, &QPushButton::clicked, this, &CTab_KestoFormat::OnInitialRun);
}

void CTab_KestoFormat::OnInitialRun()
{
    CVREN_KESTO_CONFIGURATORDlg* window = mainWindow();
    // A click while the writers are busy is swallowed by the window; the
    // keyboard can still press the button, and must not close writers under
    // a relisting or another operation.
    if (!window || window->operationRunning())
        return;
    if (!window->boxes().askYesNo(kConfirmText, kConfirmCaption))
        return;

    WriterSession& session = window->session();
    // Nothing is going to run on the writers: they are not kept open.
    auto closeAll = [&] {
        for (int i = 0; i < kMaxDevices; ++i)
            session.transport().CloseDevice(i);
    };
    auto refuse = [&](const char* text) {
        closeAll();
        window->messageLog()->LogColored(kLogErrorColor, "%s\r\n", text);
        window->boxes().information(text);
    };
    if (session.reopenWriters() == 0) {
        refuse(kCannotOpen);
        return;
    }
    const int listed = session.listedCount;
    if (listed <= 0) {
        refuse(kNoContact);
        return;
    }
    const int workers = std::min(listed, kMaxDevices);
    // A writer opened but not listed (plugged in since) gets no worker, so
    // nothing would close it.
    for (int i = workers; i < kMaxDevices; ++i)
        session.transport().CloseDevice(i);
    std::vector<int> devices(std::size_t(workers), 0);
    std::iota(devices.begin(), devices.end(), 0);
    // Disables the button and sets initRunning until the last worker is done.
    if (!window->runOperation(Operation::Initialization, devices, KestoInitialWorker(*clock_)))
        closeAll();
}

void CTab_KestoFormat::DisableOperationControls()
{
    run_->setEnabled(false);
}

void CTab_KestoFormat::GiveControlsBack(const ControlsBack& controls)
{
    if (controls.initButton)
        run_->setEnabled(true);
}

void CTab_KestoFormat::keyPressEvent(QKeyEvent* event)
{
    // Enter never presses the button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
