#include "app/MessageLogPane.h"

#include "pane_contents.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <string>

#include <gtest/gtest.h>

namespace {

using testsupport::linesOf;
using testsupport::Run;

void expectPlainRun(const Run& run, const QString& text, Rgb color)
{
    EXPECT_EQ(run.text, text);
    EXPECT_EQ(run.color, color) << std::hex << run.color;
    EXPECT_FALSE(run.bold);
    EXPECT_FALSE(run.italic);
    EXPECT_FALSE(run.underline);
}

TEST(MessageLogPane, EachAppendHasItsOwnColour)
{
    MessageLogPane pane;
    pane.LogColored(kLogDeviceChangeColor, "Dev%02d arrived\r\n", 1);
    pane.LogText("Dev%02d ready\r\n", 1);
    pane.LogColored(kLogErrorColor, "Dev%02d: ", 2);
    pane.LogText("Config Save - OK!\r\n");

    const auto lines = linesOf(*pane.document());
    ASSERT_EQ(lines.size(), 4u); // the last line is the empty one after "\r\n"
    ASSERT_EQ(lines[0].size(), 1u);
    expectPlainRun(lines[0][0], QStringLiteral("Dev01 arrived"), rgb(0, 0, 139));
    ASSERT_EQ(lines[1].size(), 1u);
    expectPlainRun(lines[1][0], QStringLiteral("Dev01 ready"), rgb(0, 128, 255));
    ASSERT_EQ(lines[2].size(), 2u);
    expectPlainRun(lines[2][0], QStringLiteral("Dev02: "), rgb(199, 21, 133));
    expectPlainRun(lines[2][1], QStringLiteral("Config Save - OK!"), rgb(0, 128, 255));
    EXPECT_TRUE(lines[3].empty());
}

// What the pane shows for the bytes a caller logs.
TEST(MessageLogPane, ShowsCodePageTextWithWindowsLineEnds)
{
    const struct {
        const char* name;
        std::string logged;
        QString shown;
    } cases[] = {
        {"marks", "\xA2\xD1 Dev01 JTAG\r\n\xA1\xDA" "Dev01: Finish!\r\n\n",
         QString::fromUtf8("☞ Dev01 JTAG\n★Dev01: Finish!\n\n")},
        {"lone CR and tab", "a\rb\tc", QStringLiteral("a\nb\tc")},
        {"2500 characters show 1999", std::string(2500, 'x'), QString(1999, QLatin1Char('x'))},
        {"cut inside a double-byte character", std::string(1998, 'x') + "\xC7\xD1\xB1\xDB",
         QString(1998, QLatin1Char('x')) + QChar(QChar::ReplacementCharacter)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MessageLogPane pane;
        pane.LogText("%s", c.logged.c_str());
        EXPECT_EQ(pane.toPlainText(), c.shown);
    }
}

TEST(MessageLogPane, TextGoesToTheEndPastTheUsersSelection)
{
    MessageLogPane pane;
    pane.resize(300, 120);
    pane.show();
    pane.LogText("first line\r\n");
    pane.LogColored(kLogErrorColor, "selected line\r\n");
    pane.LogText("third line\r\n");

    // The user selects "selected" in the middle of the pane.
    QTextCursor selection(pane.document());
    selection.setPosition(11);
    selection.setPosition(19, QTextCursor::KeepAnchor);
    pane.setTextCursor(selection);
    ASSERT_EQ(pane.textCursor().selectedText(), QStringLiteral("selected"));

    for (int i = 0; i < 30; ++i)
        pane.LogColored(kLogDeviceChangeColor, "appended %d\r\n", i);

    EXPECT_EQ(pane.textCursor().selectedText(), QStringLiteral("selected"));
    const auto lines = linesOf(*pane.document());
    ASSERT_EQ(lines.size(), 34u);
    ASSERT_EQ(lines[1].size(), 1u);
    expectPlainRun(lines[1][0], QStringLiteral("selected line"), kLogErrorColor);
    ASSERT_EQ(lines[32].size(), 1u);
    expectPlainRun(lines[32][0], QStringLiteral("appended 29"), kLogDeviceChangeColor);

    // The view follows the log, not the selection.
    EXPECT_GT(pane.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
}

TEST(MessageLogPane, SelectionUpToTheEndDoesNotGrowOverNewText)
{
    MessageLogPane pane;
    pane.LogText("one\r\ntwo");
    QTextCursor selection(pane.document());
    selection.setPosition(4);
    selection.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    pane.setTextCursor(selection);

    pane.LogColored(kLogErrorColor, " three\r\n");

    EXPECT_EQ(pane.textCursor().selectedText(), QStringLiteral("two"));
    const auto lines = linesOf(*pane.document());
    ASSERT_EQ(lines[1].size(), 2u);
    expectPlainRun(lines[1][0], QStringLiteral("two"), kLogTextColor);
    expectPlainRun(lines[1][1], QStringLiteral(" three"), kLogErrorColor);
}

TEST(MessageLogPane, LongLinesScrollSidewaysInsteadOfWrapping)
{
    MessageLogPane pane;
    pane.resize(200, 100);
    pane.show();
    pane.LogText("%s\r\n", std::string(300, 'w').c_str());

    EXPECT_EQ(pane.document()->lineCount(), 2);
    EXPECT_GT(pane.horizontalScrollBar()->maximum(), 0);
    EXPECT_TRUE(pane.isReadOnly());
}

// A day on the line must not keep every line in memory: the oldest go, the
// newest stay whole, and a user's selection keeps its text while it lasts.
TEST(MessageLogPane, KeepsOnlyTheLatestLinesAndTheSelectionOnItsText)
{
    MessageLogPane pane;
    const int total = MessageLogPane::kMaxLines + 250;
    pane.LogText("line %d\r\n", 0);
    pane.LogText("line %d\r\n", 1);
    for (int i = 2; i < 400; ++i)
        pane.LogColored(i % 2 ? kLogErrorColor : kLogTextColor, "line %d\r\n", i);
    // The user selects "line 300".
    const QTextBlock block = pane.document()->findBlockByNumber(300);
    QTextCursor selection(pane.document());
    selection.setPosition(block.position());
    selection.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    pane.setTextCursor(selection);
    ASSERT_EQ(pane.textCursor().selectedText(), QStringLiteral("line 300"));

    for (int i = 400; i < total; ++i)
        pane.LogColored(i % 2 ? kLogErrorColor : kLogTextColor, "line %d\r\n", i);

    const auto lines = linesOf(*pane.document());
    ASSERT_EQ(lines.size(), std::size_t(MessageLogPane::kMaxLines) + 1) << "the lines and the empty one after them";
    ASSERT_EQ(lines.front().size(), 1u);
    expectPlainRun(lines.front()[0], QString("line %1").arg(total - MessageLogPane::kMaxLines), kLogTextColor);
    ASSERT_EQ(lines[lines.size() - 2].size(), 1u);
    expectPlainRun(lines[lines.size() - 2][0], QString("line %1").arg(total - 1), kLogErrorColor);
    EXPECT_TRUE(lines.back().empty());
    EXPECT_EQ(pane.textCursor().selectedText(), QStringLiteral("line 300"));

    // Once its line has gone too, nothing is left selected.
    for (int i = total; i < total + 300; ++i)
        pane.LogText("line %d\r\n", i);
    EXPECT_EQ(pane.document()->blockCount(), MessageLogPane::kMaxLines + 1);
    EXPECT_EQ(pane.textCursor().selectedText(), QString());
}

} // namespace
