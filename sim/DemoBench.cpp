#include "DemoBench.h"

#include <string>

#include "EmulatedNotifier.h"
#include "config/ConfigBuilder.h"

namespace {

// A configuration as a Config Save would have written it: boot.bin into the
// target's flash, app.bin and the FAT image into its NAND.
std::string demoConfiguration()
{
    ConfigSource s;
    s.inFlashCount = 1;
    s.nandCount = 2;
    s.targetEntries = {{1, "boot.bin", 0, kTargetInFlash, 0}, {1, "app.bin", 100, kTargetNand, 0},
                       {1, "fat.img", 900, kTargetNand, 1}};
    s.downloadSpeed = 5;
    s.buzzer = "ON";
    s.chip = "SOLVAN";
    s.crystal = "11289600";
    s.fatVerify = "Enable";
    s.erase = "Disable";
    ConfigText text;
    BuildConfigText(text, s);
    return text.sentText(3);
}

} // namespace

DemoBench::DemoBench() = default;

void DemoBench::plugStartingWriters()
{
    const ContactMode modes[] = {ContactMode::Normal, ContactMode::JtagDown, ContactMode::Normal, ContactMode::IspDown};
    for (ContactMode mode : modes)
        plugNewWriter(mode);
}

std::shared_ptr<EmulatedWriter> DemoBench::plugNewWriter(ContactMode mode)
{
    auto writer = std::make_shared<EmulatedWriter>("VREN Kesto Writer SN-" + std::to_string(1001 + serial_++));
    writer->setContactMode(mode);
    giveDemoFiles(*writer);
    writer->setInitDuration(std::chrono::seconds(3));
    bus_.plug(writer);
    return writer;
}

void DemoBench::giveDemoFiles(EmulatedWriter& writer)
{
    writer.clearFiles();
    writer.setFile("boot.bin", std::string(4096, '\x5A'));
    writer.setFile("app.bin", std::string(65536, '\xA5'));
    writer.setFile("fat.img", std::string(1024, '\0'));
    writer.setFile("config.ini", demoConfiguration());
}

MainWindowEnvironment DemoBench::environment()
{
    MainWindowEnvironment env;
    env.makeBackend = [this](BackendKind, TransportServices services) -> std::unique_ptr<TransportBackend> {
        return std::make_unique<EmulatedTransport>(std::move(services), bus_, kTimeout);
    };
    env.makeNotifier = [this]() -> std::unique_ptr<DeviceNotifier> { return std::make_unique<EmulatedNotifier>(bus_); };
    return env;
}
