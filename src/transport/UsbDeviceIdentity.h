#pragma once
// Which USB device an opened writer is, as the platform's device events name it.

#include <string>

struct UsbDeviceIdentity {
    int busNumber = -1;
    int deviceAddress = -1;
    std::string sysPath;
    // Where it is plugged in, for people: "usb:BUS-PORTS" such as "usb:1-2.3".
    // Empty when the back end does not know.
    std::string location;

    bool known() const { return (busNumber >= 0 && deviceAddress >= 0) || !sysPath.empty(); }
    // Bus number and address when both sides have them, else the sysfs path.
    bool sameDevice(const UsbDeviceIdentity& other) const
    {
        if (busNumber >= 0 && deviceAddress >= 0 && other.busNumber >= 0 && other.deviceAddress >= 0)
            return busNumber == other.busNumber && deviceAddress == other.deviceAddress;
        return !sysPath.empty() && sysPath == other.sysPath;
    }
};
