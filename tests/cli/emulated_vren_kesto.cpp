// vren-kesto on emulated writers, for tests that run the tool as a process:
// the real command line, session and operations, with the emulated bus in
// place of the USB back end. Set up by the environment:
//
//   KESTO_EMULATED_WRITERS  the writers, in bus order, comma-separated:
//                           normal (the demo's files and config.ini), empty (no
//                           files), silent (never answers), jtag, isp (download
//                           modes), corrupt (stores a configuration with one
//                           byte changed), dead (on the bus, cannot be opened)
//   KESTO_EMULATED_DUMP     a folder: at the end, per writer N from 1,
//                           writerN.config.ini (if it holds one), writerN.files
//                           (its file names) and writerN.requests (every
//                           request received, one hex line each)
//   KESTO_EMULATED_CLOCK_SCALE  the initialization's clock runs this many
//                           times faster (default 1)
//   KESTO_EMULATED_LOG_DIR  the audit log's folder
//   KESTO_EMULATED_PROGRAM_DIR  where the settings file is looked for
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "DemoFiles.h"
#include "EmulatedTransport.h"
#include "cli/KestoCli.h"

namespace {

// The steady clock, `scale` times faster: the 30-second quiet phase of an
// initialization passes in 30/scale seconds.
class ScaledClock : public Clock {
public:
    explicit ScaledClock(double scale) : start_(std::chrono::steady_clock::now()), scale_(scale) {}

    TimePoint now() const override
    {
        const auto real = std::chrono::steady_clock::now() - start_;
        return start_ + std::chrono::duration_cast<Duration>(real * scale_);
    }
    bool sleepUntil(TimePoint deadline, std::stop_token stop) const override
    {
        const auto scaled = deadline - start_;
        return Clock::steady().sleepUntil(start_ + std::chrono::duration_cast<Duration>(scaled / scale_), stop);
    }

private:
    const TimePoint start_;
    const double scale_;
};

QString env(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

std::shared_ptr<EmulatedWriter> makeWriter(const QString& kind, int number)
{
    auto writer = std::make_shared<EmulatedWriter>("VREN Kesto Writer SN-" + std::to_string(1000 + number));
    if (kind != QLatin1String("empty"))
        giveDemoFiles(*writer);
    if (kind == QLatin1String("silent")) {
        WriterFaults f;
        f.noAnswer = true;
        writer->setFaults(f);
    } else if (kind == QLatin1String("jtag")) {
        writer->setContactMode(ContactMode::JtagDown);
    } else if (kind == QLatin1String("isp")) {
        writer->setContactMode(ContactMode::IspDown);
    } else if (kind == QLatin1String("dead")) {
        WriterFaults f;
        f.refuseOpen = true;
        writer->setFaults(f);
    } else if (kind == QLatin1String("corrupt")) {
        WriterFaults f;
        f.corruptStoredByte = 10;
        writer->setFaults(f);
    }
    return writer;
}

void dump(const QString& folder, const std::vector<std::shared_ptr<EmulatedWriter>>& writers)
{
    QDir().mkpath(folder);
    for (std::size_t i = 0; i < writers.size(); ++i) {
        const QString base = folder + QStringLiteral("/writer%1").arg(i + 1);
        const EmulatedWriter& w = *writers[i];
        if (const auto config = w.file(EmulatedWriter::kConfigFileName)) {
            QFile f(base + QStringLiteral(".config.ini"));
            if (f.open(QIODevice::WriteOnly))
                f.write(config->data(), qint64(config->size()));
        }
        QFile names(base + QStringLiteral(".files"));
        if (names.open(QIODevice::WriteOnly)) {
            for (const std::string& name : w.fileNames())
                names.write((name + "\n").c_str());
        }
        QFile requests(base + QStringLiteral(".requests"));
        if (requests.open(QIODevice::WriteOnly)) {
            for (const auto& r : w.requests())
                requests.write(QByteArray(reinterpret_cast<const char*>(r.data()), qsizetype(r.size())).toHex() + '\n');
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    EmulatedBus bus;
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
    const QStringList kinds = env("KESTO_EMULATED_WRITERS").split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& kind : kinds) {
        auto writer = makeWriter(kind.trimmed(), int(writers.size()) + 1);
        bus.plug(writer);
        writers.push_back(writer);
    }
    const double scale = qEnvironmentVariableIsSet("KESTO_EMULATED_CLOCK_SCALE")
        ? env("KESTO_EMULATED_CLOCK_SCALE").toDouble()
        : 1.0;
    const ScaledClock clock(scale > 0 ? scale : 1.0);

    const int status = kestoCliMain(
        argc, argv,
        [&bus](TransportServices services) -> std::unique_ptr<TransportBackend> {
            return std::make_unique<EmulatedTransport>(std::move(services), bus, std::chrono::milliseconds(300));
        },
        [&clock](CliEnvironment& e) {
            e.clock = &clock;
            if (qEnvironmentVariableIsSet("KESTO_EMULATED_LOG_DIR"))
                e.logFolder = env("KESTO_EMULATED_LOG_DIR");
            if (qEnvironmentVariableIsSet("KESTO_EMULATED_PROGRAM_DIR"))
                e.programFolder = env("KESTO_EMULATED_PROGRAM_DIR");
        });
    if (qEnvironmentVariableIsSet("KESTO_EMULATED_DUMP"))
        dump(env("KESTO_EMULATED_DUMP"), writers);
    return status;
}
