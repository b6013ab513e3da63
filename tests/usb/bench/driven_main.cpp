// The configurator as its users start it (the same application start, the
// real back end, notifier and message boxes), with a test's hand on the
// mouse: on emulated USB writers nothing else can press its buttons.
//
//   umockdev-wrapper build/kesto_usb_writers --init-ms 500 2
//       -- build/kesto_driven_configurator --initialize
//
// --initialize: once the first listing is done, opens "Kesto Initial",
// presses RUN and answers the question Yes; when the last writer has
// finished, prints the writer list and the log and ends. Exit status 0 if
// writers were listed and every one of them shows "Kesto Initial - OK!".
//
// It runs in a private home and runtime folder, so it neither touches the
// user's profile nor steps aside for a configurator already running.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "app/Application.h"
#include "app/COptionTabCtrl.h"
#include "core/CodePage.h"
#include "app/ContactList.h"
#include "app/MessageLogPane.h"
#include "pages/CTab_KestoFormat.h"

namespace {

constexpr qint64 kGiveUpMs = 5 * 60 * 1000;
constexpr qint64 kNoWritersMs = 30 * 1000;

class InitializationDriver : public QObject {
public:
    explicit InitializationDriver(QObject* parent) : QObject(parent)
    {
        elapsed_.start();
        connect(&tick_, &QTimer::timeout, this, [this] { step(); });
        tick_.start(100);
    }

    bool succeeded() const { return succeeded_; }

private:
    enum class State { WaitForListing, Asked, Running, Done };

    void step()
    {
        CVREN_KESTO_CONFIGURATORDlg* window = mainWindow();
        if (!window)
            return;
        if (elapsed_.elapsed() > kGiveUpMs) {
            std::printf("gave up waiting\n");
            finish(*window);
            return;
        }
        switch (state_) {
        case State::WaitForListing:
            if (window->operationRunning())
                return; // the first listing is still on
            if (window->session().listedCount == 0) {
                if (elapsed_.elapsed() > kNoWritersMs)
                    finish(*window);
                return;
            }
            window->tabControl()->tabBar()->setCurrentIndex(1);
            state_ = State::Asked;
            // The question is modal: click() returns once it is answered and
            // the run has started (or been refused).
            QTimer::singleShot(0, this, [this, window] {
                window->initPage()->runButton()->click();
                clicked_ = true;
            });
            return;
        case State::Asked:
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                std::printf("box \"%s\": %s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
                box->button(box->button(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok)->click();
                return;
            }
            if (clicked_) {
                if (window->initPage()->initRunning || window->operationRunning())
                    state_ = State::Running;
                else
                    finish(*window); // refused: the box said why
            }
            return;
        case State::Running:
            if (!window->initPage()->initRunning && !window->operationRunning())
                finish(*window);
            return;
        case State::Done:
            return;
        }
    }

    void finish(CVREN_KESTO_CONFIGURATORDlg& window)
    {
        state_ = State::Done;
        tick_.stop();
        const ContactList& list = *window.contactList();
        succeeded_ = list.GetRowCount() > 0;
        for (int row = 0; row < list.GetRowCount(); ++row) {
            const std::string status = list.StatusText(row);
            std::printf("writer %d: %s\n", row + 1, status.c_str());
            succeeded_ = succeeded_ && status == "Kesto Initial - OK!";
        }
        std::printf("--- log\n%s\n---\n", qPrintable(window.messageLog()->toPlainText()));
        std::fflush(stdout);
        window.close();
    }

    QTimer tick_;
    QElapsedTimer elapsed_;
    State state_ = State::WaitForListing;
    bool succeeded_ = false;
    bool clicked_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());

    QApplication qtApp(argc, argv);
    const bool initialize = QCoreApplication::arguments().contains(QStringLiteral("--initialize"));
    InitializationDriver* driver = initialize ? new InitializationDriver(&qtApp) : nullptr;

    CVREN_KESTO_CONFIGURATORApp app;
    const int rc = app.InitInstance();
    if (!driver)
        return rc;
    return driver->succeeded() ? 0 : 1;
}
