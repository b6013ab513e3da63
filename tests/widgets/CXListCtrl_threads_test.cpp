// SetCellText from worker threads: never waits for the UI thread, keeps each
// thread's order, and is harmless once the list is gone.

#include "test_support.h"
#include "widgets/CXListCtrl.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kWorkers = 4;
constexpr int kTextsPerWorker = 300;

std::unique_ptr<CXListCtrl> listWithRows(int rows)
{
    auto list = std::make_unique<CXListCtrl>();
    list->AddColumn(0, "Dev No.", Qt::AlignHCenter, 62);
    list->AddColumn(1, "Status", Qt::AlignLeft, 166);
    for (int row = 0; row < rows; ++row)
        list->AddRow(row, QString::number(row + 1));
    return list;
}

TEST(CellTextFromThreads, ArrivesWithoutBlockingTheWorkersAndInEachThreadsOrder)
{
    std::unique_ptr<CXListCtrl> list = listWithRows(kWorkers);
    // Every text a cell shows, in the order it was shown.
    std::map<int, std::vector<QString>> shown;
    QObject::connect(list->model(), &QAbstractItemModel::dataChanged, list.get(),
                     [&](const QModelIndex& from, const QModelIndex&) {
                         if (from.column() == 1)
                             shown[from.row()].push_back(list->GetCellText(from.row(), 1));
                     });

    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&list, w] {
            for (int i = 0; i < kTextsPerWorker; ++i)
                list->SetCellText(w, 1, QString::number(i));
            list->SetCellText(w, 1, QString("done"), Qt::red, QColor());
        });
    }
    // The UI thread runs no events until every worker has finished: a set-text
    // that waited for the UI thread would hang here.
    for (std::thread& t : workers)
        t.join();
    EXPECT_TRUE(shown.empty());

    ASSERT_TRUE(testsupport::waitUntil([&] {
        for (int w = 0; w < kWorkers; ++w) {
            if (list->GetCellText(w, 1) != "done")
                return false;
        }
        return true;
    }));
    for (int w = 0; w < kWorkers; ++w) {
        SCOPED_TRACE(w);
        const std::vector<QString>& seq = shown[w];
        ASSERT_EQ(seq.size(), size_t(kTextsPerWorker) + 1);
        for (int i = 0; i < kTextsPerWorker; ++i)
            ASSERT_EQ(seq[size_t(i)], QString::number(i));
        QColor text, background;
        list->GetCellColors(w, 1, text, background);
        EXPECT_EQ(text, QColor(Qt::red));
    }
}

TEST(CellTextFromThreads, UiThreadAppliesTextsWhileWorkersKeepPosting)
{
    // Posting and applying overlap here, so the hand-off itself is what
    // ThreadSanitizer watches.
    std::unique_ptr<CXListCtrl> list = listWithRows(kWorkers);
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&list, &finished, w] {
            for (int i = 0; i <= kTextsPerWorker; ++i)
                list->SetCellText(w, 1, QString::number(i));
            ++finished;
        });
    }
    const bool done = testsupport::waitUntil([&] {
        if (finished < kWorkers)
            return false;
        for (int w = 0; w < kWorkers; ++w) {
            if (list->GetCellText(w, 1) != QString::number(kTextsPerWorker))
                return false;
        }
        return true;
    });
    for (std::thread& t : workers)
        t.join();
    EXPECT_TRUE(done);
}

TEST(CellTextFromThreads, TextsForALostRowOrAGoneListAreDropped)
{
    std::unique_ptr<CXListCtrl> list = listWithRows(1);
    CXListCtrl::TextPoster poster = list->GetTextPoster();

    std::thread([&] {
        EXPECT_TRUE(list->SetCellText(5, 1, "no such row")); // queued; dropped on arrival
        EXPECT_TRUE(poster.SetCellText(0, 1, "pending"));
    }).join();
    // The list goes away with texts still queued for it.
    list.reset();
    QCoreApplication::processEvents();

    bool accepted = true;
    std::thread([&] { accepted = poster.SetCellText(0, 1, "too late"); }).join();
    EXPECT_FALSE(accepted);
}

TEST(CellTextFromThreads, OnTheListsThreadTheTextIsThereAtOnce)
{
    std::unique_ptr<CXListCtrl> list = listWithRows(1);
    EXPECT_TRUE(list->GetTextPoster().SetCellText(0, 1, "now"));
    EXPECT_EQ(list->GetCellText(0, 1), "now");
    EXPECT_FALSE(list->GetTextPoster().SetCellText(3, 1, "missing"));
}

} // namespace
