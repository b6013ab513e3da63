#pragma once
// Device notifications from a libudev monitor, read on the Qt event loop:
// arrivals of USB devices with the writer's vendor and product id, and the
// removal of each registered writer.

#include <QObject>

#include <cstdint>
#include <map>
#include <vector>

#include "transport/DeviceNotifier.h"

class QSocketNotifier;
struct udev;
struct udev_device;
struct udev_monitor;

class UdevDeviceNotifier : public QObject, public DeviceNotifier {
    Q_OBJECT
public:
    explicit UdevDeviceNotifier(QObject* parent = nullptr);
    ~UdevDeviceNotifier() override;

    bool available() const override { return monitor_ != nullptr; }
    void* registerWriterClass() override;
    // Fails (null) when the identity is unknown: the removal could never be matched.
    void* registerHandle(void* handle, const UsbDeviceIdentity& identity) override;
    void unregister(void* notification) override;

    // Reads every uevent waiting on the monitor and delivers the events they
    // give. Runs by itself when the monitor's socket becomes readable.
    void readEvents();

private:
    struct Registration {
        bool writerClass = false;
        void* handle = nullptr;
        UsbDeviceIdentity identity;
    };

    void* addRegistration(Registration registration);
    void collectEvents(udev_device* device, std::vector<DeviceEvent>& events) const;

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* socketNotifier_ = nullptr;
    std::map<std::uintptr_t, Registration> registrations_;
    std::uintptr_t nextToken_ = 1;
};
