#pragma once
// Builds the configuration text from the page's values.

#include <string>

#include "config/ConfigText.h"
#include "config/TargetSettings.h"

// Why `source` cannot be written as a configuration text, as the message box
// says it (code-page-949 bytes); empty when it can. The list block has room
// for 60 rows and a line for 259 bytes, and a line break or zero byte in a
// value would split or end its line on the writer.
std::string ConfigTextProblem(const ConfigSource& source);

// Writes the counts, one list line per entry (enabled InFlash, enabled NAND,
// then disabled, each in their order) and the settings values into `text`.
// Lines 2, 3, 64, 67 and the labels keep what they hold. Returns false and
// leaves `text` untouched when ConfigTextProblem() names a problem.
bool BuildConfigText(ConfigText& text, const ConfigSource& source);

// The list line of one entry, e.g. "a.bin / I / 8 / 0" or "//c.bin / I / 0 / 24".
std::string listLine(const TargetFileEntry& entry);
