#include "core/CodePage.h"
#include "app/MessageLogPane.h"

#include "pane_contents.h"
#include "test_support.h"

#include <QRegularExpression>

#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using testsupport::linesOf;

constexpr int kThreads = 10;
constexpr int kLinesPerThread = 150;
constexpr int kMaxUiLines = 300;
// Every line must still be in the pane to be checked.
static_assert(kThreads * kLinesPerThread + kMaxUiLines < MessageLogPane::kMaxLines);

Rgb threadColor(int thread) { return rgb(std::uint8_t(20 * thread), 0, std::uint8_t(200 - 10 * thread)); }

// Ten workers log at once while the UI thread logs too. Every line must arrive
// whole, in one colour, and each thread's lines in the order they were logged.
TEST(MessageLogPaneThreads, AppendsFromManyThreadsStayWholeAndInOrder)
{
    MessageLogPane pane;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&pane, &running, t] {
            for (int n = 0; n < kLinesPerThread; ++n) {
                pane.LogColored(threadColor(t), "\xA1\xDA" "T%02d #%03d %s\r\n", t, n,
                                std::string(40 + n % 7, char('a' + t)).c_str());
            }
            --running;
        });
    }
    int uiLines = 0;
    while (running > 0) {
        if (uiLines < kMaxUiLines)
            pane.LogText("UI #%03d\r\n", uiLines++);
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (std::thread& w : workers)
        w.join();
    const int expectedLines = kThreads * kLinesPerThread + uiLines;
    ASSERT_TRUE(testsupport::waitUntil([&] { return pane.document()->blockCount() > expectedLines; }));

    const QRegularExpression workerLine(QString::fromUtf8("^★T(\\d\\d) #(\\d\\d\\d) ([a-j]+)$"));
    const QRegularExpression uiLine(QStringLiteral("^UI #(\\d\\d\\d)$"));
    std::array<int, kThreads> nextOf{};
    int nextUi = 0;
    const auto lines = linesOf(*pane.document());
    ASSERT_EQ(int(lines.size()), expectedLines + 1);
    EXPECT_TRUE(lines.back().empty());
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        // Same-coloured neighbours merge, so a whole line is one run.
        ASSERT_EQ(lines[i].size(), 1u) << "line " << i;
        const QString text = lines[i][0].text;
        if (const auto m = uiLine.match(text); m.hasMatch()) {
            EXPECT_EQ(m.captured(1).toInt(), nextUi++) << text.toStdString();
            EXPECT_EQ(lines[i][0].color, kLogTextColor);
            continue;
        }
        const auto m = workerLine.match(text);
        ASSERT_TRUE(m.hasMatch()) << "line " << i << ": " << text.toStdString();
        const int t = m.captured(1).toInt();
        const int n = m.captured(2).toInt();
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(n, nextOf[t]++) << text.toStdString();
        EXPECT_EQ(m.captured(3), QString(40 + n % 7, QLatin1Char('a' + t))) << text.toStdString();
        EXPECT_EQ(lines[i][0].color, threadColor(t)) << text.toStdString();
    }
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(nextOf[t], kLinesPerThread) << "thread " << t;
    EXPECT_EQ(nextUi, uiLines);
}

// A worker's line that is still queued when the UI thread logs was logged
// first, so it is shown first.
TEST(MessageLogPaneThreads, QueuedLinesComeBeforeLaterUiLines)
{
    MessageLogPane pane;
    std::thread worker([&pane] { pane.LogColored(kLogErrorColor, "from worker\r\n"); });
    worker.join();
    EXPECT_TRUE(pane.toPlainText().isEmpty()); // waits for the UI thread's event loop

    pane.LogText("from UI\r\n");
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("from worker\nfrom UI\n"));

    QCoreApplication::processEvents(); // the posted drain finds nothing left
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("from worker\nfrom UI\n"));
}

TEST(CodePageThreads, ConvertsOnManyThreadsAtOnce)
{
    const std::string bytes = "\xA2\xD1 \xC7\xD1\xB1\xDB \x81\x41 C:\\ \xC7";
    const QString text = fromCodePage(bytes);
    const std::string encoded = bytes.substr(0, bytes.size() - 1) + "?"; // the cut lead byte comes back as '?'
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                if (fromCodePage(bytes) != text || toCodePage(text) != encoded)
                    ++failures;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failures, 0);
}

} // namespace
