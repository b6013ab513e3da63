#pragma once
// The writer's configuration text "config.ini": 86 lines of 260-byte slots,
// each holding at most 259 bytes of code-page-949 text without its line end.
//
// Lines 0..63 are the list block (two counts, a separator, the header, then
// one line per target list row, at most 60), lines 64..85 the settings block
// (64..81 are sent). A value is written at a fixed column of its line and ends
// the line there; the text before the column is the line's label.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr int CONFIG_TEXT_LINES = 86;
constexpr std::size_t CONFIG_LINE_BYTES = 260;
constexpr std::size_t kConfigLineMaxChars = CONFIG_LINE_BYTES - 1;

constexpr int LIST_BLOCK = 0;            // lines 0..63
constexpr int kListBlockLastLine = 63;
constexpr int kFirstListRowLine = 4;
constexpr int kMaxListRows = kListBlockLastLine - kFirstListRowLine + 1; // 60
constexpr int SETTINGS_BLOCK = 64;       // lines 64..85
constexpr int kLastSentSettingsLine = 81;

struct ConfigValuePosition {
    int line;
    std::size_t column;
};

namespace configpos {
constexpr ConfigValuePosition InFlashCount{0, 16};
constexpr ConfigValuePosition NandCount{1, 13};
constexpr ConfigValuePosition Speed{65, 17};
constexpr ConfigValuePosition Buzzer{66, 9};
constexpr ConfigValuePosition Chip{68, 14};
constexpr ConfigValuePosition Crystal{69, 27};
constexpr ConfigValuePosition FatStartBlock{70, 16};
constexpr ConfigValuePosition Verify{71, 9};
constexpr ConfigValuePosition Erase{72, 8};
} // namespace configpos

class ConfigText {
public:
    // Holds the initial content.
    ConfigText();

    void reset();

    // The line's text up to its zero byte; empty for a line that does not exist.
    std::string_view line(int index) const;

    // Replaces a line. Refused (false, line unchanged) for a line that does
    // not exist or a text longer than kConfigLineMaxChars.
    bool setLine(int index, std::string_view text);

    // Writes `value` at `column`, ending the line there; the label before the
    // column stays (blank-padded should the line be shorter). Refused like
    // setLine when the result would not fit.
    bool writeValue(ConfigValuePosition position, std::string_view value);

    // The lines sent to a writer for a list of `listRows` rows: list block
    // lines 0 .. 3 + listRows, then settings lines 64 .. 81. listRows is
    // clamped to 0 .. kMaxListRows, so nothing past the list block is sent as
    // a list line.
    std::vector<std::string> linesToSend(int listRows) const;

    // The same lines as the writer stores them, each ended by CR LF.
    std::string sentText(int listRows) const;

private:
    std::array<std::array<char, CONFIG_LINE_BYTES>, CONFIG_TEXT_LINES> lines_{};
};
