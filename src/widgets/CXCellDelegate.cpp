#include "widgets/CXCellDelegate.h"

#include "widgets/CXListCtrl.h"
#include "widgets/CXThemeHelper.h"

#include <QPainter>
#include <QStyleOptionComboBox>

namespace {
constexpr int kBoxTextGap = 4;
constexpr int kSelectionAlpha = 90;
} // namespace

CXCellDelegate::CXCellDelegate(CXListCtrl* list)
    : QStyledItemDelegate(list)
    , m_list(list)
{
}

bool CXCellDelegate::editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&)
{
    return false;
}

void CXCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int row = index.row();
    const int column = index.column();
    const CXListCell* cell = m_list->m_model->cell(row, column);
    if (!cell)
        return;

    QColor textColor;
    QColor background;
    m_list->GetCellColors(row, column, textColor, background);

    painter->save();
    painter->fillRect(option.rect, background);
    // A tint rather than a solid highlight: the rows' own colours carry meaning.
    if (option.state & QStyle::State_Selected) {
        QColor tint = option.palette.color(QPalette::Highlight);
        tint.setAlpha(kSelectionAlpha);
        painter->fillRect(option.rect, tint);
    }

    QRect content = option.rect;
    if (cell->check != 0) {
        const QRect box = m_list->checkBoxRectIn(option.rect, row, column);
        CXThemeHelper::DrawCheckBox(painter, m_list, box, cell->check, cell->enabled,
                                    m_list->isPressedCheckBox(row, column));
        content.setLeft(box.right() + 1 + kBoxTextGap - Margin);
    }

    if (cell->choice.on) {
        paintChoice(painter, content, cell->text, textColor, cell->enabled);
    } else if (!cell->text.isEmpty()) {
        const QRect textRect = content.adjusted(Margin, 0, -Margin, 0);
        const Qt::Alignment align = m_list->horizontalAlignment(row, column) | Qt::AlignVCenter;
        const QString shown = option.fontMetrics.elidedText(cell->text, Qt::ElideRight, textRect.width());
        painter->setPen(textColor);
        painter->drawText(textRect, int(align), shown);
    }
    painter->restore();
}

void CXCellDelegate::paintChoice(QPainter* painter, const QRect& rect, const QString& text, const QColor& textColor,
                                 bool enabled) const
{
    // A flat drop-down: the style's framed combo box leaves too little room
    // for the text in the narrow columns these lists use.
    const bool active = enabled && m_list->isEnabled();
    const QPalette& palette = m_list->palette();
    const QRect box = rect.adjusted(1, 1, -2, -2);
    painter->setPen(palette.color(active ? QPalette::Active : QPalette::Disabled, QPalette::Mid));
    painter->setBrush(palette.color(active ? QPalette::Active : QPalette::Disabled, QPalette::Button));
    painter->drawRect(box);

    QStyleOption arrow;
    arrow.initFrom(m_list);
    arrow.rect = QRect(box.right() - ChoiceArrowWidth, box.top(), ChoiceArrowWidth, box.height() + 1);
    arrow.state = active ? QStyle::State_Enabled : QStyle::State_None;
    if (!active)
        arrow.palette.setCurrentColorGroup(QPalette::Disabled);
    m_list->style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, m_list);

    const QRect textRect(box.left() + 3, box.top(), arrow.rect.left() - box.left() - 4, box.height() + 1);
    painter->setPen(active ? textColor : palette.color(QPalette::Disabled, QPalette::ButtonText));
    painter->save();
    painter->setClipRect(textRect, Qt::IntersectClip);
    painter->drawText(textRect, int(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine), text);
    painter->restore();
}
