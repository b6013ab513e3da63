#pragma once
// What the demo's emulated writers hold: a few files and the config.ini a
// Config Save of them would have written.

#include <string>

#include "EmulatedWriter.h"

// The configuration text: boot.bin into the target's flash, app.bin and the
// FAT image into its NAND.
std::string demoConfiguration();

// The demo's files and config.ini, in place of what the writer holds.
void giveDemoFiles(EmulatedWriter& writer);
