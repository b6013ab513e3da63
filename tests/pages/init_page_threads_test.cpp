// The "Kesto Initial" page in the main window on emulated writers: the
// question, the run in its order, one worker per listed writer whatever the
// check boxes, the refusals, the button while the workers run, and Enter.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include <algorithm>
#include <functional>
#include <ostream>

#include "app/COptionTabCtrl.h"
#include "app/DialogUnits.h"
#include "fake_clock.h"
#include "pages/CTab_KestoFormat.h"
#include "window_rig.h"

using namespace std::chrono_literals;

namespace {

const std::vector<std::uint8_t> kInitialRequest{CMD_FS_INITIAL};

bool askedToInitialize(const EmulatedWriter& writer)
{
    const auto requests = writer.requests();
    return std::find(requests.begin(), requests.end(), kInitialRequest) != requests.end();
}

class InitPageThreads : public WindowRig {
protected:
    // The workers wait on the clock: the window goes first.
    ~InitPageThreads() override { window.reset(); }

    CTab_KestoFormat& page() { return *window->initPage(); }
    QPushButton& runButton() { return *page().runButton(); }

    // The window on the bus's writers, with the page on show and timed by
    // the test's clock.
    void open()
    {
        start();
        page().setClock(clock);
        QTabBar* tabs = window->tabControl()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        EXPECT_TRUE(page().isVisible());
    }
    void clickRun() { QTest::mouseClick(&runButton(), Qt::LeftButton); }

    int logLineCount() { return int(logLines().size()); }
    std::size_t requestsOf(int writer) { return bus.writers()[std::size_t(writer)]->requests().size(); }

    FakeClock clock;
};

TEST_F(InitPageThreads, TheButtonSitsWhereTheDialogPlacesIt)
{
    open();
    const DialogUnits du(page().font());
    EXPECT_EQ(CTab_KestoFormat::IDD, 134);
    EXPECT_EQ(runButton().text(), QStringLiteral("VREN Kesto Initialization -> RUN"));
    EXPECT_EQ(runButton().geometry(), du.rect(35, 51, 166, 34));
    EXPECT_EQ(page().size(), QSize(du.x(235), du.y(170)));
    EXPECT_TRUE(runButton().isEnabled());
    EXPECT_EQ(page().initRunning, 0);
}

TEST_F(InitPageThreads, NoChangesNothingAndTouchesNoWriter)
{
    plug();
    plug();
    open();
    // Writers left open on purpose: a No must not close them either.
    ASSERT_NE(window->session().reopenWriters(), 0);
    const int linesBefore = logLineCount();
    const std::size_t requests0 = requestsOf(0), requests1 = requestsOf(1);
    boxes.answerYes = false;

    clickRun();

    EXPECT_EQ(boxes.shown(), std::vector<std::string>{CTab_KestoFormat::kConfirmText});
    EXPECT_EQ(boxes.captions(), std::vector<std::string>{"VREN Kesto Initialization"});
    EXPECT_EQ(std::string(CTab_KestoFormat::kConfirmText),
              "VREN Kesto's FileSystem will be initialized!\r\nWill you execute VREN Kesto Initialization?");
    EXPECT_TRUE(window->deviceTable().isOpen(0));
    EXPECT_TRUE(window->deviceTable().isOpen(1));
    EXPECT_EQ(requestsOf(0), requests0);
    EXPECT_EQ(requestsOf(1), requests1);
    EXPECT_FALSE(window->session().runningOperation());
    EXPECT_EQ(page().initRunning, 0);
    EXPECT_TRUE(runButton().isEnabled());
    EXPECT_EQ(logLineCount(), linesBefore);
}

TEST_F(InitPageThreads, TwoListedWritersStartExactlyTwoWorkersWhateverTheCheckBoxes)
{
    plug();
    plug();
    open();
    ASSERT_EQ(window->session().listedCount, 2);
    // Neither row checked; and a third writer plugged in since the listing
    // (the rig has no notifier) is opened but not listed.
    list().ClickCellCheckBox(0, ContactList::ColumnEnable);
    list().ClickCellCheckBox(1, ContactList::ColumnEnable);
    ASSERT_FALSE(list().IsRowChecked(0));
    ASSERT_FALSE(list().IsRowChecked(1));
    auto third = plug();

    clickRun();
    EXPECT_FALSE(runButton().isEnabled());
    EXPECT_EQ(page().initRunning, 1);
    EXPECT_TRUE(window->operationRunning());
    EXPECT_FALSE(window->deviceTable().isOpen(2)) << "no worker for it, so not kept open";

    // Writer 0 is done at once; writer 1 is left alone for 30 s.
    ASSERT_TRUE(testsupport::waitUntil([&] { return list().StatusText(0) == "Kesto Initial - OK!"; }));
    ASSERT_TRUE(clock.waitUntilAsleep(1));
    QCoreApplication::processEvents();
    EXPECT_EQ(list().StatusText(1), "Initializing~~");
    EXPECT_FALSE(runButton().isEnabled()) << "busy until the last worker";
    EXPECT_EQ(page().initRunning, 1);

    clock.setElapsed(30s);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(column(ContactList::ColumnStatus), (QStringList{"Kesto Initial - OK!", "Kesto Initial - OK!"}));
    EXPECT_TRUE(runButton().isEnabled());
    EXPECT_EQ(page().initRunning, 0);
    EXPECT_FALSE(window->operationRunning());

    EXPECT_TRUE(askedToInitialize(*bus.writers()[0]));
    EXPECT_TRUE(askedToInitialize(*bus.writers()[1]));
    EXPECT_FALSE(askedToInitialize(*third));
    const QStringList lines = logLines();
    EXPECT_EQ(lines.filter(QStringLiteral(": Finish!")).size(), 2);
    EXPECT_EQ(lines.filter(QStringLiteral("Dev01: EXIT Ok! - Kesto Initial")).size(), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("Dev02: EXIT Ok! - Kesto Initial")).size(), 1);
    for (int i = 0; i < kMaxDevices; ++i)
        EXPECT_FALSE(window->deviceTable().isOpen(i)) << i;
}

struct RefusalCase {
    const char* name;
    int pluggedBeforeStart;
    std::function<void(EmulatedBus&)> afterListing;
    const char* text;
};
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class InitPageRefusal : public InitPageThreads, public testing::WithParamInterface<RefusalCase> {};

TEST_P(InitPageRefusal, LogsAndShowsWhyAndLeavesTheButtonEnabled)
{
    const RefusalCase& c = GetParam();
    for (int i = 0; i < c.pluggedBeforeStart; ++i)
        plug();
    open();
    if (c.afterListing)
        c.afterListing(bus);

    clickRun();
    EXPECT_EQ(boxes.shown(), (std::vector<std::string>{CTab_KestoFormat::kConfirmText, c.text}));
    EXPECT_EQ(logLines().back().toStdString(), c.text);
    EXPECT_FALSE(window->session().runningOperation());
    EXPECT_EQ(page().initRunning, 0);
    EXPECT_TRUE(runButton().isEnabled());
    for (const auto& w : bus.writers())
        EXPECT_FALSE(askedToInitialize(*w));
    for (int i = 0; i < kMaxDevices; ++i)
        EXPECT_FALSE(window->deviceTable().isOpen(i)) << i;
}

INSTANTIATE_TEST_SUITE_P(InitPage, InitPageRefusal,
    testing::Values(
        RefusalCase{"NoWriter", 0, nullptr, "Cannot Open SOLVAN USB Device!"},
        RefusalCase{"ListedWritersGone", 2,
                    [](EmulatedBus& bus) {
                        for (const auto& w : bus.writers())
                            bus.unplug(w);
                    },
                    "Cannot Open SOLVAN USB Device!"},
        RefusalCase{"WriterPresentButNoneListed", 0,
                    [](EmulatedBus& bus) { bus.plug(std::make_shared<EmulatedWriter>()); },
                    "No Contact SOLVAN USB Device!"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(InitPageThreads, EnterDoesNothing)
{
    plug();
    open();
    const std::size_t requests = requestsOf(0);
    runButton().setFocus();
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(&runButton(), Qt::Key(key));
        QTest::keyClick(&page(), Qt::Key(key));
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(requestsOf(0), requests);
    EXPECT_EQ(page().initRunning, 0);
}

// The window swallows clicks while it works on the writers; the keyboard
// (Space on the focused button) must not start a run that would close the
// writers under a relisting.
TEST_F(InitPageThreads, ButtonPressedWhileTheWritersAreBusyAsksNothing)
{
    auto slow = plug();
    timeout = 300ms;
    open();
    WriterFaults faults;
    faults.replyDelay = 150ms;
    slow->setFaults(faults);
    window->RelistWriters();
    ASSERT_TRUE(window->relisting());
    runButton().setFocus();
    QTest::keyClick(&runButton(), Qt::Key_Space);
    EXPECT_TRUE(boxes.shown().empty());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(list().StatusText(0), "VREN Kesto Contact-OK!");
}

} // namespace
