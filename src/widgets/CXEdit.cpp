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
    // The edit's own context menu takes the focus for a moment; that is no end.
    if (event->reason() != Qt::PopupFocusReason)
        finish(true);
}

void CXEdit::finish(bool accepted)
{
    if (m_finished)
        return;
    m_finished = true;
    emit finished(accepted);
}
