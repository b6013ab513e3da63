#include "config/SettingsFile.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Names are code-page-949 bytes: a byte from 0x81 up starts a double-byte
// character whose second byte may fall in the ASCII letter range, and
// folding that byte would make two different Korean characters equal.
bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto byte = static_cast<unsigned char>(a[i]);
        if (byte >= 0x81 && byte != 0xFF && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::string unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

} // namespace

SettingsFile SettingsFile::load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return {};
    SettingsFile file = fromText(contents);
    return file;
}

SettingsFile SettingsFile::fromText(std::string_view contents)
{
    SettingsFile file;
    file.found_ = true;
    // A UTF-8 byte order mark left by an editor would otherwise hide the
    // first section.
    if (contents.substr(0, 3) == "\xEF\xBB\xBF")
        contents.remove_prefix(3);

    Section* current = nullptr;
    while (!contents.empty()) {
        const std::size_t end = contents.find('\n');
        std::string_view line = trimmed(contents.substr(0, end));
        contents = end == std::string_view::npos ? std::string_view() : contents.substr(end + 1);

        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            if (const std::size_t close = line.find(']'); close != std::string_view::npos) {
                file.sections_.push_back({std::string(trimmed(line.substr(1, close - 1))), {}});
                current = &file.sections_.back();
                continue;
            }
        }
        const std::size_t equals = line.find('=');
        // Lines before the first section, and lines without '=', hold no value.
        if (!current || equals == std::string_view::npos)
            continue;
        current->keys.emplace_back(std::string(trimmed(line.substr(0, equals))),
                                   unquoted(trimmed(line.substr(equals + 1))));
    }
    return file;
}

const std::string* SettingsFile::find(std::string_view section, std::string_view key) const
{
    for (const Section& s : sections_) {
        if (!sameName(s.name, section))
            continue;
        // Only the first section of that name is looked at.
        for (const auto& [name, value] : s.keys)
            if (sameName(name, key))
                return &value;
        return nullptr;
    }
    return nullptr;
}

std::string SettingsFile::readText(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    const std::string* value = find(section, key);
    const std::string_view text = value ? std::string_view(*value) : defaultValue;
    return std::string(text.substr(0, kMaxTextBytes));
}

int SettingsFile::readInt(std::string_view section, std::string_view key, int defaultValue) const
{
    const std::string* value = find(section, key);
    if (!value)
        return defaultValue;
    long long number = 0;
    for (const char c : *value) {
        if (c < '0' || c > '9')
            break;
        // A run of digits too long for an int stays at the largest one
        // instead of wrapping into a negative number.
        number = std::min<long long>(number * 10 + (c - '0'), INT_MAX);
    }
    return static_cast<int>(number);
}
