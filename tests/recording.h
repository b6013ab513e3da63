#pragma once
// Test doubles for the log and the message boxes: they record what the code
// under test says, from any thread.

#include <mutex>
#include <string>
#include <vector>

#include "core/MessageBoxes.h"
#include "core/MessageLog.h"
#include "operations/OperationReport.h"

struct LogLine {
    Rgb color;
    std::string text;
    bool operator==(const LogLine&) const = default;
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
        captions_.emplace_back();
    }
    bool askYesNo(const std::string& text, const std::string& caption = {}) override
    {
        std::lock_guard lock(mutex_);
        shown_.push_back(text);
        captions_.push_back(caption);
        return answerYes;
    }
    std::vector<std::string> shown() const
    {
        std::lock_guard lock(mutex_);
        return shown_;
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        shown_.clear();
        captions_.clear();
    }
    // The caption each box in shown() asked for; empty for the usual one.
    std::vector<std::string> captions() const
    {
        std::lock_guard lock(mutex_);
        return captions_;
    }

    bool answerYes = true;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> shown_;
    std::vector<std::string> captions_;
};

// Records what an operation reports, from any thread, in the order it came.
class RecordingReport : public OperationReport {
public:
    struct Event {
        enum Kind { Status, Log, WriterDone, OperationDone } kind;
        int dev = -1;
        std::string text; // status text or log line
        Rgb color = 0;
        OperationStatus status = OperationStatus(0);
        Operation operation = Operation::ConfigLoad;
        ControlsBack controls;
    };

    void writerStatus(int dev, const std::string& text) override
    {
        add({Event::Status, dev, text, 0, OperationStatus(0), Operation::ConfigLoad, {}});
    }
    void logLine(Rgb color, const std::string& text) override
    {
        add({Event::Log, -1, text, color, OperationStatus(0), Operation::ConfigLoad, {}});
    }
    void writerDone(Operation operation, int dev, OperationStatus status) override
    {
        add({Event::WriterDone, dev, {}, 0, status, operation, {}});
    }
    void operationDone(Operation operation, const ControlsBack& controls) override
    {
        add({Event::OperationDone, -1, {}, 0, OperationStatus(0), operation, controls});
    }

    std::vector<Event> events() const
    {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // The log lines, in order.
    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        for (const Event& e : events())
            if (e.kind == Event::Log)
                out.push_back(e.text);
        return out;
    }
    // What writer `dev` was told, status texts in order.
    std::vector<std::string> statusTexts(int dev) const
    {
        std::vector<std::string> out;
        for (const Event& e : events())
            if (e.kind == Event::Status && e.dev == dev)
                out.push_back(e.text);
        return out;
    }
    int count(Event::Kind kind) const
    {
        int n = 0;
        for (const Event& e : events())
            n += e.kind == kind;
        return n;
    }
    bool finished() const { return count(Event::OperationDone) > 0; }
    void clear()
    {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

private:
    void add(Event e)
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(e));
    }

    mutable std::mutex mutex_;
    std::vector<Event> events_;
};
