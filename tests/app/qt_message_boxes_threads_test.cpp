#include "app/QtMessageBoxes.h"

#include "test_support.h"

#include <QThread>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Records the boxes instead of showing them.
class RecordingBoxes : public QtMessageBoxes {
public:
    using QtMessageBoxes::QtMessageBoxes;

    struct Shown {
        QString text;
        QThread* thread;
    };
    std::vector<Shown> shown; // touched on the UI thread only

protected:
    void showInformation(const QString& text) override { shown.push_back({text, QThread::currentThread()}); }
};

TEST(QtMessageBoxesThreads, UiThreadCallShowsAtOnce)
{
    RecordingBoxes boxes(nullptr, QStringLiteral("VREN_Kesto_Configurator"));
    boxes.information("\xA2\xD1 No device!\r\n");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8("☞ No device!\n"));
}

// A worker must not wait for the user (or for a busy UI thread): the box is
// posted and shown later on the UI thread.
TEST(QtMessageBoxesThreads, WorkerCallReturnsWithoutWaitingForTheUiThread)
{
    RecordingBoxes boxes(nullptr, QStringLiteral("VREN_Kesto_Configurator"));
    std::atomic<bool> returned{false};
    bool answer = true;
    std::thread worker([&] {
        boxes.information("Dev01 \xA1\xDA");
        answer = boxes.askYesNo("Continue?");
        returned = true;
    });
    // The UI thread runs no events meanwhile; a blocking call would never return.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!returned && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    worker.join();
    ASSERT_TRUE(returned);
    EXPECT_FALSE(answer) << "a question off the UI thread is answered No without asking";
    EXPECT_TRUE(boxes.shown.empty());

    ASSERT_TRUE(testsupport::waitUntil([&] { return !boxes.shown.empty(); }));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8("Dev01 ★"));
    EXPECT_EQ(boxes.shown[0].thread, QThread::currentThread());
}

} // namespace
