#pragma once
// Test doubles for the log and the message boxes: they record what the code
// under test says, from any thread.

#include <mutex>
#include <string>
#include <vector>

#include "core/MessageBoxes.h"
#include "core/MessageLog.h"

struct LogLine {
    Rgb color;
    std::string text;
};

class RecordingLog : public MessageLog {
public:
    std::vector<LogLine> lines() const
    {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const LogLine& l : lines())
            out.push_back(l.text);
        return out;
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

protected:
    void append(Rgb color, std::string text) override
    {
        std::lock_guard lock(mutex_);
        lines_.push_back({color, std::move(text)});
    }

private:
    mutable std::mutex mutex_;
    std::vector<LogLine> lines_;
};

class RecordingBoxes : public MessageBoxes {
public:
    void information(const std::string& text) override
    {
        std::lock_guard lock(mutex_);
        shown_.push_back(text);
    }
    bool askYesNo(const std::string& text) override
    {
        std::lock_guard lock(mutex_);
        shown_.push_back(text);
        return answerYes;
    }
    std::vector<std::string> shown() const
    {
        std::lock_guard lock(mutex_);
        return shown_;
    }

    bool answerYes = true;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> shown_;
};
