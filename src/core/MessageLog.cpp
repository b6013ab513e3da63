#include "core/MessageLog.h"

#include <algorithm>
#include <array>
#include <cstdio>

std::string MessageLog::formatLine(const char* format, va_list args)
{
    std::array<char, kMaxLineBytes + 1> buffer{};
    const int n = std::vsnprintf(buffer.data(), buffer.size(), format, args);
    if (n < 0)
        return {};
    return std::string(buffer.data(), std::min<std::size_t>(std::size_t(n), kMaxLineBytes));
}

void MessageLog::LogText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = formatLine(format, args);
    va_end(args);
    append(kLogTextColor, std::move(text));
}

void MessageLog::LogColored(Rgb color, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = formatLine(format, args);
    va_end(args);
    append(color, std::move(text));
}

void MessageLog::LogPreformatted(Rgb color, std::string text)
{
    if (text.size() > kMaxLineBytes)
        text.resize(kMaxLineBytes);
    append(color, std::move(text));
}

void LogBuffer::append(Rgb color, std::string text)
{
    lines_.push_back({color, std::move(text)});
}

void LogBuffer::replayInto(MessageLog& target)
{
    for (Line& line : lines_)
        target.LogPreformatted(line.color, std::move(line.text));
    lines_.clear();
}
