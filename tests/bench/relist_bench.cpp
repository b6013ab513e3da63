// How long a relisting takes when some writers never answer.
//
// Runs the main window's RelistWriters on emulated writers and, for
// comparison, the same contact checks one after the other. Prints one line
// per case; exit status 1 if a concurrent relisting took more than twice the
// time-out.

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

#include "EmulatedTransport.h"
#include "core/MessageBoxes.h"
#include "core/MessageLog.h"
#include "app/MainWindow.h"
#include "writer/ContactCheck.h"

namespace {

class QuietBoxes : public MessageBoxes {
public:
    void information(const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
};

class QuietLog : public MessageLog {
protected:
    void append(Rgb, std::string) override {}
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QSettings profile(dir.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
    QuietBoxes boxes;

    std::printf("%-8s %-8s %-10s %-14s %-14s\n", "writers", "silent", "timeout", "relist (ms)", "one-by-one (ms)");
    bool ok = true;
    for (int timeoutMs : {100, 300}) {
        for (int silentCount : {0, 3, 10}) {
            EmulatedBus bus;
            for (int i = 0; i < 10; ++i)
                bus.plug(std::make_shared<EmulatedWriter>());
            // Silent writers spread over the indexes: 1, 4, 7, then the rest.
            int made = 0;
            for (int step : {1, 4, 7, 0, 2, 3, 5, 6, 8, 9}) {
                if (made == silentCount)
                    break;
                WriterFaults silent;
                silent.noAnswer = true;
                bus.writers()[std::size_t(step)]->setFaults(silent);
                ++made;
            }
            const auto timeout = std::chrono::milliseconds(timeoutMs);
            MainWindowEnvironment env;
            env.profile = &profile;
            env.boxes = &boxes;
            env.makeBackend = [&bus, timeout](BackendKind, TransportServices services) -> std::unique_ptr<TransportBackend> {
                return std::make_unique<EmulatedTransport>(std::move(services), bus, timeout);
            };
            CVREN_KESTO_CONFIGURATORDlg window(env);
            window.OnInitDialog();
            while (window.relisting())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

            // The UI thread keeps turning while the checks run; the relisting
            // ends when its rows are there.
            QElapsedTimer timer;
            timer.start();
            window.RelistWriters();
            while (window.relisting())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const qint64 concurrent = timer.elapsed();

            // The same checks, one writer after the other.
            const UsbTransport& usb = window.transport();
            for (int i = 0; i < kMaxDevices; ++i)
                usb.CloseDevice(i);
            timer.restart();
            usb.OpenAllDevices();
            QuietLog quiet;
            KestoProtocol protocol(usb, quiet);
            for (int i = 0; i < window.deviceTable().deviceCount; ++i)
                CheckContact(protocol, i);
            const qint64 sequential = timer.elapsed();
            for (int i = 0; i < kMaxDevices; ++i)
                usb.CloseDevice(i);

            std::printf("%-8d %-8d %-10d %-14lld %-14lld\n", 10, silentCount, timeoutMs, (long long)concurrent,
                        (long long)sequential);
            if (concurrent > 2 * timeoutMs + 100)
                ok = false;
        }
    }
    return ok ? 0 : 1;
}
