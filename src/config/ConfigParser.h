#pragma once
// Checks and parses a configuration text read from a writer.

#include <cstdint>
#include <string_view>
#include <vector>

#include "config/ConfigText.h"
#include "config/TargetSettings.h"
#include "writer/KestoWire.h"

class MessageLog;

// A text is taken only with at least 50 dashes and exactly 9 colons in it
// (file names included); otherwise "\t +  Dev%02d: <configuration> is wrong
// file!\r\n" goes to the log (device index + 1), nothing changes and the result
// is OS_CONFIG_WRONG.
//
// Otherwise the lines from line 3 up to the separator (a line starting with
// twenty dashes) are stored into `configText`, as far as the list block
// reaches and cut to 259 bytes; the settings after the separator set the
// loaded values of `settings` (a value whose colon is missing keeps its old
// value, except the speed, which becomes 0); `targetEntries` is replaced by one
// entry per stored list line (line 4 on). Every scan ends at its line's end:
// a value never takes a CR, an LF or text of the next line.
OperationStatus ParseConfigText(std::string_view text, int deviceIndex, MessageLog& log, ConfigText& configText,
                                TargetSettings& settings, std::vector<TargetFileEntry>& targetEntries);

// The same for a received buffer; a length of 0 or less is a wrong text.
OperationStatus ParseConfigText(const char* text, std::int64_t length, int deviceIndex, MessageLog& log,
                                ConfigText& configText, TargetSettings& settings,
                                std::vector<TargetFileEntry>& targetEntries);

// One list line read back, e.g. "b.bin / N / 100 / 1" or "//c.bin / I / 0 / 24".
TargetFileEntry parseListLine(std::string_view line);
