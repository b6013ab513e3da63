#pragma once
// The target file list's rules that need no widgets: reading and checking
// sector texts, ordering entries and the duplicate-sector check.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "config/TargetSettings.h"

// A Sector No. cell read as a number: leading blanks, an optional sign, then
// digits; 0 without digits. Values beyond 32 bits are held at the nearest end.
std::int32_t readSectorNumber(std::string_view text);

// The edit check of a Sector No. cell: empty (reads as 0), or optional blanks,
// an optional sign and digits with nothing after them, whose value is a
// sector number (0 .. INT32_MAX). Anything else: nullopt.
std::optional<std::int32_t> parseSectorText(std::string_view text);

// Stable: equal sector numbers keep their order.
void sortBySector(std::vector<TargetFileEntry>& entries);

// True when two of the first `count` entries share sector and target.
bool hasDuplicateSectors(const std::vector<TargetFileEntry>& entries, std::size_t count);
