#include "core/CodePage.h"

#include <QString>

#include <string>

#include <gtest/gtest.h>

namespace {

struct Mapping {
    const char* name;
    std::string bytes;
    QString text;
};

// Characters whose bytes must survive the trip to Unicode and back unchanged.
TEST(CodePage, MapsCharactersBothWays)
{
    const Mapping cases[] = {
        {"pointing hand mark", "\xA2\xD1", QString::fromUtf8("☞")},
        {"star mark", "\xA1\xDA", QString::fromUtf8("★")},
        {"hangul", "\xC7\xD1\xB1\xDB", QString::fromUtf8("한글")},
        {"extended syllable", "\x81\x41", QString(QChar(0xAC02))},
        {"backslash is not a won sign", "C:\\Kesto\\", QStringLiteral("C:\\Kesto\\")},
        {"log line with marks and controls", "\t\xA1\xDA" "Dev01: Finish!\r\n\n",
         QString::fromUtf8("\t★Dev01: Finish!\r\n\n")},
        {"embedded NUL", std::string("a\0b", 3), QString::fromUtf8("a\0b", 3)},
        {"empty", "", QString()},
    };
    for (const Mapping& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fromCodePage(c.bytes), c.text);
        EXPECT_EQ(toCodePage(c.text), c.bytes);
    }
}

TEST(CodePage, LongTextsConvertWhole)
{
    std::string bytes;
    QString text;
    for (int i = 0; i < 3000; ++i) {
        bytes += "\xC7\xD1" "a";
        text += QString::fromUtf8("한a");
    }
    EXPECT_EQ(fromCodePage(bytes), text);
    EXPECT_EQ(toCodePage(text), bytes);
}

// Bad input never stops the decoding: each bad character becomes one U+FFFD
// and the characters around it come through.
TEST(CodePage, DecodesBadBytesAsReplacementCharacters)
{
    const QString bad(QChar::ReplacementCharacter);
    const Mapping cases[] = {
        {"line cut after a lead byte", "Dev01 \xC7", QStringLiteral("Dev01 ") + bad},
        {"lead byte before a line break", "\xC7\r\n", bad + QStringLiteral("\r\n")},
        {"lead byte before ASCII", "\xC7" "AB", bad + QStringLiteral("AB")},
        {"byte that starts nothing", "\x80\xA2\xD1", bad + QString::fromUtf8("☞")},
        {"0xFF", "x\xFFy", QStringLiteral("x") + bad + QStringLiteral("y")},
        {"unassigned pair counts once", "\xC9\xA1z", bad + QStringLiteral("z")},
    };
    for (const Mapping& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fromCodePage(c.bytes), c.text);
    }
}

TEST(CodePage, EncodesMissingCharactersAsQuestionMarks)
{
    const struct {
        const char* name;
        QString text;
        std::string bytes;
    } cases[] = {
        {"Thai letter", QString::fromUtf8("a\u0E01b"), "a?b"},
        {"character outside the BMP counts once", QString::fromUtf8("a\U0001F600b"), "a?b"},
        {"lone surrogate", QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"), "a?b"},
        {"mixed with hangul", QString::fromUtf8("\u0E01한"), "?\xC7\xD1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(toCodePage(c.text), c.bytes);
    }
}

TEST(CodePage, LinesUseQtLineBreaks)
{
    EXPECT_EQ(fromCodePageLines("a\r\nb\rc\nd\te\r\n\n"), QStringLiteral("a\nb\nc\nd\te\n\n"));
}

} // namespace
