#include "widgets/CXThemeHelper.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

QSize CXThemeHelper::CheckBoxSize(const QWidget* widget)
{
    QStyleOptionButton opt;
    opt.initFrom(widget);
    const QStyle* style = widget->style();
    return {style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, widget),
            style->pixelMetric(QStyle::PM_IndicatorHeight, &opt, widget)};
}

void CXThemeHelper::DrawCheckBox(QPainter* painter, const QWidget* widget, const QRect& box, int state,
                                 bool enabled, bool pressed)
{
    QStyleOptionButton opt;
    opt.initFrom(widget);
    opt.rect = box;
    opt.state = QStyle::State_None;
    if (enabled && widget->isEnabled()) {
        opt.state |= QStyle::State_Enabled;
    } else {
        opt.palette.setCurrentColorGroup(QPalette::Disabled);
    }
    if (widget->isActiveWindow())
        opt.state |= QStyle::State_Active;
    opt.state |= state == 2 ? QStyle::State_On : QStyle::State_Off;
    if (pressed)
        opt.state |= QStyle::State_Sunken;
    widget->style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, painter, widget);
}

QRect CXThemeHelper::PlaceCheckBox(const QRect& cell, QSize box, Qt::Alignment alignment, int margin)
{
    int x = cell.left() + margin;
    if (alignment & Qt::AlignHCenter)
        x = cell.left() + (cell.width() - box.width()) / 2;
    else if (alignment & Qt::AlignRight)
        x = cell.right() - margin - box.width() + 1;
    const int y = cell.top() + (cell.height() - box.height()) / 2;
    return {QPoint(x, y), box};
}
