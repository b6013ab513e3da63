#include "app/DialogUnits.h"

#include <QApplication>
#include <QFontMetrics>

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The average width of the 52 letters, rounded, as the platform computes it.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = qMax(1, (metrics.horizontalAdvance(letters) / 26 + 1) / 2);
    baseY_ = qMax(1, metrics.height());
}

QFont DialogUnits::dialogFont()
{
    QFont font = QApplication::font();
    font.setPointSize(9);
    return font;
}

int DialogUnits::x(int units) const
{
    return (units * baseX_ + 2) / 4;
}

int DialogUnits::y(int units) const
{
    return (units * baseY_ + 4) / 8;
}

QRect DialogUnits::rect(int left, int top, int width, int height) const
{
    // Each value is mapped on its own, as the platform maps dialog rectangles.
    return QRect(x(left), y(top), x(width), y(height));
}
