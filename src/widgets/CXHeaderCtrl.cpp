#include "widgets/CXHeaderCtrl.h"

#include "widgets/CXListModel.h"
#include "widgets/CXThemeHelper.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOptionHeader>

namespace {
constexpr int kBoxMargin = 4;
constexpr int kBoxTextGap = 4;
} // namespace

CXHeaderCtrl::CXHeaderCtrl(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetHeight(20);
    updateSectionPalette();
    connect(this, &QHeaderView::sectionClicked, this, [this](int column) {
        if (GetCheck(column) != 0)
            emit checkBoxClicked(column);
    });
}

int CXHeaderCtrl::GetCheck(int column) const
{
    if (!model())
        return 0;
    return model()->headerData(column, Qt::Horizontal, CXListModel::HeaderCheckRole).toInt();
}

bool CXHeaderCtrl::SetCheck(int column, int state)
{
    if (!model())
        return false;
    return model()->setHeaderData(column, Qt::Horizontal, state, CXListModel::HeaderCheckRole);
}

QColor CXHeaderCtrl::GetTextColor() const
{
    return m_textColor.isValid() ? m_textColor : palette().color(QPalette::ButtonText);
}

void CXHeaderCtrl::SetTextColor(const QColor& color)
{
    m_textColor = color;
    updateSectionPalette();
    viewport()->update();
}

void CXHeaderCtrl::changeEvent(QEvent* event)
{
    QHeaderView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        updateSectionPalette();
}

void CXHeaderCtrl::updateSectionPalette()
{
    QPalette palette = this->palette();
    const QColor text = GetTextColor();
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::WindowText, text);
    m_sectionPalette = palette;
}

void CXHeaderCtrl::SetHeight(int height)
{
    setFixedHeight(height);
}

QRect CXHeaderCtrl::CheckBoxRect(int column) const
{
    if (GetCheck(column) == 0 || isSectionHidden(column))
        return {};
    const QRect section(sectionViewportPosition(column), 0, sectionSize(column), viewport()->height());
    return checkBoxRectIn(section);
}

QRect CXHeaderCtrl::checkBoxRectIn(const QRect& section) const
{
    return CXThemeHelper::PlaceCheckBox(section, CXThemeHelper::CheckBoxSize(this), Qt::AlignLeft,
                                        kBoxMargin);
}

void CXHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;

    QStyleOptionHeader opt;
    initStyleOption(&opt);
    initStyleOptionForIndex(&opt, logicalIndex);
    opt.rect = rect;
    opt.palette = m_sectionPalette;

    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);

    QRect label = style()->subElementRect(QStyle::SE_HeaderLabel, &opt, this);
    const int state = GetCheck(logicalIndex);
    if (state != 0) {
        const QRect box = checkBoxRectIn(rect);
        CXThemeHelper::DrawCheckBox(painter, this, box, state, isEnabled(), false);
        label.setLeft(std::max(label.left(), box.right() + 1 + kBoxTextGap));
    }
    opt.rect = label;
    style()->drawControl(QStyle::CE_HeaderLabel, &opt, painter, this);
    painter->restore();
}

QSize CXHeaderCtrl::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    if (GetCheck(logicalIndex) != 0)
        size.rwidth() += CXThemeHelper::CheckBoxSize(this).width() + kBoxMargin + kBoxTextGap;
    return size;
}
