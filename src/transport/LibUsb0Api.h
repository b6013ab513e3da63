#pragma once
// The libusb 0.1 calls the libusb back end makes, gathered in one table so
// that tests can stand in for the failures real hardware rarely shows.

#include <usb.h>

struct LibUsb0Api {
    void (*init)();
    int (*findBusses)();
    int (*findDevices)();
    struct usb_bus* (*getBusses)();
    usb_dev_handle* (*open)(struct usb_device* dev);
    int (*setConfiguration)(usb_dev_handle* h, int configuration);
    int (*claimInterface)(usb_dev_handle* h, int interface);
    int (*releaseInterface)(usb_dev_handle* h, int interface);
    int (*close)(usb_dev_handle* h);
    int (*bulkWrite)(usb_dev_handle* h, int ep, const char* bytes, int size, int timeout);
    int (*bulkRead)(usb_dev_handle* h, int ep, char* bytes, int size, int timeout);
};

// The calls of the installed libusb 0.1.
LibUsb0Api realLibUsb0Api();
