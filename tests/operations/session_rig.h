#pragma once
// A writer session on emulated writers with nothing of the window: the log,
// the boxes, the writer list and the operation's report are recorders.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EmulatedNotifier.h"
#include "EmulatedTransport.h"
#include "operations/WriterSession.h"
#include "recording.h"
#include "test_support.h"

// The rows a relisting shows, in order.
class RecordingListView : public WriterListView {
public:
    void clearWriters() override { rows.clear(); ++clears; }
    void addWriter(const std::string& statusText, const WriterDetails& d) override
    {
        rows.push_back(statusText);
        details.push_back(d);
    }

    std::vector<std::string> rows;
    std::vector<WriterDetails> details; // of every row ever added
    int clears = 0;
};

class SessionRig : public testing::Test {
protected:
    // Writers "VREN Kesto Writer SN-0001", ... plugged in; each transfer
    // waits at most `timeout`.
    void plugWriters(int n)
    {
        for (int i = 0; i < n; ++i) {
            auto w = std::make_shared<EmulatedWriter>("VREN Kesto Writer SN-" + std::to_string(1001 + int(writers.size())));
            bus.plug(w);
            writers.push_back(w);
        }
    }

    // The session with its back end and, if asked, the emulated notifier;
    // returns after the first relisting.
    WriterSession& start(bool withNotifier = false)
    {
        session = std::make_unique<WriterSession>(log, boxes, view);
        session->setBackend([this](TransportServices services) -> std::unique_ptr<TransportBackend> {
            return std::make_unique<EmulatedTransport>(std::move(services), bus, timeout);
        });
        if (withNotifier) {
            auto n = std::make_unique<EmulatedNotifier>(bus);
            notifier = n.get();
            session->setNotifier(std::move(n));
        }
        session->RelistWriters();
        EXPECT_TRUE(waitIdle());
        if (withNotifier) {
            EXPECT_TRUE(session->registerWriterClass());
        }
        return *session;
    }

    // Until nothing runs on the writers and what the runner posted back has
    // been handled.
    bool waitIdle(int timeoutMs = 5000)
    {
        const bool idle = testsupport::waitUntil([this] { return !session->busy(); }, timeoutMs);
        QCoreApplication::processEvents();
        return idle;
    }

    std::chrono::milliseconds timeout{100};
    RecordingLog log;
    RecordingBoxes boxes;
    RecordingListView view;
    EmulatedBus bus;
    EmulatedNotifier* notifier = nullptr;
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
    std::unique_ptr<WriterSession> session;
};
