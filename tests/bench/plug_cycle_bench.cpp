// Memory of the main window over a long day of plugging: 1,000 cycles of one
// writer plugged in and pulled out again beside two that stay, each change
// relisted by the window on the emulated bus and its notifier, the window
// shown (offscreen) so that it paints as it would on a desk.
//
// Prints the process's resident memory (VmRSS) after 100, 500 and 1,000
// cycles and the growth from 100 to 1,000; exit status 1 if that growth is
// 1 MB or more, or if a relisting did not end.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "EmulatedNotifier.h"
#include "EmulatedTransport.h"
#include "app/ContactList.h"
#include "app/MainWindow.h"
#include "core/MessageBoxes.h"

namespace {

class QuietBoxes : public MessageBoxes {
public:
    void information(const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
};

// Resident memory in kB from /proc/self/status, -1 if unreadable.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Runs the event loop until `done` or 10 s have passed.
bool waitFor(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QSettings profile(dir.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
    QuietBoxes boxes;
    EmulatedBus bus;
    auto stayA = std::make_shared<EmulatedWriter>();
    auto stayB = std::make_shared<EmulatedWriter>();
    bus.plug(stayA);
    bus.plug(stayB);

    MainWindowEnvironment env;
    env.profile = &profile;
    env.boxes = &boxes;
    env.executablePath = dir.filePath(QStringLiteral("VREN_Kesto_Configurator"));
    env.logFolder = dir.filePath(QStringLiteral("logs"));
    env.makeBackend = [&bus](BackendKind, TransportServices services) -> std::unique_ptr<TransportBackend> {
        return std::make_unique<EmulatedTransport>(std::move(services), bus, std::chrono::milliseconds(100));
    };
    env.makeNotifier = [&bus]() -> std::unique_ptr<DeviceNotifier> { return std::make_unique<EmulatedNotifier>(bus); };

    CVREN_KESTO_CONFIGURATORDlg window(env);
    window.OnInitDialog();
    window.show();
    const auto settled = [&window](int rows) {
        return waitFor([&window, rows] {
            return !window.relisting() && window.session().workingWriters() == 0
                && window.contactList()->GetRowCount() == rows;
        });
    };
    if (!settled(2)) {
        std::fprintf(stderr, "the first relisting did not end\n");
        return 1;
    }

    std::printf("%-8s %-12s\n", "cycles", "VmRSS (kB)");
    long at100 = 0, at1000 = 0;
    for (int cycle = 1; cycle <= 1000; ++cycle) {
        // A writer a person plugs in and pulls out again: a new one each time.
        auto writer = std::make_shared<EmulatedWriter>();
        bus.plug(writer);
        if (!settled(3)) {
            std::fprintf(stderr, "cycle %d: the arrival was not relisted\n", cycle);
            return 1;
        }
        bus.unplug(writer);
        if (!settled(2)) {
            std::fprintf(stderr, "cycle %d: the removal was not relisted\n", cycle);
            return 1;
        }
        // The emulator's own wire logs are not the program's memory.
        stayA->clearWireLog();
        stayB->clearWireLog();
        if (cycle == 100 || cycle == 500 || cycle == 1000) {
            const long kb = residentKb();
            std::printf("%-8d %-12ld\n", cycle, kb);
            std::fflush(stdout);
            if (cycle == 100)
                at100 = kb;
            if (cycle == 1000)
                at1000 = kb;
        }
    }
    const long growth = at1000 - at100;
    std::printf("growth from 100 to 1000 cycles: %ld kB (goal: under 1024 kB)\n", growth);
    return growth < 1024 ? 0 : 1;
}
