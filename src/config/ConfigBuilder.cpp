#include "config/ConfigBuilder.h"

#include <vector>

namespace {

struct Value {
    ConfigValuePosition position;
    std::string text;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool splitsLine(const std::string& text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

// The combo shows "ON" or "OFF"; the file holds "on" or "off".
std::string buzzerValue(std::string text)
{
    for (std::size_t i = 0; i < text.size() && i < 3; ++i)
        if (text[i] >= 'A' && text[i] <= 'Z')
            text[i] = char(text[i] + 0x20);
    return text;
}

std::string crystalValue(const std::string& text)
{
    std::size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    return text.substr(first);
}

std::string fatStartBlock(const std::vector<TargetFileEntry>& entries)
{
    std::string value = "0";
    for (const TargetFileEntry& e : entries)
        if (e.target != kTargetInFlash && e.fatFlag)
            value = std::to_string(e.sectorNo); // the last FAT entry wins
    return value;
}

// The list lines in the order they are written.
std::vector<std::pair<const TargetFileEntry*, std::string>> listLines(const ConfigSource& source)
{
    std::vector<std::pair<const TargetFileEntry*, std::string>> lines;
    for (const TargetFileEntry& e : source.targetEntries)
        if (e.target == kTargetInFlash)
            lines.emplace_back(&e, listLine(e));
    for (const TargetFileEntry& e : source.targetEntries)
        if (e.target != kTargetInFlash)
            lines.emplace_back(&e, listLine(e));
    for (const TargetFileEntry& e : source.disabledEntries) {
        TargetFileEntry disabled = e;
        disabled.enabled = 0;
        lines.emplace_back(&e, listLine(disabled));
    }
    return lines;
}

std::vector<Value> settingsValues(const ConfigSource& source)
{
    return {
        {configpos::InFlashCount, std::to_string(source.inFlashCount)},
        {configpos::NandCount, std::to_string(source.nandCount)},
        {configpos::Speed, std::to_string(source.downloadSpeed)},
        {configpos::Buzzer, buzzerValue(source.buzzer)},
        {configpos::Chip, source.chip},
        {configpos::Crystal, crystalValue(source.crystal)},
        {configpos::FatStartBlock, fatStartBlock(source.targetEntries)},
        {configpos::Verify, source.fatVerify},
        {configpos::Erase, source.erase},
    };
}

} // namespace

std::string listLine(const TargetFileEntry& entry)
{
    if (!entry.enabled)
        return "//" + entry.fileName + " / I / 0 / " + std::to_string(entry.sectorNo);
    if (entry.target == kTargetInFlash)
        return entry.fileName + " / I / " + std::to_string(entry.sectorNo) + " / 0";
    return entry.fileName + " / N / " + std::to_string(entry.sectorNo) + " / " + (entry.fatFlag ? "1" : "0");
}

std::string ConfigTextProblem(const ConfigSource& source)
{
    const auto lines = listLines(source);
    if (lines.size() > std::size_t(kMaxListRows))
        return "Too many files for configuration setting!\r\nAt most " + std::to_string(kMaxListRows) +
               " files can be listed.";
    for (const auto& [entry, line] : lines) {
        if (splitsLine(entry->fileName))
            return "File name cannot be written into configuration setting!\r\n" + entry->fileName;
        if (line.size() > kConfigLineMaxChars)
            return "File name is too long for configuration setting!\r\n" + entry->fileName;
    }
    for (const Value& v : settingsValues(source))
        if (splitsLine(v.text) || v.position.column + v.text.size() > kConfigLineMaxChars)
            return "Setting value cannot be written into configuration setting!\r\n" + v.text.substr(0, 64);
    return {};
}

bool BuildConfigText(ConfigText& text, const ConfigSource& source)
{
    if (!ConfigTextProblem(source).empty())
        return false;
    int k = kFirstListRowLine;
    for (const auto& item : listLines(source))
        text.setLine(k++, item.second);
    for (const Value& v : settingsValues(source))
        text.writeValue(v.position, v.text);
    return true;
}
