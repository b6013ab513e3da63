// A relisting checks its writers on threads of its own.

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "EmulatedTransport.h"
#include "app/ContactList.h"
#include "app/MainWindow.h"
#include "app/MessageLogPane.h"
#include "recording.h"
#include "window_rig.h"

using namespace std::chrono_literals;

namespace {

class RelistThreads : public WindowRig {};

TEST_F(RelistThreads, TenWritersWithThreeSilentAreListedInIndexOrder)
{
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
    for (int i = 0; i < 10; ++i) {
        auto w = std::make_shared<EmulatedWriter>();
        if (i == 2 || i == 5 || i == 9) {
            WriterFaults silent;
            silent.noAnswer = true;
            w->setFaults(silent);
        }
        if (i == 7)
            w->setContactMode(ContactMode::IspDown);
        bus.plug(w);
        writers.push_back(w);
    }
    timeout = 100ms;
    start(environment(), false);

    ContactList& list = *window->contactList();
    ASSERT_EQ(list.GetRowCount(), 10);
    for (int row = 0; row < 10; ++row) {
        const char* expected = (row == 2 || row == 5 || row == 9) ? "Contact - Unknown!"
            : row == 7 ? "Kesto Contact - ISP" : "VREN Kesto Contact-OK!";
        EXPECT_EQ(list.StatusText(row), expected) << row;
        EXPECT_EQ(list.GetCellText(row, ContactList::ColumnNumber), QString::number(row + 1));
    }
    const QStringList lines = window->messageLog()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(lines[i], QStringLiteral("VREN Kesto Device No.%1 Contact - OK!").arg(i + 1));

    // A second relisting reuses nothing of the first.
    relist();
    EXPECT_EQ(list.GetRowCount(), 10);
}

} // namespace
