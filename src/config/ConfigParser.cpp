#include "config/ConfigParser.h"

#include <algorithm>
#include <limits>
#include <string>

#include "core/MessageLog.h"

namespace {

constexpr int kRequiredColons = 9;
constexpr std::size_t kMinimumDashes = 50;
constexpr std::string_view kSeparatorStart = "--------------------"; // twenty dashes
constexpr std::size_t kCrystalChars = 10;
constexpr std::size_t kSwitchChars = 6; // "Enable", and "Disabl" of "Disable"
constexpr std::size_t kMaxChipChars = kConfigLineMaxChars - configpos::Chip.column;
constexpr std::int32_t kMaxSpeed = 10;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits anywhere in text[from, to), other characters passed over, held at `cap`.
std::int32_t digitsValue(std::string_view text, std::size_t from, std::size_t to, std::int32_t cap)
{
    std::int64_t value = 0;
    for (std::size_t i = from; i < to && i < text.size(); ++i)
        if (isDigit(text[i]))
            value = std::min<std::int64_t>(cap, value * 10 + (text[i] - '0'));
    return std::int32_t(value);
}

// Reads the settings one after the other, each after the next colon.
class SettingsReader {
public:
    SettingsReader(std::string_view text, std::size_t start)
        : text_(text)
        , pos_(std::min(start, text.size()))
    {
    }

    // Moves past the next colon; false when there is none.
    bool nextColon()
    {
        const std::size_t colon = text_.find(':', pos_);
        if (colon == std::string_view::npos) {
            pos_ = text_.size();
            return false;
        }
        pos_ = colon + 1;
        return true;
    }

    // The rest of the current line from the position (without CR or LF).
    std::string_view restOfLine(bool skipBlanks) const
    {
        std::size_t from = pos_;
        const std::size_t end = lineEnd();
        if (skipBlanks)
            while (from < end && isBlank(text_[from]))
                ++from;
        return text_.substr(from, end - from);
    }

private:
    std::size_t lineEnd() const
    {
        const std::size_t end = text_.find_first_of("\r\n", pos_);
        return end == std::string_view::npos ? text_.size() : end;
    }

    std::string_view text_;
    std::size_t pos_;
};

} // namespace

TargetFileEntry parseListLine(std::string_view line)
{
    TargetFileEntry entry;
    std::size_t nameStart = 0;
    entry.enabled = 1;
    if (line.substr(0, 2) == "//") {
        entry.enabled = 0;
        nameStart = 2;
    }
    std::size_t nameEnd = line.find('/', nameStart);
    if (nameEnd == std::string_view::npos)
        nameEnd = line.size();
    std::size_t trimmed = nameEnd;
    while (trimmed > nameStart && isBlank(line[trimmed - 1]))
        --trimmed;
    entry.fileName.assign(line.substr(nameStart, trimmed - nameStart));

    const std::size_t letter = line.find_first_of("IN", nameEnd);
    if (letter == std::string_view::npos)
        return entry;
    entry.target = line[letter] == 'N' ? kTargetNand : kTargetInFlash;

    const std::size_t sectorSlash = line.find('/', letter + 1);
    if (sectorSlash == std::string_view::npos)
        return entry;
    const std::size_t flagSlash = line.find('/', sectorSlash + 1);
    entry.sectorNo = digitsValue(line, sectorSlash + 1, std::min(flagSlash, line.size()),
                                 std::numeric_limits<std::int32_t>::max());
    if (flagSlash == std::string_view::npos)
        return entry;
    const std::size_t flag = line.find_first_of("01", flagSlash + 1);
    if (flag != std::string_view::npos)
        entry.fatFlag = line[flag] == '1' ? 1 : 0;
    return entry;
}

OperationStatus ParseConfigText(std::string_view text, int deviceIndex, MessageLog& log, ConfigText& configText,
                                TargetSettings& settings, std::vector<TargetFileEntry>& targetEntries)
{
    const auto dashes = std::count(text.begin(), text.end(), '-');
    const auto colons = std::count(text.begin(), text.end(), ':');
    if (text.empty() || std::size_t(dashes) < kMinimumDashes || colons != kRequiredColons) {
        log.LogText("\t +  Dev%02d: <configuration> is wrong file!\r\n", deviceIndex + 1);
        return OS_CONFIG_WRONG;
    }

    // The list part: lines from 3 on, up to and including the separator.
    int lastListLine = -1;        // the last line stored
    int separator = -1;           // S
    std::size_t settingsStart = text.size();
    std::size_t pos = 0;
    int index = 0;
    while (pos < text.size()) {
        const std::size_t crlf = text.find("\r\n", pos);
        const std::size_t end = crlf == std::string_view::npos ? text.size() : crlf;
        const std::size_t next = crlf == std::string_view::npos ? text.size() : crlf + 2;
        const std::string_view line = text.substr(pos, end - pos);
        if (index >= 3) {
            if (index <= kListBlockLastLine) {
                configText.setLine(index, line.substr(0, kConfigLineMaxChars));
                lastListLine = index;
            }
            if (line.substr(0, kSeparatorStart.size()) == kSeparatorStart) {
                separator = index;
                settingsStart = next;
                break;
            }
        }
        pos = next;
        ++index;
    }
    const int listEnd = separator >= 0 ? separator : index; // S, one past the last list line
    const int lastEntryLine = std::min(listEnd - 1, lastListLine);

    SettingsReader reader(text, settingsStart);
    if (reader.nextColon()) {
        const std::string_view rest = reader.restOfLine(false);
        settings.downloadSpeed = digitsValue(rest, 0, rest.size(), kMaxSpeed);
    } else {
        settings.downloadSpeed = 0;
    }
    if (reader.nextColon())
        settings.buzzer = reader.restOfLine(true).substr(0, 3) == "off" ? "OFF" : "ON";
    if (reader.nextColon())
        settings.selectChip.assign(reader.restOfLine(true).substr(0, kMaxChipChars));
    if (reader.nextColon()) {
        std::string_view crystal = reader.restOfLine(false).substr(0, kCrystalChars);
        crystal = crystal.substr(0, crystal.find('-'));
        settings.crystalFrequency.assign(crystal);
    }
    reader.nextColon(); // FAT start block: the builder takes it from the entries
    if (reader.nextColon())
        settings.fatVerify.assign(reader.restOfLine(true).substr(0, kSwitchChars));
    if (reader.nextColon())
        settings.eraseEnable.assign(reader.restOfLine(true).substr(0, kSwitchChars));

    targetEntries.clear();
    for (int i = kFirstListRowLine; i <= lastEntryLine; ++i)
        targetEntries.push_back(parseListLine(configText.line(i)));
    return OS_SUCCESS;
}

OperationStatus ParseConfigText(const char* text, std::int64_t length, int deviceIndex, MessageLog& log,
                                ConfigText& configText, TargetSettings& settings,
                                std::vector<TargetFileEntry>& targetEntries)
{
    const std::string_view view = text && length > 0 ? std::string_view(text, std::size_t(length)) : std::string_view();
    return ParseConfigText(view, deviceIndex, log, configText, settings, targetEntries);
}
