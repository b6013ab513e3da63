#pragma once
// Emulated writers as USB devices of a umockdev testbed, for the real USB
// libraries: each device has its sysfs entry, its descriptors and a device
// node whose usbdevfs requests (URBs above all) are answered from an
// EmulatedWriter. The program must run under umockdev-wrapper.
//
// umockdev answers the requests on a thread of its own while the caller waits
// inside ioctl(); the state shared with the test is guarded by one mutex.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <umockdev.h>
#pragma pop_macro("signals")

#include "EmulatedWriter.h"

// The testbed's folder holds unix sockets (its own ioctl socket, and one per
// device node with an ioctl handler), whose paths may not exceed 108 bytes:
// it cannot live in a build tree at a long path. A program that links
// umockdev_writers.cpp therefore keeps its testbeds in a short private
// folder, /tmp/kesto-umd-XXXXXX: made before main() and TMPDIR pointed at it
// (umockdev_testbed_new() makes its folder under g_get_tmp_dir(), which reads
// TMPDIR once, at its first use). The folder goes, with everything in it,
// when the program ends: removed on exit, and by a watcher process when the
// program dies any other way (a crash, a kill on a time-out). Programs it
// starts inherit TMPDIR.
//
// The private folder; empty if it could not be made (TMPDIR is then kept).
const std::string& testbedTmpDir();

struct UsbPortSetup {
    int bus = 1;
    int address = 2;
    std::uint16_t vendor = 0x2F1A;
    std::uint16_t product = 0x0018;
    // The interface lists its IN endpoint before its OUT endpoint.
    bool inEndpointFirst = false;
};

// One device on the testbed. Plugged in on construction, unplugged (if still
// plugged) on destruction.
class UmockdevWriterPort {
public:
    // `writer` may be null for a device that only has to be seen.
    UmockdevWriterPort(UMockdevTestbed* testbed, UsbPortSetup setup, std::shared_ptr<EmulatedWriter> writer);
    ~UmockdevWriterPort();
    UmockdevWriterPort(const UmockdevWriterPort&) = delete;
    UmockdevWriterPort& operator=(const UmockdevWriterPort&) = delete;

    // The writer unplugs: transfers in flight end as on a real removal, every
    // later request fails with ENODEV, "remove" is sent and the device leaves
    // the testbed.
    void unplug();

    // An address no device of this process had before: like the kernel,
    // tests should not give an address twice (libusb 0.1 takes a device at a
    // known address for the one it saw there before). Addresses below 20 are
    // never handed out, for tests that need particular ones.
    static int freshAddress();

    int bus() const { return setup_.bus; }
    int address() const { return setup_.address; }
    const std::string& sysPath() const { return sysPath_; }
    const std::string& devNode() const { return devNode_; }
    std::shared_ptr<EmulatedWriter> writer() const { return writer_; }

    // What the host asked for, for checks.
    int configurationSet() const;   // last SETCONFIGURATION value, -1 if none
    int interfacesClaimed() const;  // claims minus releases
    int timesClaimed() const;       // claims in all
    std::set<unsigned long> unknownRequests() const;

private:
    struct Urb {
        UMockdevIoctlData* urb = nullptr;    // the client's struct, referenced
        UMockdevIoctlData* buffer = nullptr; // its data buffer, referenced (may be null)
        bool in = false;
        bool done = false;
        int status = 0;
        int actualLength = 0;
    };
    using UrbList = std::vector<Urb>;

    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static void onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);

    // Called with mutex_ held.
    void handle(UMockdevIoctlClient* client);
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    // Finishes the first URB that can be finished now; false if none.
    bool finishOne(UrbList& urbs, Urb& finished);
    static void release(Urb& urb);

    std::vector<std::uint8_t> descriptors() const;

    UMockdevTestbed* testbed_;
    UsbPortSetup setup_;
    std::shared_ptr<EmulatedWriter> writer_;
    std::string sysPath_;
    std::string devNode_;
    UMockdevIoctlBase* handler_ = nullptr;

    mutable std::mutex mutex_;
    bool plugged_ = true;
    std::map<UMockdevIoctlClient*, UrbList> urbs_;
    std::map<UMockdevIoctlClient*, std::size_t> readOffsets_;
    int configuration_ = -1;
    int claimed_ = 0;
    int claims_ = 0;
    std::set<unsigned long> unknown_;
};
