#pragma once
// The grid list's column header: one text colour for all columns, and a
// check box in any column whose header check state is 1 or 2.

#include <QColor>
#include <QHeaderView>

class CXHeaderCtrl : public QHeaderView {
    Q_OBJECT

public:
    explicit CXHeaderCtrl(QWidget* parent = nullptr);

    // 0 no box, 1 unchecked, 2 checked; kept in the list's model.
    int GetCheck(int column) const;
    bool SetCheck(int column, int state);

    // Until set, the palette's button text colour.
    QColor GetTextColor() const;
    void SetTextColor(const QColor& color);

    // Fixes the header's height; the owning view lays itself out again.
    void SetHeight(int height);

    // The column's check box in header coordinates; empty without a box.
    QRect CheckBoxRect(int column) const;

signals:
    // A column header carrying a check box was clicked.
    void checkBoxClicked(int column);

protected:
    void changeEvent(QEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    QRect checkBoxRectIn(const QRect& section) const;

    void updateSectionPalette();

    QColor m_textColor;
    // The widget's palette with the header text colour, made once per change:
    // the style caches header pictures per palette, so a palette made anew
    // for every paint would add pictures to the pixmap cache without end.
    QPalette m_sectionPalette;
};
