#pragma once
// The log pane's append operations, callable from any thread.
//
// Texts are code-page-949 bytes, as the writer and the log lines use them;
// only the pane converts them for display. Each append is delivered as one
// unit (colour and text together), and each thread's appends keep their order.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Rgb = std::uint32_t; // 0xRRGGBB

constexpr Rgb rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return (Rgb(r) << 16) | (Rgb(g) << 8) | Rgb(b);
}
constexpr std::uint8_t rgbRed(Rgb c) { return std::uint8_t(c >> 16); }
constexpr std::uint8_t rgbGreen(Rgb c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t rgbBlue(Rgb c) { return std::uint8_t(c); }

// The colours of the log's lines.
constexpr Rgb kLogTextColor = rgb(0, 128, 255);       // ordinary lines
constexpr Rgb kLogErrorColor = rgb(199, 21, 133);     // errors
constexpr Rgb kLogDeviceChangeColor = rgb(0, 0, 139); // plug and unplug

#define KESTO_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))

class MessageLog {
public:
    // A formatted line never holds more than this many bytes; the rest is cut.
    static constexpr std::size_t kMaxLineBytes = 1999;

    virtual ~MessageLog() = default;

    void LogText(const char* format, ...) KESTO_PRINTF_FORMAT(2, 3);
    void LogColored(Rgb color, const char* format, ...) KESTO_PRINTF_FORMAT(3, 4);

    // An already formatted text (cut to kMaxLineBytes), e.g. a line held back
    // so that lines of several threads come out in a fixed order.
    void LogPreformatted(Rgb color, std::string text);

    // printf-style formatting cut to kMaxLineBytes, exactly as the appends do.
    static std::string formatLine(const char* format, va_list args);

protected:
    // Receives one finished append. Called on the appending thread.
    virtual void append(Rgb color, std::string text) = 0;
};

// Holds appends back until they are replayed into another log, in order.
class LogBuffer : public MessageLog {
public:
    void replayInto(MessageLog& target);

protected:
    void append(Rgb color, std::string text) override;

private:
    struct Line {
        Rgb color;
        std::string text;
    };
    std::vector<Line> lines_; // one thread fills it, then one replays it
};
