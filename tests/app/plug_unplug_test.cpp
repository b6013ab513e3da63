// Writers plugged in and out while the main window runs, on the emulated bus
// and its notifier.

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

#include "EmulatedNotifier.h"
#include "EmulatedTransport.h"
#include "app/ContactList.h"
#include "app/MainWindow.h"
#include "app/MessageLogPane.h"
#include "pages/CTab_ConfigSave.h"
#include "pages/CTab_KestoFormat.h"
#include "pane_contents.h"
#include "recording.h"
#include "test_support.h"
#include "window_rig.h"

using namespace std::chrono_literals;

namespace {

constexpr Rgb kBlue = rgb(0, 128, 255);
constexpr Rgb kDarkBlue = rgb(0, 0, 139);
constexpr Rgb kRed = rgb(199, 21, 133);
const QString kMark = QString::fromUtf8("\xE2\x98\x9E"); // the code page's A2 D1

struct Line {
    QString text;
    Rgb color;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& line)
{
    return os << "{\"" << line.text.toStdString() << "\", " << std::hex << line.color << std::dec << "}";
}

class PlugUnplugTest : public WindowRig {
protected:
    std::shared_ptr<EmulatedWriter> writer(ContactMode mode = ContactMode::Normal)
    {
        auto w = std::make_shared<EmulatedWriter>();
        w->setContactMode(mode);
        return w;
    }

    void start(const std::function<void(EmulatedNotifier&)>& setUp = {})
    {
        WindowRig::start(environmentWithNotifier(setUp));
        startLines = int(lines().size());
    }

    std::vector<Line> lines() const
    {
        std::vector<Line> out;
        for (const auto& runs : testsupport::linesOf(*window->messageLog()->document())) {
            if (runs.empty())
                continue;
            QString text;
            for (const auto& run : runs)
                text += run.text;
            out.push_back({text, runs.front().color});
        }
        return out;
    }
    // The lines written since start-up.
    std::vector<Line> newLines() const
    {
        const auto all = lines();
        return {all.begin() + std::min<std::size_t>(std::size_t(startLines), all.size()), all.end()};
    }
    // Lets queued notifications arrive.
    void settle(int ms = 100)
    {
        testsupport::waitUntil([] { return false; }, ms);
    }
    std::vector<void*> listedHandles() const
    {
        std::vector<void*> handles;
        for (const NotificationRecord& r : window->session().notificationList)
            handles.push_back(r.handle);
        return handles;
    }
    void expectPositionsDense() const
    {
        for (std::size_t i = 0; i < window->session().notificationList.size(); ++i)
            EXPECT_EQ(window->session().notificationList[i].position, std::int32_t(i));
        EXPECT_EQ(window->session().listedCount, std::int32_t(window->session().notificationList.size()));
    }
    static Line ok(int n) { return {QStringLiteral("VREN Kesto Device No.%1 Contact - OK!").arg(n), kBlue}; }
    static Line relisted() { return {QStringLiteral("\t") + kMark + QStringLiteral(" USB Devices are relisted."), kDarkBlue}; }

    int startLines = 0;
};

TEST_F(PlugUnplugTest, StartUpRegistersEveryListedWriterForItsRemoval)
{
    auto a = plug();
    auto b = plug(ContactMode::IspDown);
    start();
    EXPECT_EQ(window->session().listedCount, 2);
    EXPECT_EQ(listedHandles(), (std::vector<void*>{a.get(), b.get()}));
    expectPositionsDense();
    for (const NotificationRecord& r : window->session().notificationList)
        EXPECT_NE(r.notificationHandle, nullptr);
    EXPECT_EQ(notifier->registrationCount(), 3) << "two writers and the writer class";
    EXPECT_EQ(window->session().relistInProgress, 0);
}

TEST_F(PlugUnplugTest, RelistingAgainRebuildsTheListInsteadOfAddingToIt)
{
    auto a = plug();
    auto b = plug();
    start();
    relist();
    EXPECT_EQ(window->session().listedCount, 2);
    EXPECT_EQ(listedHandles(), (std::vector<void*>{a.get(), b.get()}));
    EXPECT_EQ(notifier->registrationCount(), 3) << "the first registrations were given back";
}

TEST_F(PlugUnplugTest, SecondWriterPluggedInIsListedWithTheLogOfItsArrival)
{
    auto first = plug();
    start();
    auto second = plug(ContactMode::JtagDown);
    ASSERT_TRUE(testsupport::waitUntil([&] { return list().GetRowCount() == 2; }));

    EXPECT_EQ(column(ContactList::ColumnNumber), (QStringList{"1", "2"}));
    EXPECT_EQ(column(ContactList::ColumnStatus), (QStringList{"VREN Kesto Contact-OK!", "Kesto Contact - JTAG"}));
    EXPECT_EQ(window->session().listedCount, 2);
    EXPECT_EQ(listedHandles(), (std::vector<void*>{first.get(), second.get()}));
    expectPositionsDense();
    EXPECT_EQ(notifier->registrationCount(), 3) << "the registrations of the first listing were given back";

    const std::vector<Line> expected{
        ok(1), ok(2),
        {QStringLiteral("USB Device Connected!"), kDarkBlue},
        relisted(),
        {QStringLiteral("udev action = add"), kBlue},
        {QStringLiteral("device type = 0x00000005"), kBlue},
        {QStringLiteral("udev devnode = emulated/%1").arg(QString::asprintf("%p", static_cast<void*>(second.get()))), kDarkBlue},
        {QStringLiteral("udev vendor:product = 2f1a:0018"), kDarkBlue},
    };
    EXPECT_EQ(newLines(), expected);
    for (int i = 0; i < kMaxDevices; ++i)
        EXPECT_FALSE(window->deviceTable().isOpen(i));
}

// Three writers in three modes; one is unplugged. The rows that remain keep
// bus order, renumbered from 1.
struct RemovalCase {
    const char* name;
    int writers;
    int unplugged;
    QStringList remainingStatus;
};

class PlugUnplugRemovalTest : public PlugUnplugTest, public testing::WithParamInterface<RemovalCase> {};

TEST_P(PlugUnplugRemovalTest, UnpluggedWriterLeavesTheListAndTheRestMoveUp)
{
    const RemovalCase& c = GetParam();
    const ContactMode modes[] = {ContactMode::Normal, ContactMode::JtagDown, ContactMode::IspDown};
    std::vector<std::shared_ptr<EmulatedWriter>> writers;
    for (int i = 0; i < c.writers; ++i)
        writers.push_back(plug(modes[i]));
    start();
    ASSERT_EQ(window->session().listedCount, c.writers);

    bus.unplug(writers[std::size_t(c.unplugged)]);
    ASSERT_TRUE(testsupport::waitUntil([&] { return window->session().listedCount == c.writers - 1; }));
    settle();

    EXPECT_EQ(column(ContactList::ColumnStatus), c.remainingStatus);
    QStringList numbers;
    for (int i = 1; i < c.writers; ++i)
        numbers << QString::number(i);
    EXPECT_EQ(column(ContactList::ColumnNumber), numbers);
    writers.erase(writers.begin() + c.unplugged);
    std::vector<void*> handles;
    for (const auto& w : writers)
        handles.push_back(w.get());
    EXPECT_EQ(listedHandles(), handles);
    expectPositionsDense();
    if (c.writers == 1) {
        EXPECT_EQ(list().GetEmptyText(), QStringLiteral("No USB Devices Connected\nMaximum Contact Devices are 10"));
    }

    std::vector<Line> expected{
        {QStringLiteral("USB Device Unconnected!"), kDarkBlue},
        {QStringLiteral("\t") + kMark + QStringLiteral(" USB Device No.%1 is removed.").arg(c.unplugged + 1), kDarkBlue},
    };
    for (int i = 1; i < c.writers; ++i)
        expected.push_back(ok(i));
    expected.push_back(relisted());
    EXPECT_EQ(newLines(), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PlugUnplugRemovalTest,
    testing::Values(
        RemovalCase{"FirstOfTwo", 2, 0, {"Kesto Contact - JTAG"}},
        RemovalCase{"SecondOfTwo", 2, 1, {"VREN Kesto Contact-OK!"}},
        RemovalCase{"MiddleOfThree", 3, 1, {"VREN Kesto Contact-OK!", "Kesto Contact - ISP"}},
        RemovalCase{"TheOnlyOne", 1, 0, {}}),
    [](const testing::TestParamInfo<RemovalCase>& info) { return info.param.name; });

TEST_F(PlugUnplugTest, SilentWriterAfterARemovalShowsTheUnknownTextWithoutBlanks)
{
    auto a = plug();
    auto b = plug();
    start();
    WriterFaults silent;
    silent.noAnswer = true;
    b->setFaults(silent);
    bus.unplug(a);
    ASSERT_TRUE(testsupport::waitUntil([&] { return window->session().listedCount == 1 && list().GetRowCount() == 1; }));
    EXPECT_EQ(list().StatusText(0), "Contact-Unknown!");

    // After an arrival the same writer shows the text with blanks.
    plug();
    ASSERT_TRUE(testsupport::waitUntil([&] { return list().GetRowCount() == 2; }));
    EXPECT_EQ(list().StatusText(0), "Contact - Unknown!");
}

TEST_F(PlugUnplugTest, ArrivalOfAnyDeviceTypeRelistsEverything)
{
    auto a = plug();
    start();
    const void* before = window->session().notificationList.at(0).notificationHandle;
    a->clearWireLog();

    DeviceEvent event;
    event.eventCode = kDeviceArrival;
    event.deviceType = kDeviceTypeHandle;
    window->OnDeviceChange(event);
    ASSERT_TRUE(waitIdle());

    EXPECT_EQ(a->requests().size(), 1u) << "a fresh contact check";
    EXPECT_EQ(window->session().listedCount, 1);
    EXPECT_NE(window->session().notificationList.at(0).notificationHandle, before) << "registered anew";
    const auto added = newLines();
    ASSERT_GE(added.size(), 4u);
    EXPECT_EQ(added[1].text, QStringLiteral("USB Device Connected!"));
    EXPECT_EQ(added[3].text, QStringLiteral("udev action = "));
    EXPECT_EQ(added[4].text, QStringLiteral("device type = 0x00000006"));
}

TEST_F(PlugUnplugTest, RemovalsThatNameNoListedWriterAreIgnored)
{
    auto a = plug();
    auto b = plug();
    start([](EmulatedNotifier&) {});
    const auto records = window->session().notificationList;
    a->clearWireLog();
    b->clearWireLog();

    struct Case {
        const char* name;
        std::uint32_t code, type;
        void* notification;
    };
    const Case cases[] = {
        {"unknown handle", kDeviceRemoveComplete, kDeviceTypeHandle, reinterpret_cast<void*>(0xDEAD)},
        {"null handle", kDeviceRemoveComplete, kDeviceTypeHandle, nullptr},
        {"interface removal of a listed handle", kDeviceRemoveComplete, kDeviceTypeInterface, records[0].notificationHandle},
        {"other event code", 0x8001, kDeviceTypeHandle, records[0].notificationHandle},
    };
    for (const Case& c : cases) {
        DeviceEvent event;
        event.eventCode = c.code;
        event.deviceType = c.type;
        event.notificationHandle = c.notification;
        window->OnDeviceChange(event);
        EXPECT_EQ(window->session().listedCount, 2) << c.name;
        EXPECT_EQ(window->session().notificationList.size(), 2u) << c.name;
        EXPECT_EQ(window->session().notificationList[0].notificationHandle, records[0].notificationHandle) << c.name;
        EXPECT_TRUE(newLines().empty()) << c.name;
        EXPECT_TRUE(a->requests().empty() && b->requests().empty()) << c.name << ": no writer was touched";
        EXPECT_EQ(list().GetRowCount(), 2) << c.name;
    }
}

TEST_F(PlugUnplugTest, NullRegistrationOfAFailedWriterIsNotMatchedByANullRemoval)
{
    plug();
    start([](EmulatedNotifier& n) { n.setHandleRegistrationFails(true); });
    ASSERT_EQ(window->session().notificationList.at(0).notificationHandle, nullptr);
    DeviceEvent event;
    event.eventCode = kDeviceRemoveComplete;
    event.deviceType = kDeviceTypeHandle;
    window->OnDeviceChange(event);
    EXPECT_EQ(window->session().listedCount, 1);
}

TEST_F(PlugUnplugTest, FailedRegistrationIsLoggedAndTheWriterStillCounts)
{
    plug();
    plug();
    start([](EmulatedNotifier& n) { n.setHandleRegistrationFails(true); });
    EXPECT_EQ(window->session().listedCount, 2);
    EXPECT_EQ(list().GetRowCount(), 2);
    const Line failed{QStringLiteral("Failed RegisterDeviceInfo!"), kRed};
    EXPECT_EQ(lines(), (std::vector<Line>{failed, failed, ok(1), ok(2)}));
}

TEST_F(PlugUnplugTest, WithoutNotificationsTheLogSaysSoOnceAndWritersAreListed)
{
    plug();
    plug();
    start([](EmulatedNotifier& n) { n.setAvailable(false); });
    EXPECT_EQ(window->session().listedCount, 2);
    EXPECT_EQ(lines(), (std::vector<Line>{ok(1), ok(2),
        {QStringLiteral("USB device notifications are not available: writers plugged in or out are not noticed."), kRed}}));
    plug();
    settle();
    EXPECT_EQ(list().GetRowCount(), 2) << "no hot-plug";
}

TEST_F(PlugUnplugTest, ChangesDuringAnOperationRelistOnceWhenItHasEnded)
{
    auto a = plug();
    auto b = plug();
    start();
    std::atomic<int>* flags[] = {&window->configPage()->configSaveRunning, &window->configPage()->configLoadRunning,
                                 &window->initPage()->initRunning};
    for (std::atomic<int>* flag : flags) {
        SCOPED_TRACE(flag == flags[0] ? "save" : flag == flags[1] ? "load" : "init");
        const int before = int(lines().size());
        *flag = 1;
        auto c = plug();
        bus.unplug(a);
        settle();
        for (const auto& w : {b, c})
            w->clearWireLog();
        EXPECT_EQ(int(lines().size()), before) << "nothing happens while the operation runs";
        EXPECT_EQ(list().GetRowCount(), 2);

        window->operationFinished();
        EXPECT_EQ(list().GetRowCount(), 2) << "still running: the change keeps waiting";

        *flag = 0;
        window->operationFinished();
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(column(ContactList::ColumnNumber), (QStringList{"1", "2"}));
        EXPECT_EQ(listedHandles(), (std::vector<void*>{b.get(), c.get()}));
        expectPositionsDense();
        EXPECT_EQ(b->requests().size(), 1u) << "one relisting, one contact check";
        EXPECT_EQ(c->requests().size(), 1u);
        const auto all = lines();
        const std::vector<Line> added(all.begin() + before, all.begin() + before + 6);
        EXPECT_EQ(added, (std::vector<Line>{
            {QStringLiteral("USB Device Unconnected!"), kDarkBlue},
            {QStringLiteral("\t") + kMark + QStringLiteral(" USB Device No.1 is removed."), kDarkBlue},
            ok(1), ok(2),
            {QStringLiteral("USB Device Connected!"), kDarkBlue},
            relisted()}));

        const int after = int(lines().size());
        window->operationFinished();
        settle();
        EXPECT_EQ(int(lines().size()), after) << "nothing left to do";
        a = b;
        b = c;
    }
}

TEST_F(PlugUnplugTest, RemovalOnlyDuringAnOperationRelistsTheRemainingWriters)
{
    auto a = plug();
    auto b = plug();
    start();
    window->initPage()->initRunning = 1;
    bus.unplug(b);
    settle();
    window->initPage()->initRunning = 0;
    window->operationFinished();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->session().listedCount, 1);
    EXPECT_EQ(newLines(), (std::vector<Line>{
        {QStringLiteral("USB Device Unconnected!"), kDarkBlue},
        {QStringLiteral("\t") + kMark + QStringLiteral(" USB Device No.2 is removed."), kDarkBlue},
        ok(1), relisted()}));
}

TEST_F(PlugUnplugTest, WriterThatUnplugsItselfIsTakenOffTheList)
{
    auto a = plug();
    auto b = plug();
    WriterFaults faults;
    faults.unplugAfterReplies = 1; // gone right after answering its contact check
    a->setFaults(faults);
    start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return window->session().listedCount == 1; }));
    settle();
    EXPECT_EQ(listedHandles(), (std::vector<void*>{b.get()}));
    EXPECT_EQ(list().GetRowCount(), 1);
    EXPECT_EQ(bus.writers().size(), 1u);
}

} // namespace
