#pragma once
// Dialog-unit layout: positions are given in dialog units and turned into
// pixels from the dialog font's average character size, the way the window
// layouts were designed (4 units per average character width, 8 per height).

#include <QFont>
#include <QRect>

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    // The dialog font: the system's UI face at 9 points.
    static QFont dialogFont();

    int x(int units) const;
    int y(int units) const;
    QRect rect(int x, int y, int width, int height) const;

    int baseUnitX() const { return baseX_; }
    int baseUnitY() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};
