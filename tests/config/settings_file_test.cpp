// The settings file reader: the private-profile rules the start-up settings
// and the update address rely on.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <string>

#include "config/SettingsFile.h"

namespace {

const char* const kFile =
    "; written by hand\r\n"
    "[PreviousSetValue]\r\n"
    "DownloadSpeed=15\r\n"
    "  buzzer  =  off  \r\n"
    "SelectChip=\r\n"
    "Quoted=\"  two words  \"\r\n"
    "Single='x'\r\n"
    "Unbalanced=\"x\r\n"
    "Speed2=7 fast\r\n"
    "Negative=-3\r\n"
    "Huge=99999999999999999999\r\n"
    "NoEquals\r\n"
    "Twice=first\r\n"
    "TWICE=second\r\n"
    "Equals=a=b\r\n"
    "\r\n"
    "[ update ]\n"
    "BaseUrl=http://127.0.0.1:8080\n"
    "[PreviousSetValue]\n"
    "Later=only in the second section of that name\n"
    "[\x81\x41]\n"
    "Key=lower-case trail byte must not match\n";

struct TextCase {
    const char* section;
    const char* key;
    const char* expected;
};

class SettingsFileText : public testing::TestWithParam<TextCase> {};

TEST_P(SettingsFileText, ReadsTheValueOrTheDefault)
{
    const SettingsFile file = SettingsFile::fromText(kFile);
    const TextCase& c = GetParam();
    EXPECT_EQ(file.readText(c.section, c.key, "DEFAULT"), c.expected) << c.section << " / " << c.key;
}

INSTANTIATE_TEST_SUITE_P(Table, SettingsFileText, testing::Values(
    TextCase{"PreviousSetValue", "Buzzer", "off"},                // names ignore case, blanks dropped
    TextCase{"PREVIOUSSETVALUE", "BUZZER", "off"},
    TextCase{"PreviousSetValue", "SelectChip", ""},               // present and empty: empty, not the default
    TextCase{"PreviousSetValue", "Missing", "DEFAULT"},
    TextCase{"NoSuchSection", "Buzzer", "DEFAULT"},
    TextCase{"PreviousSetValue", "Quoted", "  two words  "},      // quotes keep the blanks inside them
    TextCase{"PreviousSetValue", "Single", "x"},
    TextCase{"PreviousSetValue", "Unbalanced", "\"x"},
    TextCase{"PreviousSetValue", "NoEquals", "DEFAULT"},          // a line without '=' holds no value
    TextCase{"PreviousSetValue", "Twice", "first"},               // the first key of a name counts
    TextCase{"PreviousSetValue", "Equals", "a=b"},
    TextCase{"PreviousSetValue", "Later", "DEFAULT"},             // only the first section of a name counts
    TextCase{"Update", "BaseUrl", "http://127.0.0.1:8080"},       // LF-only lines, blanks in the brackets
    TextCase{"\x81\x41", "key", "lower-case trail byte must not match"},
    TextCase{"\x81\x61", "Key", "DEFAULT"}));

struct IntCase {
    const char* key;
    int expected;
};

class SettingsFileInt : public testing::TestWithParam<IntCase> {};

TEST_P(SettingsFileInt, ReadsLeadingDigitsOrTheDefault)
{
    const SettingsFile file = SettingsFile::fromText(kFile);
    EXPECT_EQ(file.readInt("previoussetvalue", GetParam().key, 1), GetParam().expected) << GetParam().key;
}

INSTANTIATE_TEST_SUITE_P(Table, SettingsFileInt, testing::Values(
    IntCase{"DownloadSpeed", 15},
    IntCase{"Speed2", 7},            // leading digits only
    IntCase{"Buzzer", 0},            // no leading digit
    IntCase{"SelectChip", 0},        // present and empty
    IntCase{"Negative", 0},          // a sign is not a digit
    IntCase{"Huge", 2147483647},     // too many digits stay at the largest int
    IntCase{"Missing", 1}));

TEST(SettingsFile, TextValuesAreCutAt259Bytes)
{
    const std::string longValue(400, 'v');
    const SettingsFile file = SettingsFile::fromText("[S]\r\nK=" + longValue + "\r\n");
    EXPECT_EQ(file.readText("S", "K", ""), std::string(259, 'v'));
    EXPECT_EQ(file.readText("S", "Missing", longValue), std::string(259, 'v'));
}

TEST(SettingsFile, MissingFileGivesEveryDefault)
{
    QTemporaryDir dir;
    const SettingsFile file = SettingsFile::load(dir.filePath(QStringLiteral("absent.ini")).toStdString());
    EXPECT_FALSE(file.fileFound());
    EXPECT_EQ(file.readInt("PreviousSetValue", "DownloadSpeed", 1), 1);
    EXPECT_EQ(file.readText("PreviousSetValue", "Buzzer", "ON"), "ON");
    EXPECT_EQ(file.readText("PreviousSetValue", "SelectChip", "SOLVAN"), "SOLVAN");
}

TEST(SettingsFile, LoadsAFileFromDiskWithItsByteOrderMark)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("Config-VREN_Kesto_Configurator.ini")).toStdString();
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF[PreviousSetValue]\r\nSelectChip=solvan\r\n";
    const SettingsFile file = SettingsFile::load(path);
    EXPECT_TRUE(file.fileFound());
    EXPECT_EQ(file.readText("PreviousSetValue", "SelectChip", "SOLVAN"), "solvan");
}

} // namespace
