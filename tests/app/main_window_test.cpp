// The main window on emulated writers: start-up, the writer list, the pages,
// keys and clicks, the window position.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "EmulatedTransport.h"
#include "app/Application.h"
#include "app/COptionTabCtrl.h"
#include "app/ContactList.h"
#include "app/MainWindow.h"
#include "app/MessageLogPane.h"
#include "app/SingleInstance.h"
#include "pages/CTab_ConfigSave.h"
#include "pages/CTab_KestoFormat.h"
#include "recording.h"
#include "test_support.h"
#include "window_rig.h"
#include "widgets/CXHeaderCtrl.h"

using namespace std::chrono_literals;

namespace {

class MainWindowTest : public WindowRig {
protected:
    MainWindowTest() { timeout = 80ms; }

    void clickRowBox(int row)
    {
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, list().CheckBoxRect(row, ContactList::ColumnEnable).center());
    }
    QColor rowBackground(int row, int col = ContactList::ColumnStatus)
    {
        QColor text, background;
        list().GetCellColors(row, col, text, background);
        return background;
    }
};

TEST_F(MainWindowTest, ListsWritersInTheirModesWithOneLogLineEach)
{
    plug(ContactMode::Normal);
    plug(ContactMode::JtagDown);
    plug(ContactMode::IspDown);
    start();

    EXPECT_EQ(window->windowTitle(), QStringLiteral("VREN Kesto Configurator  [V 2.10.9176.9]"));
    EXPECT_EQ(chosenBackend, BackendKind::WinUsb) << "this platform is none of Windows 98, ME, 2000";
    EXPECT_EQ(column(ContactList::ColumnNumber), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(column(ContactList::ColumnStatus),
              (QStringList{"VREN Kesto Contact-OK!", "Kesto Contact - JTAG", "Kesto Contact - ISP"}));
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(list().IsRowChecked(row));
        EXPECT_EQ(list().GetCellCheck(row, ContactList::ColumnEnable), 2);
    }
    EXPECT_EQ(logLines(), (QStringList{"VREN Kesto Device No.1 Contact - OK!", "VREN Kesto Device No.2 Contact - OK!",
                                       "VREN Kesto Device No.3 Contact - OK!"}));
    for (int i = 0; i < kMaxDevices; ++i)
        EXPECT_FALSE(window->deviceTable().isOpen(i)) << "every entry is closed after the relisting";
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(MainWindowTest, FailingAndSilentWritersAreUnknownAndLinesKeepIndexOrder)
{
    plug();
    WriterFaults silent;
    silent.noAnswer = true;
    plug()->setFaults(silent);
    WriterFaults failing;
    failing.firmwareVersionError = 0x0000BEEF;
    plug()->setFaults(failing);
    start();

    EXPECT_EQ(column(ContactList::ColumnStatus),
              (QStringList{"VREN Kesto Contact-OK!", "Contact - Unknown!", "Contact - Unknown!"}));
    // The error line of writer 3 comes between rows 2 and 3, as a check of
    // one writer after the other would write it.
    EXPECT_EQ(logLines(), (QStringList{"VREN Kesto Device No.1 Contact - OK!", "VREN Kesto Device No.2 Contact - OK!",
                                       "\t +  Dev03: Kesto_GetFirmwareVersion Error!", " \t   -> R_Data(0x0000BEEF)",
                                       "VREN Kesto Device No.3 Contact - OK!"}));
}

TEST_F(MainWindowTest, NoWriterShowsTheEmptyListText)
{
    start();
    EXPECT_EQ(list().GetRowCount(), 0);
    EXPECT_EQ(list().GetEmptyText(), QStringLiteral("No USB Devices Connected\nMaximum Contact Devices are 10"));
    EXPECT_TRUE(window->messageLog()->toPlainText().isEmpty()) << "nothing is logged about writers";
}

TEST_F(MainWindowTest, EnBoxesGreyAndWhitenTheirRows)
{
    plug();
    plug();
    start();
    const QColor grey(200, 200, 200), white(255, 255, 255);

    clickRowBox(1);
    EXPECT_FALSE(list().IsRowChecked(1));
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(rowBackground(1, c), grey) << c;
    EXPECT_EQ(rowBackground(0), white);
    EXPECT_EQ(list().GetHeaderCheck(ContactList::ColumnEnable), 1) << "the header follows the rows";

    clickRowBox(1);
    EXPECT_TRUE(list().IsRowChecked(1));
    EXPECT_EQ(rowBackground(1), white);

    // Header box with every row checked: all unchecked and grey.
    CXHeaderCtrl* header = list().GetHeaderCtrl();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->CheckBoxRect(ContactList::ColumnEnable).center());
    for (int row = 0; row < 2; ++row) {
        EXPECT_FALSE(list().IsRowChecked(row));
        EXPECT_EQ(rowBackground(row), grey);
    }
    // And again: all checked and white.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->CheckBoxRect(ContactList::ColumnEnable).center());
    for (int row = 0; row < 2; ++row) {
        EXPECT_TRUE(list().IsRowChecked(row));
        EXPECT_EQ(rowBackground(row), white);
    }
}

TEST_F(MainWindowTest, PagesSitUnderTheirTabs)
{
    start();
    COptionTabCtrl* tabs = window->tabControl();
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabBar()->tabText(0), QStringLiteral("Config Load/Save"));
    EXPECT_EQ(tabs->tabBar()->tabText(1), QStringLiteral("Kesto Initial"));
    EXPECT_EQ(tabs->imageIndex(0), 1);
    EXPECT_EQ(tabs->imageIndex(1), 0);
    EXPECT_EQ(window->configPage()->pos(), QPoint(2, 22));
    EXPECT_EQ(window->initPage()->pos(), QPoint(2, 22));
    EXPECT_TRUE(window->configPage()->isVisible());
    EXPECT_FALSE(window->initPage()->isVisible());
    EXPECT_TRUE(window->configPage()->configLoadButton()->hasFocus() || !QApplication::focusWidget())
        << "start-up leaves the focus on Config Load";

    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    EXPECT_FALSE(window->configPage()->isVisible());
    EXPECT_TRUE(window->initPage()->isVisible());
    EXPECT_EQ(tabs->currentTab(), 1);
}

TEST_F(MainWindowTest, EnterAndEscapeDoNothing)
{
    start();
    int clicks = 0;
    QObject::connect(window->configPage()->configLoadButton(), &QPushButton::clicked, [&] { ++clicks; });
    for (QWidget* target : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(window->configPage()->configLoadButton()),
                            static_cast<QWidget*>(window->contactList())}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(target, key);
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->result(), 0);
    EXPECT_EQ(clicks, 0);
}

TEST_F(MainWindowTest, ClicksWaitWhileAnOperationRuns)
{
    plug();
    start();
    std::atomic<int>* flags[] = {&window->configPage()->configLoadRunning, &window->configPage()->configSaveRunning,
                                 &window->initPage()->initRunning};
    for (std::atomic<int>* flag : flags) {
        *flag = 1;
        EXPECT_TRUE(window->operationRunning());
        clickRowBox(0);
        EXPECT_TRUE(list().IsRowChecked(0)) << "the click was swallowed";
        *flag = 0;
    }
    EXPECT_FALSE(window->operationRunning());
    clickRowBox(0);
    EXPECT_FALSE(list().IsRowChecked(0));
}

TEST_F(MainWindowTest, WindowComesBackWhereItWasClosed)
{
    start();
    EXPECT_EQ(window->pos(), QPoint(0, 0)) << "an empty profile puts the window at (0, 0)";
    window->move(120, 80);
    window->close();
    window.reset();

    start();
    EXPECT_EQ(window->pos(), QPoint(120, 80));
}

TEST_F(MainWindowTest, OldWindowsPlatformsGetTheLibUsbBackEnd)
{
    MainWindowEnvironment env = environment();
    env.osVersion.family = OsVersionRecord::Family::Win9x;
    env.osVersion.major = 4;
    env.osVersion.minor = 90;
    start(std::move(env));
    EXPECT_EQ(window->osVersionCode(), 1999);
    EXPECT_EQ(chosenBackend, BackendKind::LibUsb);
}

TEST_F(MainWindowTest, FailedPlatformDetectionSaysSoAndKeepsCurrentPlatformBackEnd)
{
    MainWindowEnvironment env = environment();
    env.osVersion.queried = false;
    start(std::move(env));
    EXPECT_EQ(boxes.shown(), std::vector<std::string>{"Fail to get current OS!"});
    EXPECT_EQ(chosenBackend, BackendKind::WinUsb);
}

TEST_F(MainWindowTest, SecondStartEndsAtOnceAndTheFirstAsksForAttention)
{
    const QString key = QStringLiteral("main-window-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(key);
    ASSERT_TRUE(first.acquire());
    int attention = 0;
    QObject::connect(&first, &SingleInstance::attentionRequested, [&] { ++attention; });

    CVREN_KESTO_CONFIGURATORApp second;
    EXPECT_EQ(second.InitInstance(environment(), key), 0);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() || std::none_of(QApplication::topLevelWidgets().begin(),
        QApplication::topLevelWidgets().end(), [](QWidget* w) { return w->isVisible(); }))
        << "the second copy shows no window";
    EXPECT_TRUE(testsupport::waitUntil([&] { return attention == 1; }));
}

} // namespace
