#include "widgets/CXEdit.h"

#include <QKeyEvent>

namespace {
bool isEndKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}
} // namespace

CXEdit::CXEdit(QWidget* parent)
    : QLineEdit(parent)
{
}

bool CXEdit::event(QEvent* event)
{
    // Enter and Escape belong to the edit, not to a window's shortcut or default button.
    if (event->type() == QEvent::ShortcutOverride
        && isEndKey(static_cast<QKeyEvent*>(event)->key())) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void CXEdit::keyPressEvent(QKeyEvent* event)
{
    if (isEndKey(event->key())) {
        event->accept();
        finish(event->key() != Qt::Key_Escape);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CXEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // The field's own context menu takes the focus only for a moment. When the
    // whole window loses activation the field keeps its focus for the user's
    // return; ending there would also run the parent's handler while a closing
    // window is already half torn down.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        finish(true);
}

void CXEdit::finish(bool accepted)
{
    if (m_finished)
        return;
    m_finished = true;
    emit finished(accepted);
}
