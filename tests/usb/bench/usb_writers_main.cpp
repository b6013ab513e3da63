// Runs a program on emulated writers that the real USB libraries see as USB
// devices, e.g. to look at the configurator itself without hardware:
//
//   umockdev-wrapper build/kesto_usb_writers 3 -- build/VREN_Kesto_Configurator
//
// Plugs in N writers (default 2) on bus 1, starts the program, waits for it
// to end and returns its exit code. The testbed lives in a private folder
// /tmp/kesto-umd-XXXXXX (see testbedTmpDir()), which the program also gets as
// TMPDIR and which goes when this program ends.
#include <QCoreApplication>
#include <QProcess>

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
        std::fprintf(stderr, "usage: umockdev-wrapper %s [WRITERS] -- PROGRAM [ARGUMENTS]\n", argv[0]);
        return 2;
    }
    const int count = separator > 0 ? args[0].toInt() : 2;
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
            ports.push_back(std::make_unique<UmockdevWriterPort>(testbed,
                UsbPortSetup{1, UmockdevWriterPort::freshAddress(), 0x2F1A, 0x0018, false},
                std::make_shared<EmulatedWriter>(id)));
        }
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(args[separator + 1], args.mid(separator + 2));
        if (program.waitForStarted(10000) && program.waitForFinished(-1))
            exitCode = program.exitCode();
        else
            std::fprintf(stderr, "%s\n", qPrintable(program.errorString()));
    }
    g_object_unref(testbed);
    return exitCode;
}
