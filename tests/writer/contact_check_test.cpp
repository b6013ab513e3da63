// Classifying writers by their firmware version reply.

#include <gtest/gtest.h>

#include "emulated_rig.h"
#include "writer/ContactCheck.h"

namespace {

TEST(ContactCheck, VersionTextDecidesTheKind)
{
    const struct {
        const char* version;
        ContactKind expected;
    } cases[] = {
        {"VREN Kesto JTAG Down", ContactKind::Jtag},
        {"VREN Kesto JTAG Down V1.0 and more", ContactKind::Jtag},
        {" VREN Kesto ISP Down", ContactKind::Isp},
        {" VREN Kesto ISP Down V2", ContactKind::Isp},
        {"VREN Kesto ISP Down", ContactKind::Ok}, // without its leading blank
        {"VREN Kesto JTAG Dow", ContactKind::Ok}, // one short
        {"vren kesto jtag down", ContactKind::Ok},
        {"VREN Kesto V2.10", ContactKind::Ok},
        {"", ContactKind::Ok},
    };
    for (const auto& c : cases) {
        EmulatedRig rig(1);
        ASSERT_TRUE(rig.reopen());
        rig.writer().setFirmwareVersion(c.version);
        EXPECT_EQ(CheckContact(rig.protocol, 0), c.expected) << '"' << c.version << '"';
    }
}

TEST(ContactCheck, WritersInDifferentModesGiveTheirTexts)
{
    EmulatedRig rig(3);
    rig.writer(0).setContactMode(ContactMode::JtagDown);
    rig.writer(2).setContactMode(ContactMode::IspDown);
    ASSERT_TRUE(rig.reopen());
    const char* expected[] = {"Kesto Contact - JTAG", "VREN Kesto Contact-OK!", "Kesto Contact - ISP"};
    for (int dev = 0; dev < 3; ++dev)
        EXPECT_STREQ(contactStatusTextFor(CheckContact(rig.protocol, dev), false), expected[dev]);
}

TEST(ContactCheck, SilentOrFailingWriterIsUnknown)
{
    EmulatedRig rig(2, std::chrono::milliseconds(30));
    WriterFaults silent;
    silent.noAnswer = true;
    rig.writer(0).setFaults(silent);
    WriterFaults failing;
    failing.firmwareVersionError = 0x17;
    rig.writer(1).setFaults(failing);
    ASSERT_TRUE(rig.reopen());

    EXPECT_EQ(CheckContact(rig.protocol, 0), ContactKind::Unknown);
    EXPECT_EQ(CheckContact(rig.protocol, 1), ContactKind::Unknown);
    EXPECT_STREQ(contactStatusTextFor(ContactKind::Unknown, false), "Contact - Unknown!");
    EXPECT_STREQ(contactStatusTextFor(ContactKind::Unknown, true), "Contact-Unknown!");
    // Only the error marker is logged, with its detail; silence is not.
    ASSERT_EQ(rig.log.lines().size(), 1u);
    EXPECT_NE(rig.log.lines()[0].text.find("Dev02: Kesto_GetFirmwareVersion Error!"), std::string::npos);
    EXPECT_NE(rig.log.lines()[0].text.find("R_Data(0x00000017)"), std::string::npos);
}

} // namespace
