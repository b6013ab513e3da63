// Version texts and file names of the update description.

#include <gtest/gtest.h>

#include "update/UpdateDescription.h"
#include "update/UpdateVersion.h"

namespace {

struct VersionCase {
    const char* a;
    const char* b;
    int expected; // sign of compareVersions(a, b)
};

class VersionOrder : public testing::TestWithParam<VersionCase> {};

int sign(int v) { return (v > 0) - (v < 0); }

TEST_P(VersionOrder, ComparesPartByPart)
{
    const VersionCase& c = GetParam();
    EXPECT_EQ(sign(compareVersions(QString::fromUtf8(c.a), QString::fromUtf8(c.b))), c.expected) << c.a << " vs " << c.b;
    // The other way round gives the other answer.
    EXPECT_EQ(sign(compareVersions(QString::fromUtf8(c.b), QString::fromUtf8(c.a))), -c.expected) << c.b << " vs " << c.a;
}

INSTANTIATE_TEST_SUITE_P(Table, VersionOrder, testing::Values(
    VersionCase{"2.10", "2.9", 1},                        // numbers, not text
    VersionCase{"2.10.9176.9", "2.10.9176.9", 0},
    VersionCase{"2.10.9176.10", "2.10.9176.9", 1},
    VersionCase{"1,24,9176,46", "1,24,9176,47", -1},      // commas as separators
    VersionCase{"1, 24, 9176, 46", "1.24.9176.46", 0},    // blanks and either separator
    VersionCase{"2.10", "2.10.0.0", 0},                   // missing parts count as 0
    VersionCase{"2.10", "2.10.0.1", -1},
    VersionCase{"2..1", "2.0.1", 0},                      // an empty part is 0
    VersionCase{"007", "7", 0},                           // leading zeros
    VersionCase{"123456789012345678901234567890", "123456789012345678901234567889", 1}, // longer than any integer
    VersionCase{"1.0b", "1.0a", 1},                       // text parts compare as text
    VersionCase{"1.0a", "1.0", 1},                        // "0a" is text: "0a" > "0"
    VersionCase{"1.beta", "1.2", 1},                      // text against a number: as text
    VersionCase{"1'0", "1'0", 0},                         // an apostrophe is a character like any other
    VersionCase{"", "0", 0},
    VersionCase{"", "1", -1}));

struct NameCase {
    const char* name;
    bool safe;
};

class UpdateNames : public testing::TestWithParam<NameCase> {};

TEST_P(UpdateNames, StayInsideTheProgramFolder)
{
    EXPECT_EQ(isSafeUpdateName(QString::fromUtf8(GetParam().name)), GetParam().safe) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateNames, testing::Values(
    NameCase{"VREN_Kesto_Configurator", true},
    NameCase{"sub/folder/file.bin", true},
    NameCase{"it's.txt", true},
    NameCase{".hidden", true},
    NameCase{"\xED\x95\x9C\xEA\xB8\x80.txt", true},       // Hangul
    NameCase{"", false},
    NameCase{"../x", false},
    NameCase{"a/../../x", false},
    NameCase{"..", false},
    NameCase{"a..b", false},                              // any "..", as it stands
    NameCase{"/etc/x", false},
    NameCase{"a\\b", false},
    NameCase{"C:/x", false},
    NameCase{"a//b", false},
    NameCase{"a/", false},
    NameCase{"./x", false},
    NameCase{"a\nb", false},
    NameCase{"a\tb", false}));

TEST(UpdateNames, NulIsRefused)
{
    EXPECT_FALSE(isSafeUpdateName(QStringLiteral("a") + QChar(0) + QStringLiteral("b")));
}

TEST(UpdateAddress, SettingsFileReplacesTheCompiledInAddress)
{
    EXPECT_TRUE(defaultUpdateBaseUrl().startsWith(QStringLiteral("https://")));
    EXPECT_EQ(remoteDescriptionUrl(QStringLiteral("https://host.example/base")).toString(),
              QStringLiteral("https://host.example/base/download/VREN_Kesto/update.xml"));
    EXPECT_EQ(remoteFileUrl(QStringLiteral("http://127.0.0.1:1"), QStringLiteral("sub/a #1?.bin")).toString(QUrl::FullyEncoded),
              QStringLiteral("http://127.0.0.1:1/download/VREN_Kesto/sub/a%20%231%3F.bin"));
    // No settings file: the compiled-in address.
    EXPECT_EQ(updateBaseUrl(QStringLiteral("/nonexistent/folder/Config-VREN_Kesto_Configurator.ini")), defaultUpdateBaseUrl());
}

TEST(UpdateDescription, WrittenDescriptionReadsBack)
{
    const std::vector<UpdateFileEntry> files = {{QStringLiteral("a&b<c>\"'.bin"), QStringLiteral("2.10"), QString()},
                                                {QStringLiteral("sub/x"), QStringLiteral("1"), QStringLiteral("ab12")}};
    const auto back = parseUpdateDescription(writeUpdateDescription(files));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    EXPECT_EQ((*back)[0].name, files[0].name);
    EXPECT_EQ((*back)[0].version, files[0].version);
    EXPECT_EQ((*back)[1].sha256, files[1].sha256);
}

} // namespace
