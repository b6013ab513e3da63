#pragma once
// Check boxes drawn by the widget's own style, so they look like every other
// check box of the desktop.

#include <QRect>
#include <QSize>

class QPainter;
class QWidget;

class CXThemeHelper {
public:
    // The size of a check box indicator in the widget's style.
    static QSize CheckBoxSize(const QWidget* widget);

    // A check box in state 1 (unchecked) or 2 (checked); pressed shows it sunken.
    static void DrawCheckBox(QPainter* painter, const QWidget* widget, const QRect& box, int state,
                             bool enabled, bool pressed);

    // The box placed in a cell: vertically centred, horizontally as aligned.
    static QRect PlaceCheckBox(const QRect& cell, QSize box, Qt::Alignment alignment, int margin);
};
