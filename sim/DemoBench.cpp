#include "DemoBench.h"

#include <string>

#include "EmulatedNotifier.h"

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
    writer.setFile("config.ini",
        "[Target File]\r\n"
        "1:0:boot.bin:0:0\r\n"
        "1:100:app.bin:1:0\r\n"
        "1:900:fat.img:1:1\r\n");
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
