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
    QStyleOptionComboBox opt;
    opt.initFrom(m_list);
    opt.rect = rect.adjusted(1, 1, -1, -1);
    opt.state = QStyle::State_None;
    if (m_list->isActiveWindow())
        opt.state |= QStyle::State_Active;
    if (enabled && m_list->isEnabled()) {
        opt.state |= QStyle::State_Enabled;
        opt.palette.setColor(QPalette::ButtonText, textColor);
        opt.palette.setColor(QPalette::Text, textColor);
    } else {
        opt.palette.setCurrentColorGroup(QPalette::Disabled);
    }
    opt.editable = false;
    opt.frame = true;
    opt.subControls = QStyle::SC_All;
    opt.currentText = text;
    QStyle* style = m_list->style();
    style->drawComplexControl(QStyle::CC_ComboBox, &opt, painter, m_list);
    style->drawControl(QStyle::CE_ComboBoxLabel, &opt, painter, m_list);
}
