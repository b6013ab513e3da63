#include "DemoBench.h"

#include <string>

#include "DemoFiles.h"
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
    ::giveDemoFiles(writer);
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
