// An operation seen from the window: the page stays busy until the last
// worker, the window keeps turning while writers are checked, and closing the
// window while writers work asks first and then ends cleanly.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "pages/CTab_ConfigSave.h"
#include "window_rig.h"

using namespace std::chrono_literals;

namespace {

class WindowOperationThreads : public WindowRig {
protected:
    CTab_ConfigSave& page() { return *window->configPage(); }
    bool pageControlsEnabled() { return page().configSaveButton()->isEnabled() && page().configLoadButton()->isEnabled(); }
};

TEST_F(WindowOperationThreads, PageStaysBusyUntilItsLastWorkerHasFinished)
{
    plug();
    auto slow = plug();
    timeout = 500ms;
    start();
    WriterFaults faults;
    faults.replyDelay = 250ms;
    slow->setFaults(faults);
    page().chipCombo()->setCurrentText(QStringLiteral("HERON"));

    ASSERT_NE(window->session().reopenWriters(), 0);
    ASSERT_TRUE(window->runOperation(Operation::ConfigSave, {0, 1}, nullptr));
    EXPECT_EQ(page().configSaveRunning, 1);
    EXPECT_FALSE(pageControlsEnabled());
    EXPECT_TRUE(page().fatVerifyCombo()->isEnabled()) << "the FAT verify choice is never taken away";

    // The first writer is done long before the second.
    ASSERT_TRUE(testsupport::waitUntil([&] { return list().StatusText(0) == "Config Save - OK!"; }));
    EXPECT_EQ(list().StatusText(1), "VREN Kesto Contact-OK!");
    EXPECT_EQ(page().configSaveRunning, 1) << "still busy: writer 2 works";
    EXPECT_FALSE(pageControlsEnabled());
    EXPECT_TRUE(window->operationRunning()) << "clicks still wait";

    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(list().StatusText(1), "Config Save - OK!");
    EXPECT_EQ(page().configSaveRunning, 0);
    EXPECT_TRUE(pageControlsEnabled());
    EXPECT_TRUE(page().fatVerifyCombo()->isEnabled()) << "writer 1 took part";
    EXPECT_FALSE(page().crystalEdit()->isEnabled()) << "HERON keeps the crystal field disabled";
    EXPECT_FALSE(window->operationRunning());
}

TEST_F(WindowOperationThreads, WindowKeepsTurningWhileSilentWritersHoldTheirChecks)
{
    for (int i = 0; i < 5; ++i)
        plug();
    timeout = 600ms;
    start();
    WriterFaults silent;
    silent.noAnswer = true;
    for (int i : {0, 2, 4})
        bus.writers()[std::size_t(i)]->setFaults(silent);

    int ticks = 0;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    QElapsedTimer elapsed;
    elapsed.start();
    window->RelistWriters();
    EXPECT_LT(elapsed.elapsed(), 300);
    EXPECT_TRUE(window->operationRunning()) << "clicks wait for the relisting";
    ASSERT_TRUE(waitIdle());
    EXPECT_GE(ticks, int(elapsed.elapsed() / 50) - 4);
    EXPECT_EQ(column(ContactList::ColumnStatus),
              (QStringList{"Contact - Unknown!", "VREN Kesto Contact-OK!", "Contact - Unknown!", "VREN Kesto Contact-OK!",
                           "Contact - Unknown!"}));
}

TEST_F(WindowOperationThreads, ClosingWhileWritersWorkAsksAndOnYesEndsWithinOneTransfer)
{
    plug();
    plug();
    timeout = 400ms;
    start();
    WriterFaults slow;
    slow.replyDelay = 100ms;
    for (const auto& w : bus.writers())
        w->setFaults(slow);
    auto middle = [](WorkerContext& c) {
        for (int i = 0; i < 50 && !c.stopRequested; ++i) {
            DeviceInfoText info;
            if (c.protocol.Kesto_GetDeviceInfo(c.dev, info) != OS_SUCCESS)
                return OS_READ_USB_ERROR;
        }
        return OS_SUCCESS;
    };

    // No: nothing changes, the writers go on and finish.
    boxes.answerYes = false;
    ASSERT_NE(window->session().reopenWriters(), 0);
    ASSERT_TRUE(window->runOperation(Operation::ConfigLoad, {0, 1}, middle));
    window->close();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].rfind("2 writer(s) are still working.", 0), 0u) << boxes.shown()[0];
    EXPECT_TRUE(window->isVisible());
    testsupport::waitUntil([] { return false; }, 300);
    EXPECT_EQ(window->session().workingWriters(), 2) << "still working";

    // Yes: the workers stop after their transfer in flight; the window ends.
    boxes.answerYes = true;
    QElapsedTimer elapsed;
    elapsed.start();
    window->close();
    EXPECT_TRUE(window->isVisible()) << "not before its writers have stopped";
    ASSERT_TRUE(testsupport::waitUntil([&] { return !window->isVisible(); }, 3000));
    EXPECT_LT(elapsed.elapsed(), 400 + 300) << "within one transfer time-out";
    EXPECT_EQ(window->session().workingWriters(), 0);
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(list().StatusText(row), "Error!") << "an interrupted writer is not reported as done";
}

TEST_F(WindowOperationThreads, WindowDestroyedWhileWritersWorkNeitherCrashesNorHangs)
{
    plug();
    plug();
    plug();
    timeout = 300ms;
    start();
    WriterFaults silent;
    silent.noAnswer = true;
    for (const auto& w : bus.writers())
        w->setFaults(silent);
    ASSERT_NE(window->session().reopenWriters(), 0);
    ASSERT_TRUE(window->runOperation(Operation::Initialization, {0, 1, 2}, nullptr));
    QElapsedTimer elapsed;
    elapsed.start();
    window.reset();
    EXPECT_LT(elapsed.elapsed(), 300 + 400);
    testsupport::waitUntil([] { return false; }, 100); // anything posted to the window is dropped
}

} // namespace
