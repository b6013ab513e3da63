#include "app/MessageLogPane.h"

#include "core/AuditLog.h"
#include "core/CodePage.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QThread>

#include <algorithm>

namespace {

QColor toQColor(Rgb color) { return QColor(rgbRed(color), rgbGreen(color), rgbBlue(color)); }

} // namespace

MessageLogPane::MessageLogPane(QWidget* parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setAcceptRichText(false);
    setUndoRedoEnabled(false); // the log only grows; an undo stack would double its memory
    setLineWrapMode(QTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    QPalette pal = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, toQColor(kBackgroundColor));
        pal.setColor(group, QPalette::Text, toQColor(kLogTextColor));
    }
    // Keep the user's selection visible when the focus moves elsewhere.
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    QTextCharFormat plain;
    plain.setForeground(toQColor(kLogTextColor));
    plain.setFontWeight(QFont::Normal);
    plain.setFontItalic(false);
    plain.setFontUnderline(false);
    setCurrentCharFormat(plain);
}

void MessageLogPane::append(Rgb color, std::string text)
{
    if (QThread::currentThread() == thread()) {
        // Lines queued by workers were logged first: keep them first.
        drainPending();
        insertAtEnd(color, text);
        scrollToEnd();
        return;
    }

    bool wasEmpty = false;
    {
        std::lock_guard lock(pendingMutex_);
        wasEmpty = pending_.empty();
        pending_.push_back({color, std::move(text)});
    }
    // Whoever makes the queue non-empty posts the drain; later appends ride on
    // it. Posted by name: nothing of ours is built on this thread for the UI
    // thread to read, so the hand-over stays the mutex's alone.
    if (wasEmpty)
        QMetaObject::invokeMethod(this, "drainPending", Qt::QueuedConnection);
}

void MessageLogPane::drainPending()
{
    std::deque<PendingAppend> batch;
    {
        std::lock_guard lock(pendingMutex_);
        batch.swap(pending_);
    }
    if (batch.empty())
        return;
    for (const PendingAppend& item : batch)
        insertAtEnd(item.color, item.text);
    scrollToEnd();
}

void MessageLogPane::insertAtEnd(Rgb color, const std::string& text)
{
    // A user's selection that reaches the very end would grow over the new
    // text: put it back afterwards. A bare caret at the end rides along.
    QTextCursor user = textCursor();
    const bool userSelected = user.hasSelection();
    const int userAnchor = user.anchor();
    const int userPosition = user.position();

    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(toQColor(color));
    format.setFontWeight(QFont::Normal);
    format.setFontItalic(false);
    format.setFontUnderline(false);
    const QString shown = fromCodePageLines(text);
    cursor.insertText(shown, format);
    if (audit_) {
        // Lines are written when they end, as the pane shows them.
        auditPartial_ += shown;
        qsizetype end;
        while ((end = auditPartial_.indexOf(QLatin1Char('\n'))) >= 0) {
            audit_->appendLine(auditPartial_.left(end));
            auditPartial_.remove(0, end + 1);
        }
    }
    const int removed = dropOldestLines();

    if (!userSelected)
        return;
    // The selection keeps its text; what of it went with the oldest lines is gone.
    const int anchor = std::max(0, userAnchor - removed);
    const int position = std::max(0, userPosition - removed);
    user = textCursor();
    if (user.anchor() != anchor || user.position() != position) {
        user.setPosition(anchor);
        user.setPosition(position, QTextCursor::KeepAnchor);
        setTextCursor(user);
    }
}

int MessageLogPane::dropOldestLines()
{
    // The document ends with an empty block after the last line end.
    const int excess = document()->blockCount() - 1 - kMaxLines;
    if (excess <= 0)
        return 0;
    QTextCursor top(document());
    top.movePosition(QTextCursor::Start);
    top.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, excess);
    const int removed = top.position();
    top.removeSelectedText();
    return removed;
}

void MessageLogPane::scrollToEnd()
{
    // Show the end of the text the way a caret placed there would be shown.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    const QRect caret = cursorRect(end);
    QScrollBar* horizontal = horizontalScrollBar();
    const int width = viewport()->width();
    if (caret.left() < 0)
        horizontal->setValue(horizontal->value() + caret.left());
    else if (caret.right() >= width)
        horizontal->setValue(horizontal->value() + caret.right() - width + 1);
}
