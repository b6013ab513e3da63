// Random and mutated configuration texts: the parser stays inside its text,
// its lines and its blocks, whatever it is given. Bounded and seeded, so it
// runs in the normal suite and under the sanitizers.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "config/ConfigBuilder.h"
#include "config/ConfigParser.h"
#include "config/ConfigText.h"
#include "recording.h"

namespace {

std::string validText()
{
    ConfigSource s;
    s.inFlashCount = 1;
    s.nandCount = 1;
    s.targetEntries = {{1, "a.bin", 8, kTargetInFlash, 0}, {1, "\xC7\xD1.bin", 100, kTargetNand, 1}};
    s.disabledEntries = {{0, "c.bin", 0, kTargetInFlash, 0}};
    s.downloadSpeed = 7;
    s.buzzer = "OFF";
    s.chip = "QX7";
    s.crystal = "00004096";
    s.fatVerify = "Disable";
    s.erase = "Enable";
    ConfigText text;
    EXPECT_TRUE(BuildConfigText(text, s));
    return text.sentText(3);
}

// Bytes the parser reacts to, often; anything else, sometimes.
char randomByte(std::mt19937& rng)
{
    static const char interesting[] = "-:/\r\n INoff0123456789";
    std::uniform_int_distribution<int> pick(0, 9);
    if (pick(rng) < 7)
        return interesting[std::uniform_int_distribution<std::size_t>(0, sizeof(interesting) - 2)(rng)];
    return char(std::uniform_int_distribution<int>(0, 255)(rng));
}

std::string mutate(std::string text, std::mt19937& rng)
{
    const int edits = std::uniform_int_distribution<int>(1, 8)(rng);
    for (int e = 0; e < edits; ++e) {
        const std::size_t at = text.empty() ? 0 : std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(rng);
        switch (std::uniform_int_distribution<int>(0, 4)(rng)) {
        case 0: // replace a byte
            if (!text.empty())
                text[at] = randomByte(rng);
            break;
        case 1: // insert bytes
            text.insert(at, std::string(std::uniform_int_distribution<std::size_t>(1, 300)(rng), randomByte(rng)));
            break;
        case 2: // delete a stretch
            text.erase(at, std::uniform_int_distribution<std::size_t>(1, 40)(rng));
            break;
        case 3: // repeat a stretch (more lines, longer lines)
            text.insert(at, text.substr(at, std::uniform_int_distribution<std::size_t>(1, 400)(rng)));
            break;
        default: // cut the text short
            text.resize(at);
            break;
        }
    }
    return text;
}

bool hasLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

TEST(ConfigTextParseFuzz, RandomAndMutatedTextsStayInBounds)
{
    std::mt19937 rng(20261210);
    const std::string valid = validText();
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string input;
        if (i % 4 == 0) {
            const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 2000)(rng);
            for (std::size_t k = 0; k < size; ++k)
                input += randomByte(rng);
        } else {
            input = mutate(valid, rng);
        }

        RecordingLog log;
        ConfigText text;
        TargetSettings settings;
        settings.selectChip = "before";
        std::vector<TargetFileEntry> entries;
        // The parser gets exactly the bytes, nothing after them to lean on.
        const std::vector<char> exact(input.begin(), input.end());
        const OperationStatus status = ParseConfigText(exact.data(), std::int64_t(exact.size()), 0, log, text,
                                                       settings, entries);
        ASSERT_TRUE(status == OS_SUCCESS || status == OS_CONFIG_WRONG);
        if (status == OS_CONFIG_WRONG) {
            ASSERT_EQ(settings.selectChip, "before");
            ASSERT_EQ(log.lines().size(), 1u);
            continue;
        }
        ++accepted;
        ASSERT_TRUE(log.lines().empty());
        for (int l = 0; l < CONFIG_TEXT_LINES; ++l)
            ASSERT_LE(text.line(l).size(), kConfigLineMaxChars);
        for (int l = SETTINGS_BLOCK; l < CONFIG_TEXT_LINES; ++l)
            ASSERT_EQ(text.line(l), ConfigText().line(l));
        ASSERT_LE(entries.size(), std::size_t(kMaxListRows));
        for (const TargetFileEntry& e : entries) {
            ASSERT_LE(e.fileName.size(), kConfigLineMaxChars);
            ASSERT_GE(e.sectorNo, 0);
        }
        ASSERT_GE(settings.downloadSpeed, 0);
        ASSERT_LE(settings.downloadSpeed, 10);
        for (const std::string* value : {&settings.buzzer, &settings.selectChip, &settings.crystalFrequency,
                                         &settings.fatVerify, &settings.eraseEnable})
            ASSERT_FALSE(hasLineBreak(*value));
        ASSERT_LE(settings.crystalFrequency.size(), 10u);
        ASSERT_LE(settings.fatVerify.size(), 6u);
    }
    // The mutations keep enough texts valid to reach the parsing itself.
    EXPECT_GT(accepted, 1000);
}

} // namespace
