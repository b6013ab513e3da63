#include "config/ConfigText.h"

#include <algorithm>
#include <cstring>

namespace {

struct InitialLine {
    int line;
    const char* text;
};

constexpr const char kDashes25[] = "-------------------------";

constexpr InitialLine kInitialContent[] = {
    {0, "InFlash count : 1"},
    {1, "NAND count : 1"},
    {2, kDashes25},
    {3, "file name / target / start sector / faten"},
    {64, kDashes25},
    {65, "speed (max=10) : 10"},
    {66, "buzzer : on"},
    {67, kDashes25},
    {68, "Target Chip : SOLVAN"},
    {69, "Target Board Crystal Val : 11289600"},
    {70, "FAT Start Blk : 8"},
    {71, "Verify : Enable"},
    {72, "Erase : Enable"},
};

// The labels end exactly where the values are written.
static_assert(std::char_traits<char>::length("InFlash count : ") == configpos::InFlashCount.column);
static_assert(std::char_traits<char>::length("NAND count : ") == configpos::NandCount.column);
static_assert(std::char_traits<char>::length("speed (max=10) : ") == configpos::Speed.column);
static_assert(std::char_traits<char>::length("buzzer : ") == configpos::Buzzer.column);
static_assert(std::char_traits<char>::length("Target Chip : ") == configpos::Chip.column);
static_assert(std::char_traits<char>::length("Target Board Crystal Val : ") == configpos::Crystal.column);
static_assert(std::char_traits<char>::length("FAT Start Blk : ") == configpos::FatStartBlock.column);
static_assert(std::char_traits<char>::length("Verify : ") == configpos::Verify.column);
static_assert(std::char_traits<char>::length("Erase : ") == configpos::Erase.column);

bool validLine(int index)
{
    return index >= 0 && index < CONFIG_TEXT_LINES;
}

} // namespace

ConfigText::ConfigText()
{
    reset();
}

void ConfigText::reset()
{
    for (auto& line : lines_)
        line.fill('\0');
    for (const InitialLine& initial : kInitialContent)
        setLine(initial.line, initial.text);
}

std::string_view ConfigText::line(int index) const
{
    if (!validLine(index))
        return {};
    const auto& slot = lines_[std::size_t(index)];
    // The last byte of a slot is always zero, so the scan ends inside it.
    return std::string_view(slot.data(), std::strlen(slot.data()));
}

bool ConfigText::setLine(int index, std::string_view text)
{
    if (!validLine(index) || text.size() > kConfigLineMaxChars)
        return false;
    auto& slot = lines_[std::size_t(index)];
    std::copy(text.begin(), text.end(), slot.begin());
    std::fill(slot.begin() + std::ptrdiff_t(text.size()), slot.end(), '\0');
    return true;
}

bool ConfigText::writeValue(ConfigValuePosition position, std::string_view value)
{
    if (!validLine(position.line) || position.column + value.size() > kConfigLineMaxChars)
        return false;
    std::string text(line(position.line).substr(0, position.column));
    text.resize(position.column, ' ');
    text.append(value);
    return setLine(position.line, text);
}

std::vector<std::string> ConfigText::linesToSend(int listRows) const
{
    const int rows = std::clamp(listRows, 0, kMaxListRows);
    std::vector<std::string> out;
    out.reserve(std::size_t(kFirstListRowLine + rows + kLastSentSettingsLine - SETTINGS_BLOCK + 1));
    for (int i = LIST_BLOCK; i < kFirstListRowLine + rows; ++i)
        out.emplace_back(line(i));
    for (int i = SETTINGS_BLOCK; i <= kLastSentSettingsLine; ++i)
        out.emplace_back(line(i));
    return out;
}

std::string ConfigText::sentText(int listRows) const
{
    std::string text;
    for (const std::string& l : linesToSend(listRows)) {
        text += l;
        text += "\r\n";
    }
    return text;
}
