#include "config/TargetList.h"

#include <algorithm>
#include <limits>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

struct NumberScan {
    bool negative = false;
    bool anyDigit = false;
    std::int64_t magnitude = 0; // held just above INT32_MAX + 1 once exceeded
    std::size_t end = 0;        // first position after the digits
};

NumberScan scanNumber(std::string_view text)
{
    constexpr std::int64_t kCap = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 2;
    NumberScan scan;
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        scan.negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && isDigit(text[i]); ++i) {
        scan.anyDigit = true;
        scan.magnitude = std::min(kCap, scan.magnitude * 10 + (text[i] - '0'));
    }
    scan.end = i;
    return scan;
}

} // namespace

std::int32_t readSectorNumber(std::string_view text)
{
    const NumberScan scan = scanNumber(text);
    const std::int64_t value = scan.negative ? -scan.magnitude : scan.magnitude;
    return std::int32_t(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::int32_t> parseSectorText(std::string_view text)
{
    if (text.empty())
        return 0;
    const NumberScan scan = scanNumber(text);
    if (!scan.anyDigit || scan.end != text.size())
        return std::nullopt;
    if (scan.magnitude > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    if (scan.negative && scan.magnitude != 0)
        return std::nullopt;
    return std::int32_t(scan.magnitude);
}

void sortBySector(std::vector<TargetFileEntry>& entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TargetFileEntry& a, const TargetFileEntry& b) { return a.sectorNo < b.sectorNo; });
}

bool hasDuplicateSectors(const std::vector<TargetFileEntry>& entries, std::size_t count)
{
    const std::size_t n = std::min(count, entries.size());
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (entries[i].sectorNo == entries[j].sectorNo && entries[i].target == entries[j].target)
                return true;
    return false;
}
