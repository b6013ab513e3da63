// The Program Upgrade Check against a description served on 127.0.0.1: what
// it reports for each state of the program folder, and what it refuses.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update_rig.h"

namespace {

const std::string kLatest = "Current Program is the latest.";
const std::string kQuestion = "Current Program is not the latest.\r\nDo you want to upgrade?\r\n\r\n";

struct LocalFile {
    const char* name;
    const char* contents;
};

struct CheckCase {
    const char* what;
    const char* remote;
    std::vector<LocalFile> files;   // in the program folder
    const char* localDescription;   // the local update.xml; null: none
    std::string report;             // empty: "Current Program is the latest."
};

class UpgradeCheckCases : public UpgradeRig, public testing::WithParamInterface<CheckCase> {};

TEST_P(UpgradeCheckCases, ReportsMissingAndOlderFiles)
{
    const CheckCase& c = GetParam();
    server.setDescription(c.remote);
    for (const LocalFile& f : c.files)
        writeFile(QString::fromUtf8(f.name), f.contents);
    if (c.localDescription)
        writeFile(QStringLiteral("update.xml"), c.localDescription);

    const UpgradeOutcome outcome = runCheck();

    ASSERT_EQ(boxes.shown.size(), 1u);
    const ShownBox& box = boxes.shown[0];
    EXPECT_EQ(box.caption, "< Program Update Check >");
    if (c.report.empty()) {
        EXPECT_EQ(outcome, UpgradeOutcome::Latest);
        EXPECT_FALSE(box.question);
        EXPECT_EQ(box.text, kLatest);
    } else {
        EXPECT_EQ(outcome, UpgradeOutcome::Declined);
        EXPECT_TRUE(box.question);
        EXPECT_EQ(box.text, kQuestion + c.report);
    }
    EXPECT_THAT(server.requests(), testing::ElementsAre("/download/VREN_Kesto/update.xml"));
}

INSTANTIATE_TEST_SUITE_P(Table, UpgradeCheckCases, testing::Values(
    CheckCase{"no file elements", "<update><other name='a' version='1'/></update>", {}, nullptr, ""},
    CheckCase{"a file without version or name is skipped",
              "<update><file name='a.bin'/><file version='1'/><file name='' version='1'/></update>", {}, "<update/>", ""},
    CheckCase{"missing and not listed locally: added, then version up",
              "<update><file name='new.bin' version='1.0'/></update>", {}, "<update/>",
              "[ new.bin ] File - Added\r\n[ new.bin ] File - Version Up[ 1.0 ]\r\n"},
    CheckCase{"no local description and every file present",
              "<update><file name='a.bin' version='9'/><file name='b.bin' version='9'/></update>",
              {{"a.bin", "a"}, {"b.bin", "b"}}, nullptr, ""},
    CheckCase{"no local description: only missing files",
              "<update><file name='a.bin' version='9'/><file name='b.bin' version='9'/></update>",
              {{"a.bin", "a"}}, nullptr, "[ b.bin ] File - Added\r\n"},
    CheckCase{"folder/file is looked for in the subfolder",
              "<update><file name='sub/x.bin' version='1'/></update>", {{"sub/x.bin", "x"}}, nullptr, ""},
    CheckCase{"folder/file is not the file of that name at the top",
              "<update><file name='sub/x.bin' version='1'/></update>", {{"x.bin", "x"}}, nullptr,
              "[ sub/x.bin ] File - Added\r\n"},
    CheckCase{"a folder is not the file",
              "<update><file name='sub' version='1'/></update>", {{"sub/x.bin", "x"}}, nullptr,
              "[ sub ] File - Added\r\n"},
    CheckCase{"file elements anywhere in the document, in document order",
              "<a><file name='one' version='1'><b><file name='two' version='2'/></b></file></a>",
              {}, "<update/>",
              "[ one ] File - Added\r\n[ one ] File - Version Up[ 1 ]\r\n"
              "[ two ] File - Added\r\n[ two ] File - Version Up[ 2 ]\r\n"},
    CheckCase{"dotted versions compare as numbers: 2.10 is not older than 2.9",
              "<update><file name='p' version='2.9.9176.9'/></update>", {{"p", "p"}},
              "<update><file name='p' version='2.10.9176.9'/></update>", ""},
    CheckCase{"dotted versions compare as numbers: 2.9 is older than 2.10",
              "<update><file name='p' version='2.10.9176.9'/></update>", {{"p", "p"}},
              "<update><file name='p' version='2.9.9176.9'/></update>",
              "[ p ] File - Version Up[ 2.10.9176.9 ]\r\n"},
    CheckCase{"equal versions, comma-separated",
              "<update><file name='p' version='1,24,9176,46'/></update>", {{"p", "p"}},
              "<update><file name='p' version='1,24,9176,46'/></update>", ""},
    CheckCase{"any local entry of the name with a version not lower counts",
              "<update><file name='p' version='3'/></update>", {{"p", "p"}},
              "<update><file name='p' version='1'/><file name='p' version='3.0'/></update>", ""},
    CheckCase{"a local entry without a version is not up to date",
              "<update><file name='p' version='1'/></update>", {{"p", "p"}},
              "<update><file name='p'/></update>", "[ p ] File - Version Up[ 1 ]\r\n"},
    CheckCase{"names compare exactly",
              "<update><file name='P' version='1'/></update>", {{"P", "p"}},
              "<update><file name='p' version='5'/></update>", "[ P ] File - Version Up[ 1 ]\r\n"},
    CheckCase{"a local description that is not XML adds no version lines",
              "<update><file name='a' version='1'/><file name='b' version='1'/></update>", {{"a", "a"}},
              "<update><file", "[ b ] File - Added\r\n"},
    CheckCase{"an apostrophe in name and version is a character like any other",
              "<update><file name=\"it's.txt\" version=\"1'1\"/></update>", {{"it's.txt", "x"}},
              "<update><file name=\"it's.txt\" version=\"1'1\"/></update>", ""},
    CheckCase{"an apostrophe in a missing file's name",
              "<update><file name=\"it's.txt\" version=\"2\"/></update>", {},
              "<update><file name=\"it's.txt\" version=\"1\"/></update>",
              "[ it's.txt ] File - Added\r\n[ it's.txt ] File - Version Up[ 2 ]\r\n"}),
    [](const testing::TestParamInfo<CheckCase>& info) { return "case" + std::to_string(info.index); });

TEST_F(UpgradeRig, RefusedNamesAreReportedAndNeverLookedUp)
{
    // Files the names would reach if they were followed.
    writeFile(QStringLiteral("../x"), "outside");
    server.setDescription("<update>"
                          "<file name='../x' version='1'/>"
                          "<file name='/etc/hostname' version='1'/>"
                          "<file name='a\\b' version='1'/>"
                          "<file name='sub/../../x' version='1'/>"
                          "<file name='./x' version='1'/>"
                          "<file name='C:/x' version='1'/>"
                          "</update>");

    EXPECT_EQ(runCheck(), UpgradeOutcome::Latest);

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(lastText(), kLatest + "\r\n\r\n"
                          "[ ../x ] File - Refused: outside the program folder\r\n"
                          "[ /etc/hostname ] File - Refused: outside the program folder\r\n"
                          "[ a\\b ] File - Refused: outside the program folder\r\n"
                          "[ sub/../../x ] File - Refused: outside the program folder\r\n"
                          "[ ./x ] File - Refused: outside the program folder\r\n"
                          "[ C:/x ] File - Refused: outside the program folder\r\n");
}

TEST_F(UpgradeRig, RefusedNamesStandBesideAnUpgradeAndNothingIsWrittenOutside)
{
    boxes.answerYes = true;
    const QStringList before = filesBelow(top.path());
    server.setDescription("<update><file name='../evil' version='1'/><file name='good.bin' version='1'/></update>");

    EXPECT_EQ(runCheck(), UpgradeOutcome::HandedOver);

    EXPECT_EQ(lastText(), kQuestion + "[ ../evil ] File - Refused: outside the program folder\r\n"
                                      "[ good.bin ] File - Added\r\n");
    // Only the updater was written, into the program folder.
    QStringList expected = before;
    expected << QStringLiteral("program/AutoUpdator");
    expected.sort();
    QStringList after = filesBelow(top.path());
    after.sort();
    EXPECT_EQ(after, expected);
}

TEST_F(UpgradeRig, TenThousandFileElementsGiveABoxThatFitsTheScreen)
{
    QByteArray xml = "<update>";
    for (int i = 0; i < 10000; ++i)
        xml += (i % 2 ? "<file name='../e" : "<file name='f") + QByteArray::number(i) + "' version='1'/>";
    xml += "</update>";
    ASSERT_LT(xml.size(), kMaxDescriptionBytes);
    server.setDescription(xml);
    const QStringList before = filesBelow(top.path());

    EXPECT_EQ(runCheck(), UpgradeOutcome::Declined);

    const std::string text = lastText();
    ASSERT_EQ(text.rfind(kQuestion, 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + kMaxReportLinesShown + 1);
    EXPECT_NE(text.find("[ f0 ] File - Added\r\n[ ../e1 ] File - Refused: outside the program folder\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("... and 9970 more line(s)\r\n"), std::string::npos) << text.substr(text.size() - 80);
    EXPECT_EQ(filesBelow(top.path()), before);
}

TEST_F(UpgradeRig, ShownReportKeepsShortReportsWhole)
{
    std::string lines;
    for (int i = 0; i < kMaxReportLinesShown; ++i)
        lines += "[ f ] File - Added\r\n";
    EXPECT_EQ(shownReport(lines), lines);
    EXPECT_EQ(shownReport(lines + "[ g ] File - Added\r\n"), lines + "... and 1 more line(s)\r\n");
}

} // namespace
