// The configuration text: building it from the page's values, parsing a
// writer's text back, and both directions together.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/ConfigBuilder.h"
#include "config/ConfigParser.h"
#include "config/ConfigText.h"
#include "recording.h"

namespace {

using ::testing::ElementsAre;

TargetFileEntry inFlash(std::string name, int sector) { return {1, std::move(name), sector, kTargetInFlash, 0}; }
TargetFileEntry nand(std::string name, int sector, int fat) { return {1, std::move(name), sector, kTargetNand, fat}; }
TargetFileEntry disabled(std::string name, int sector) { return {0, std::move(name), sector, kTargetInFlash, 0}; }

ConfigSource exampleSource()
{
    ConfigSource s;
    s.inFlashCount = 2;
    s.nandCount = 1;
    // As RebuildTargetList leaves them: sorted by sector.
    s.targetEntries = {inFlash("a.bin", 8), inFlash("d.bin", 40), nand("b.bin", 100, 1)};
    s.disabledEntries = {disabled("c.bin", 24)};
    s.downloadSpeed = 10;
    s.buzzer = "ON";
    s.chip = "SOLVAN";
    s.crystal = "11289600";
    s.fatVerify = "Enable";
    s.erase = "Enable";
    return s;
}

const std::string kNineEmptyLines = "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";

TEST(ConfigTextBuild, ExampleGivesTheExactBytesAndLines0To7Then64To81)
{
    ConfigText text;
    ASSERT_TRUE(BuildConfigText(text, exampleSource()));
    EXPECT_EQ(text.sentText(4), "InFlash count : 2\r\n"
                                "NAND count : 1\r\n"
                                "-------------------------\r\n"
                                "file name / target / start sector / faten\r\n"
                                "a.bin / I / 8 / 0\r\n"
                                "d.bin / I / 40 / 0\r\n"
                                "b.bin / N / 100 / 1\r\n"
                                "//c.bin / I / 0 / 24\r\n"
                                "-------------------------\r\n"
                                "speed (max=10) : 10\r\n"
                                "buzzer : on\r\n"
                                "-------------------------\r\n"
                                "Target Chip : SOLVAN\r\n"
                                "Target Board Crystal Val : 11289600\r\n"
                                "FAT Start Blk : 100\r\n"
                                "Verify : Enable\r\n"
                                "Erase : Enable\r\n" +
                                    kNineEmptyLines);
    EXPECT_EQ(text.linesToSend(4).size(), 8u + 18u);
}

TEST(ConfigTextBuild, SettingsValuesAreWrittenAsTheFileHoldsThem)
{
    struct Case {
        const char* what;
        void (*change)(ConfigSource&);
        int line;
        const char* expected;
    };
    const Case cases[] = {
        {"buzzer OFF", [](ConfigSource& s) { s.buzzer = "OFF"; }, 66, "buzzer : off"},
        {"buzzer ON", [](ConfigSource& s) { s.buzzer = "ON"; }, 66, "buzzer : on"},
        {"crystal with leading blanks", [](ConfigSource& s) { s.crystal = "  12000000"; }, 69,
         "Target Board Crystal Val : 12000000"},
        {"no FAT row", [](ConfigSource& s) { s.targetEntries[2].fatFlag = 0; }, 70, "FAT Start Blk : 0"},
        {"the last FAT entry wins",
         [](ConfigSource& s) {
             s.targetEntries.push_back(nand("e.bin", 300, 1));
             s.nandCount = 2;
         },
         70, "FAT Start Blk : 300"},
        {"speed", [](ConfigSource& s) { s.downloadSpeed = 3; }, 65, "speed (max=10) : 3"},
        {"verify as shown", [](ConfigSource& s) { s.fatVerify = "Disable"; }, 71, "Verify : Disable"},
        {"no chip selected", [](ConfigSource& s) { s.chip.clear(); }, 68, "Target Chip : "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigSource source = exampleSource();
        c.change(source);
        ConfigText text;
        ASSERT_TRUE(BuildConfigText(text, source));
        EXPECT_EQ(text.line(c.line), c.expected);
    }
}

TEST(ConfigTextBuild, RefusesWhatWouldSpillPastTheBlocksAndLeavesTheTextAlone)
{
    struct Case {
        const char* what;
        void (*change)(ConfigSource&);
        const char* reasonStart;
    };
    const Case cases[] = {
        {"61 rows",
         [](ConfigSource& s) {
             s.disabledEntries.assign(58, disabled("x.bin", 0)); // 3 + 58
         },
         "Too many files for configuration setting!"},
        {"a 250-byte name on an enabled row",
         [](ConfigSource& s) { s.targetEntries[0].fileName = std::string(250, 'n'); },
         "File name is too long for configuration setting!"},
        {"a 250-byte name on a disabled row",
         [](ConfigSource& s) { s.disabledEntries[0].fileName = std::string(250, 'n'); },
         "File name is too long for configuration setting!"},
        {"a name with a line break",
         [](ConfigSource& s) { s.targetEntries[1].fileName = "a\r\nb.bin"; },
         "File name cannot be written into configuration setting!"},
        {"a crystal text longer than its line",
         [](ConfigSource& s) { s.crystal = std::string(233, '1'); },
         "Setting value cannot be written into configuration setting!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigSource source = exampleSource();
        c.change(source);
        EXPECT_THAT(ConfigTextProblem(source), ::testing::StartsWith(c.reasonStart));
        ConfigText text;
        const std::string before = text.sentText(60);
        EXPECT_FALSE(BuildConfigText(text, source));
        EXPECT_EQ(text.sentText(60), before);
    }

    // Exactly at the limits it builds.
    ConfigSource full = exampleSource();
    full.disabledEntries.assign(57, disabled("x.bin", 0)); // 3 + 57 = 60 rows
    full.targetEntries[0].fileName = std::string(259 - std::string(" / I / 8 / 0").size(), 'n');
    EXPECT_EQ(ConfigTextProblem(full), "");
    ConfigText text;
    ASSERT_TRUE(BuildConfigText(text, full));
    EXPECT_EQ(text.line(4).size(), 259u);
    EXPECT_EQ(text.line(63), "//x.bin / I / 0 / 0");
    EXPECT_EQ(text.line(64), "-------------------------");
}

struct Parsed {
    RecordingLog log;
    ConfigText text;
    TargetSettings settings;
    std::vector<TargetFileEntry> entries;
    OperationStatus status{};

    explicit Parsed(std::string_view input, int device = 0)
    {
        status = ParseConfigText(input, device, log, text, settings, entries);
    }
};

TEST(ConfigTextParse, InitialContentAsSentGivesItsValues)
{
    const std::string sent = ConfigText().sentText(0);
    Parsed p(sent);
    ASSERT_EQ(p.status, OS_SUCCESS);
    EXPECT_EQ(p.settings.downloadSpeed, 10);
    EXPECT_EQ(p.settings.buzzer, "ON");
    EXPECT_EQ(p.settings.selectChip, "SOLVAN");
    // The blank after the colon and the eight digits; never the line's CR.
    EXPECT_EQ(p.settings.crystalFrequency, " 11289600");
    EXPECT_EQ(p.settings.fatVerify, "Enable");
    EXPECT_EQ(p.settings.eraseEnable, "Enable");
    EXPECT_TRUE(p.entries.empty());
    EXPECT_TRUE(p.log.lines().empty());
}

TEST(ConfigTextParse, WrongTextsAreRefusedWithTheirLogLineAndChangeNothing)
{
    const std::string good = ConfigText().sentText(0);
    std::string tenColons = good;
    tenColons.insert(tenColons.find("faten"), ":");
    std::string fortyNineDashes = good;
    for (int removed = 0; removed < 26; ++removed)
        fortyNineDashes.erase(fortyNineDashes.rfind('-'), 1);
    const struct {
        const char* what;
        std::string text;
    } cases[] = {{"10 colons", tenColons}, {"49 dashes", fortyNineDashes}, {"empty", ""}};

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingLog log;
        ConfigText text;
        text.setLine(3, "kept");
        TargetSettings settings;
        settings.selectChip = "QX7";
        std::vector<TargetFileEntry> entries{inFlash("kept.bin", 8)};
        EXPECT_EQ(ParseConfigText(c.text, 2, log, text, settings, entries), OS_CONFIG_WRONG);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0].text, "\t +  Dev03: <configuration> is wrong file!\r\n");
        EXPECT_EQ(log.lines()[0].color, kLogTextColor);
        EXPECT_EQ(text.line(3), "kept");
        EXPECT_EQ(settings.selectChip, "QX7");
        EXPECT_THAT(entries, ElementsAre(inFlash("kept.bin", 8)));
    }
    RecordingLog log;
    ConfigText text;
    TargetSettings settings;
    std::vector<TargetFileEntry> entries;
    EXPECT_EQ(ParseConfigText(good.data(), -1, 0, log, text, settings, entries), OS_CONFIG_WRONG);
}

// A text of the right shape with its settings lines replaced.
std::string withSettings(const std::string& settingsLines)
{
    return "InFlash count : 0\r\nNAND count : 0\r\n-------------------------\r\n"
           "file name / target / start sector / faten\r\n"
           "-------------------------\r\n" +
           settingsLines;
}

TEST(ConfigTextParse, SettingsValuesStopAtTheirLineEnd)
{
    const std::string dashes = "-------------------------\r\n";
    struct Case {
        const char* what;
        std::string settings;
        int speed;
        const char* buzzer;
        const char* chip;
        const char* crystal;
        const char* verify;
        const char* erase;
    };
    const std::string common = "buzzer : off\r\n" + dashes + "Target Chip : QX7\r\n";
    const Case cases[] = {
        {"speed 25 loads as 10, Disable as its six characters",
         "speed (max=10) : 25\r\n" + common +
             "Target Board Crystal Val : 00004096\r\nFAT Start Blk : 0\r\nVerify : Disable\r\nErase : Disable\r\n",
         10, "OFF", "QX7", " 00004096", "Disabl", "Disabl"},
        {"a short crystal takes nothing of the next line",
         "speed (max=10) : 3\r\n" + common + "Target Board Crystal Val : 123\r\nFAT Start Blk : 0\r\nVerify : Enable\r\n"
             "Erase : Enable\r\n",
         3, "OFF", "QX7", " 123", "Enable", "Enable"},
        {"a crystal is cut before a dash, a short erase at the text's end",
         "speed (max=10) : 1\r\n" + common + "Target Board Crystal Val : 12-3456789\r\nFAT Start Blk : 0\r\n"
             "Verify : En\r\nErase : En",
         1, "OFF", "QX7", " 12", "En", "En"},
        {"a speed without digits is 0; a value may be empty",
         "speed (max=10) : fast\r\nbuzzer : on\r\n" + dashes +
             "Target Chip :\r\nTarget Board Crystal Val :\r\nFAT Start Blk :\r\nVerify :\r\nErase :\r\n",
         0, "ON", "", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Parsed p(withSettings(c.settings));
        ASSERT_EQ(p.status, OS_SUCCESS);
        EXPECT_EQ(p.settings.downloadSpeed, c.speed);
        EXPECT_EQ(p.settings.buzzer, c.buzzer);
        EXPECT_EQ(p.settings.selectChip, c.chip);
        EXPECT_EQ(p.settings.crystalFrequency, c.crystal);
        EXPECT_EQ(p.settings.fatVerify, c.verify);
        EXPECT_EQ(p.settings.eraseEnable, c.erase);
    }
}

TEST(ConfigTextParse, ListLinesReadBack)
{
    const struct {
        const char* line;
        TargetFileEntry entry;
    } cases[] = {
        {"//c.bin / I / 0 / 24", {0, "c.bin", 0, kTargetInFlash, 0}},
        {"b.bin / N / 100 / 1", {1, "b.bin", 100, kTargetNand, 1}},
        {"a.bin / I / 8 / 0", {1, "a.bin", 8, kTargetInFlash, 0}},
        {"name with blanks   / N / 7 / 0", {1, "name with blanks", 7, kTargetNand, 0}},
        // Malformed lines: every scan ends with the line.
        {"lonely.bin", {1, "lonely.bin", 0, kTargetInFlash, 0}},
        {"x.bin / N", {1, "x.bin", 0, kTargetNand, 0}},
        {"x.bin / N / 12", {1, "x.bin", 12, kTargetNand, 0}},
        {"x.bin / N / 99999999999999 / 1", {1, "x.bin", 2147483647, kTargetNand, 1}},
        {"", {1, "", 0, kTargetInFlash, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(parseListLine(c.line), c.entry);
    }
}

TEST(ConfigTextParse, ListPartIsStoredWithinTheListBlockAndItsLines)
{
    // 70 list lines of 300 bytes, the separator only after them.
    std::string text = "InFlash count : 0\r\nNAND count : 0\r\n" + std::string(25, '-') + "\r\nheader\r\n";
    for (int i = 0; i < 70; ++i)
        text += "f" + std::to_string(i) + std::string(300, 'x') + " / I / " + std::to_string(i) + " / 0\r\n";
    text += std::string(25, '-') + "\r\nspeed (max=10) : 4\r\nbuzzer : on\r\n" + std::string(25, '-') +
            "\r\nTarget Chip : " + std::string(400, 'C') +
            "\r\nTarget Board Crystal Val : 1\r\nFAT Start Blk : 0\r\nVerify : Enable\r\nErase : Enable\r\n";
    ConfigText before;
    Parsed p(text);
    ASSERT_EQ(p.status, OS_SUCCESS);
    EXPECT_EQ(p.text.line(3), "header");
    EXPECT_EQ(p.text.line(4).size(), 259u);
    for (int i = SETTINGS_BLOCK; i < CONFIG_TEXT_LINES; ++i)
        EXPECT_EQ(p.text.line(i), before.line(i)) << "line " << i;
    ASSERT_EQ(p.entries.size(), 60u);
    EXPECT_EQ(p.entries[0].fileName.size(), 259u);
    EXPECT_EQ(p.settings.downloadSpeed, 4);
    EXPECT_EQ(p.settings.selectChip, std::string(245, 'C'));
    EXPECT_EQ(p.settings.crystalFrequency, " 1");
}

// What a Config Load makes of a parsed text, as the page will show it.
ConfigSource asLoaded(const Parsed& p)
{
    ConfigSource s;
    for (const TargetFileEntry& e : p.entries) {
        if (e.enabled) {
            s.targetEntries.push_back(e);
            (e.target == kTargetNand ? s.nandCount : s.inFlashCount) += 1;
        } else {
            s.disabledEntries.push_back(e);
        }
    }
    s.downloadSpeed = p.settings.downloadSpeed;
    s.buzzer = p.settings.buzzer;
    s.chip = p.settings.selectChip;
    s.crystal = p.settings.crystalFrequency;
    s.fatVerify = p.settings.fatVerify == "Enable" ? "Enable" : "Disable";
    s.erase = p.settings.eraseEnable == "Enable" ? "Enable" : "Disable";
    return s;
}

TEST(ConfigTextRoundTrip, BuildParseBuildGivesTheSameBytes)
{
    const struct {
        const char* what;
        std::string name;
    } names[] = {
        {"ASCII", "a.bin"},
        {"Hangul", "\xC7\xD1\xB1\xDB.bin"},
        {"not code page 949", "\x81\x20\xFF\xA1-x.bin"},
    };
    for (const auto& n : names) {
        SCOPED_TRACE(n.what);
        ConfigSource source = exampleSource();
        source.targetEntries[1].fileName = n.name;
        source.targetEntries[2].fileName = n.name + "2";
        source.disabledEntries[0].sectorNo = 0; // what a loaded disabled row holds
        source.buzzer = "OFF";
        source.fatVerify = "Disable";
        source.crystal = " 1234";
        ConfigText first;
        ASSERT_TRUE(BuildConfigText(first, source));
        const std::string sent = first.sentText(4);

        Parsed p(sent);
        ASSERT_EQ(p.status, OS_SUCCESS);
        EXPECT_EQ(p.entries[1].fileName, n.name);
        ConfigText second;
        ASSERT_TRUE(BuildConfigText(second, asLoaded(p)));
        EXPECT_EQ(second.sentText(4), sent);
    }
}

} // namespace
