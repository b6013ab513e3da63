// Each writer row's tooltip says which physical writer it is: the firmware
// version of the contact check and the USB location from the start, the
// identification once an operation's common start has read it.

#include <gtest/gtest.h>

#include <QModelIndex>

#include <memory>
#include <string>

#include "core/CodePage.h"
#include "window_rig.h"

namespace {

class WriterIdentityTest : public WindowRig {
protected:
    std::shared_ptr<EmulatedWriter> plugWriter(const std::string& identification, const std::string& version,
                                               ContactMode mode = ContactMode::Normal)
    {
        auto w = std::make_shared<EmulatedWriter>(identification);
        w->setFirmwareVersion(version);
        w->setContactMode(mode);
        bus.plug(w);
        return w;
    }

    // The common start on the listed writers, nothing else.
    void runCommonStart(std::vector<int> devices)
    {
        ASSERT_NE(window->session().reopenWriters(), 0);
        ASSERT_TRUE(window->runOperation(Operation::Initialization, devices, {}));
        ASSERT_TRUE(waitIdle());
    }

    QString tip(int row) { return list().RowToolTip(row); }
    // What the view shows: every cell of the row carries it, escaped.
    QString cellTip(int row, int column)
    {
        return list().model()->index(row, column).data(Qt::ToolTipRole).toString();
    }
};

TEST_F(WriterIdentityTest, RowsShowVersionAndLocationFromStartUpAndTheIdentificationAfterAnOperation)
{
    auto a = plugWriter("SN-A", "VREN Kesto V2.10");
    auto b = plugWriter("SN-B", "VREN Kesto V2.11");
    auto c = plugWriter("SN-C", "", ContactMode::IspDown);
    start();
    ASSERT_EQ(list().GetRowCount(), 3);
    EXPECT_EQ(tip(0), "Firmware: VREN Kesto V2.10\nUSB: usb:1-1");
    EXPECT_EQ(tip(1), "Firmware: VREN Kesto V2.11\nUSB: usb:1-2");
    EXPECT_EQ(tip(2), QStringLiteral("Firmware: ") + QString::fromLatin1(EmulatedWriter::kIspDownVersion)
                          + QStringLiteral("\nUSB: usb:1-3"));
    for (const auto& w : {a, b, c})
        EXPECT_EQ(w->requests(), std::vector<EmulatedWriter::Bytes>{{0xB0}}) << "the contact check asks nothing more";
    for (int column : {ContactList::ColumnNumber, ContactList::ColumnEnable, ContactList::ColumnStatus})
        EXPECT_TRUE(cellTip(1, column).contains(QStringLiteral("usb:1-2"))) << column;

    runCommonStart({0, 1});
    EXPECT_EQ(tip(0), "Identification: SN-A\nFirmware: VREN Kesto V2.10\nUSB: usb:1-1");
    EXPECT_EQ(tip(1), "Identification: SN-B\nFirmware: VREN Kesto V2.11\nUSB: usb:1-2");
    EXPECT_FALSE(tip(2).contains(QStringLiteral("Identification"))) << "not part of the operation";
}

TEST_F(WriterIdentityTest, AWriterThatDoesNotAnswerShowsOnlyWhereItIs)
{
    plugWriter("SN-A", "V1");
    auto silent = plugWriter("SN-B", "V2");
    WriterFaults faults;
    faults.noAnswer = true;
    silent->setFaults(faults);
    start();
    ASSERT_EQ(list().GetRowCount(), 2);
    EXPECT_EQ(list().StatusText(1), "Contact - Unknown!");
    EXPECT_EQ(tip(1), "USB: usb:1-2");
}

TEST_F(WriterIdentityTest, APluggedWriterGetsItsRowWithItsOwnVersionAndPort)
{
    plugWriter("SN-A", "V1");
    auto b = plugWriter("SN-B", "V2");
    WindowRig::start(environmentWithNotifier());
    bus.unplug(b);
    ASSERT_TRUE(testsupport::waitUntil([&] { return list().GetRowCount() == 1; }));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(tip(0), "Firmware: V1\nUSB: usb:1-1");

    plugWriter("SN-C", "V3");
    ASSERT_TRUE(testsupport::waitUntil([&] { return list().GetRowCount() == 2; }));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(tip(1), "Firmware: V3\nUSB: usb:1-2") << "the port the unplugged writer left";
}

TEST_F(WriterIdentityTest, WriterTextsOfAnyBytesShowSafely)
{
    struct Case {
        const char* name;
        std::string identification;
        QString shown;
    };
    const Case cases[] = {
        {"64 bytes without an end", std::string(64, 'K'), QString(64, QLatin1Char('K'))},
        {"Hangul", "\xC7\xD1\xB1\xDB-7", QString::fromUtf8("\xED\x95\x9C\xEA\xB8\x80-7")},
        {"not code page 949", "\x80\xFF<b>x</b>", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.reset();
        for (const auto& w : bus.writers())
            bus.unplug(w);
        plugWriter(c.identification, "V1");
        start();
        runCommonStart({0});
        const QString line = tip(0).split(QLatin1Char('\n')).value(0);
        if (!c.shown.isEmpty()) {
            EXPECT_EQ(line, QStringLiteral("Identification: ") + c.shown);
        } else {
            EXPECT_TRUE(line.startsWith(QStringLiteral("Identification: ") + QChar(0xFFFD))) << line.toStdString();
            EXPECT_TRUE(line.endsWith(QStringLiteral("<b>x</b>"))) << line.toStdString();
        }
        // Markup in a writer's text stays text.
        EXPECT_FALSE(cellTip(0, ContactList::ColumnStatus).contains(QStringLiteral("<b>")));
        EXPECT_EQ(list().StatusText(0), "Kesto Initial - OK!");
    }
}

} // namespace
