#include "widgets/CXCombo.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

CXCombo::CXCombo(const QStringList& strings, int current, int rowsShown, QWidget* parent)
    : QListWidget(parent)
    , m_rowsShown(std::max(1, rowsShown))
{
    setWindowFlags(Qt::Popup);
    // A click outside only closes the list; replaying it onto the cell would reopen it at once.
    setAttribute(Qt::WA_NoMouseReplay);
    // A plain dark line, as drop-down lists have; the styled panel vanishes against the list.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setMouseTracking(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    addItems(strings);
    if (current >= 0 && current < count())
        setCurrentRow(current);
}

void CXCombo::Popup(const QRect& globalCellRect)
{
    const int rows = std::clamp(count(), 1, m_rowsShown);
    const int rowHeight = count() > 0 ? sizeHintForRow(0) : fontMetrics().height() + 4;
    const int frame = 2 * frameWidth();
    int width = std::max(globalCellRect.width(), sizeHintForColumn(0) + frame);
    if (count() > m_rowsShown)
        width += verticalScrollBar()->sizeHint().width();
    const int height = rows * rowHeight + frame;

    QPoint topLeft = globalCellRect.bottomLeft() + QPoint(0, 1);
    if (const QScreen* screen = QGuiApplication::screenAt(globalCellRect.center())) {
        const QRect avail = screen->availableGeometry();
        if (topLeft.y() + height > avail.bottom() && globalCellRect.top() - height >= avail.top())
            topLeft.setY(globalCellRect.top() - height);
        topLeft.setX(std::clamp(topLeft.x(), avail.left(), std::max(avail.left(), avail.right() - width)));
    }
    setGeometry(QRect(topLeft, QSize(width, height)));
    show();
    setFocus(Qt::PopupFocusReason);
    if (currentItem())
        scrollToItem(currentItem(), QAbstractItemView::PositionAtCenter);
}

void CXCombo::Pick(int index)
{
    if (m_done || index < 0 || index >= count())
        return;
    m_done = true;
    if (isVisible())
        hide();
    emit picked(index);
}

void CXCombo::Cancel()
{
    if (m_done)
        return;
    m_done = true;
    if (isVisible())
        hide();
    emit cancelled();
}

void CXCombo::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        Cancel();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Pick(currentRow());
        return;
    default:
        QListWidget::keyPressEvent(event);
    }
}

void CXCombo::mouseMoveEvent(QMouseEvent* event)
{
    // Follow the pointer like a native drop-down list.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        setCurrentIndex(index);
    QListWidget::mouseMoveEvent(event);
}

void CXCombo::mouseReleaseEvent(QMouseEvent* event)
{
    QListWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        Pick(index.row());
}

void CXCombo::hideEvent(QHideEvent* event)
{
    QListWidget::hideEvent(event);
    // Closed by a click outside or by the window going away.
    Cancel();
}
