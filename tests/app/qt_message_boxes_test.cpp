// The Yes/No question as the user sees it: its caption, its text and the
// answer of the button pressed.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/QtMessageBoxes.h"

namespace {

struct Seen {
    QString caption;
    QString text;
};

// Presses `button` on the next question box to appear and notes what it showed.
void answerNextBox(QMessageBox::StandardButton button, Seen& seen)
{
    QTimer::singleShot(0, [button, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            answerNextBox(button, seen); // not shown yet
            return;
        }
        seen = {box->windowTitle(), box->text()};
        box->button(button)->click();
    });
}

TEST(QtMessageBoxes, QuestionShowsItsOwnCaptionOrTheWindowsAndReturnsTheAnswer)
{
    struct Case {
        std::string caption;
        QMessageBox::StandardButton press;
        QString expectedCaption;
        bool expectedAnswer;
    };
    const Case cases[] = {
        {"VREN Kesto Initialization", QMessageBox::Yes, QStringLiteral("VREN Kesto Initialization"), true},
        {"VREN Kesto Initialization", QMessageBox::No, QStringLiteral("VREN Kesto Initialization"), false},
        {"", QMessageBox::Yes, QStringLiteral("VREN Kesto Configurator"), true},
    };
    QtMessageBoxes boxes(nullptr, QStringLiteral("VREN Kesto Configurator"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        Seen seen;
        answerNextBox(c.press, seen);
        EXPECT_EQ(boxes.askYesNo("FileSystem will be initialized!\r\nGo on?", c.caption), c.expectedAnswer);
        EXPECT_EQ(seen.caption, c.expectedCaption);
        EXPECT_EQ(seen.text, QStringLiteral("FileSystem will be initialized!\nGo on?"));
    }
}

} // namespace
