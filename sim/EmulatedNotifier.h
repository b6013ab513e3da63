#pragma once
// Device notifications for the emulated bus: a writer plugged in is an
// arrival for every writer-class registration, a writer unplugged (also one
// that unplugged itself) a removal for the registration of its handle, the
// writer's address. Events reach the handler on the notifier's thread through
// its event loop, as the platform's notifications would.

#include <QObject>

#include <cstdint>
#include <map>
#include <memory>

#include "EmulatedTransport.h"
#include "transport/DeviceNotifier.h"

class EmulatedNotifier : public QObject, public DeviceNotifier {
    Q_OBJECT
public:
    explicit EmulatedNotifier(EmulatedBus& bus, QObject* parent = nullptr);
    ~EmulatedNotifier() override;

    bool available() const override { return available_; }
    void* registerWriterClass() override;
    void* registerHandle(void* handle, const UsbDeviceIdentity& identity) override;
    void unregister(void* notification) override;

    // A notifier the platform would not give: every registration fails.
    void setAvailable(bool available) { available_ = available; }
    // Only the handle registrations fail (class registration still works).
    void setHandleRegistrationFails(bool fails) { handleRegistrationFails_ = fails; }
    // Registrations in force.
    int registrationCount() const { return int(registrations_.size()); }

private:
    struct Registration {
        bool writerClass = false;
        void* handle = nullptr;
    };
    void busChanged(EmulatedBus::Change change, const std::shared_ptr<EmulatedWriter>& writer);
    void* add(Registration registration);

    EmulatedBus& bus_;
    int observer_ = 0;
    bool available_ = true;
    bool handleRegistrationFails_ = false;
    std::map<std::uintptr_t, Registration> registrations_;
    std::uintptr_t nextToken_ = 0x100;
};
