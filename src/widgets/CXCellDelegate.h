#pragma once
// Draws the grid list's cells from their records: background, check box,
// drop-down look of choice cells, and the text in its colour and alignment.

#include <QStyledItemDelegate>

class CXListCtrl;

class CXCellDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit CXCellDelegate(CXListCtrl* list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Clicks are handled by the list itself, never by the delegate.
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // Space between the cell border and its text or box.
    static constexpr int Margin = 4;
    // The drop-down arrow of a choice cell, and what the cell's frame and
    // text padding take besides it.
    static constexpr int ChoiceArrowWidth = 9;
    static constexpr int ChoiceChrome = ChoiceArrowWidth + 9;

private:
    void paintChoice(QPainter* painter, const QRect& rect, const QString& text, const QColor& textColor,
                     bool enabled) const;

    CXListCtrl* m_list;
};
