// Runs a program on emulated writers that the real USB libraries see as USB
// devices, e.g. to look at the configurator itself without hardware:
//
//   umockdev-wrapper build/kesto_usb_writers 3 -- build/VREN_Kesto_Configurator
//   umockdev-wrapper build/kesto_usb_writers [--init-ms MS] [WRITERS] -- PROGRAM [ARGUMENTS]
//
// Plugs in N writers (default 2) on bus 1, each holding a config.ini, starts
// the program, waits for it to end, says what became of each writer and
// returns the program's exit code. --init-ms: how long a writer takes to
// initialize its file system (default 3000). The testbed lives in a private
// folder /tmp/kesto-umd-XXXXXX (see testbedTmpDir()), which the program also
// gets as TMPDIR and which goes when this program ends.
#include <QCoreApplication>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "umockdev_writers.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const qsizetype separator = args.indexOf(QStringLiteral("--"));
    if (separator < 0 || separator + 1 >= args.size()) {
        std::fprintf(stderr, "usage: umockdev-wrapper %s [--init-ms MS] [WRITERS] -- PROGRAM [ARGUMENTS]\n", argv[0]);
        return 2;
    }
    QStringList own = args.mid(0, separator);
    int initMs = 3000;
    if (const qsizetype i = own.indexOf(QStringLiteral("--init-ms")); i >= 0) {
        initMs = i + 1 < own.size() ? own[i + 1].toInt() : -1;
        own.remove(i, std::min<qsizetype>(2, own.size() - i));
        if (initMs < 0) {
            std::fprintf(stderr, "--init-ms takes a number of milliseconds\n");
            return 2;
        }
    }
    const int count = own.isEmpty() ? 2 : own[0].toInt();
    if (count < 0 || count > 100) {
        std::fprintf(stderr, "WRITERS must be 0..100\n");
        return 2;
    }

    // Under testbedTmpDir(), made before main(): TMPDIR already points there.
    UMockdevTestbed* testbed = umockdev_testbed_new();
    if (!umockdev_in_mock_environment()) {
        std::fprintf(stderr, "run this under umockdev-wrapper\n");
        g_object_unref(testbed);
        return 2;
    }
    int exitCode = 1;
    {
        std::vector<std::unique_ptr<UmockdevWriterPort>> ports;
        for (int i = 0; i < count; ++i) {
            char id[64];
            std::snprintf(id, sizeof id, "VREN Kesto Writer SN-%04d", i + 1);
            auto writer = std::make_shared<EmulatedWriter>(id);
            writer->setFile("config.ini", "[Target File]\r\n");
            writer->setInitDuration(std::chrono::milliseconds(initMs));
            ports.push_back(std::make_unique<UmockdevWriterPort>(testbed,
                UsbPortSetup{1, UmockdevWriterPort::freshAddress(), 0x2F1A, 0x0018, false}, writer));
        }
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(args[separator + 1], args.mid(separator + 2));
        if (program.waitForStarted(10000) && program.waitForFinished(-1))
            exitCode = program.exitCode();
        else
            std::fprintf(stderr, "%s\n", qPrintable(program.errorString()));
        for (const auto& port : ports) {
            const auto writer = port->writer();
            const auto requests = writer->requests();
            const bool initialized = std::find(requests.begin(), requests.end(),
                                         std::vector<std::uint8_t>{CMD_FS_INITIAL}) != requests.end();
            std::printf("%s: %zu request(s)%s, %zu file(s) left\n", writer->identification().c_str(), requests.size(),
                        initialized ? ", initialized" : "", writer->fileNames().size());
        }
    }
    g_object_unref(testbed);
    return exitCode;
}
