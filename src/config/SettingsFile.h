#pragma once
// The settings file next to the executable ("Config-VREN_Kesto_Configurator.ini"),
// read the way the Windows private-profile functions read it:
//
//  - "[Section]" lines and "Key=Value" lines; section and key names match
//    ignoring the case of ASCII letters (the second byte of a double-byte
//    character is compared as it is);
//  - blanks around names and values are dropped, and one pair of matching
//    quotes ("..." or '...') around a whole value is removed;
//  - the first section of a name counts, and the first key of a name in it;
//  - a text value is at most 259 bytes; a present empty value is empty text;
//  - an integer is read from the value's leading decimal digits; a value that
//    does not start with a digit gives 0;
//  - a missing file, section or key gives the caller's default.
//
// Texts are bytes as they stand in the file (code page 949). The file is read
// once, when the object is made; the program never writes it.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class SettingsFile {
public:
    // Longest text value handed out, in bytes (a 260-byte buffer with its NUL).
    static constexpr std::size_t kMaxTextBytes = 259;

    // Reads the file at `path`; a file that cannot be read gives an empty
    // settings file (every read returns its default).
    static SettingsFile load(const std::string& path);
    // The same from the file's contents.
    static SettingsFile fromText(std::string_view contents);

    SettingsFile() = default;

    // True when the file could be read (it may still be empty).
    bool fileFound() const { return found_; }

    std::string readText(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;

    // The raw value of a key (before the 259-byte cut), or null when the
    // section or the key is missing.
    const std::string* find(std::string_view section, std::string_view key) const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
    };

    std::vector<Section> sections_;
    bool found_ = false;
};
