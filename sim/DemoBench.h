#pragma once
// The demo bench: the real main window on emulated writers.

#include <chrono>
#include <memory>
#include <vector>

#include "EmulatedTransport.h"
#include "app/MainWindow.h"

class DemoBench {
public:
    // Emulated writers answer within this time-out (real ones: 6000 ms).
    static constexpr std::chrono::milliseconds kTimeout{1500};

    DemoBench();

    // Four writers: two normal ones with a few files, one in JTAG download
    // mode, one in ISP download mode.
    void plugStartingWriters();
    // One more writer with the same files, numbered on from the last.
    std::shared_ptr<EmulatedWriter> plugNewWriter(ContactMode mode = ContactMode::Normal);
    // The demo's files and config.ini, in place of what the writer holds (an
    // initialization leaves it without any).
    static void giveDemoFiles(EmulatedWriter& writer);

    // The environment that puts the emulated bus and its notifier behind the
    // main window.
    MainWindowEnvironment environment();

    EmulatedBus& bus() { return bus_; }

private:
    EmulatedBus bus_;
    int serial_ = 0;
};
