#include "app/TabImages.h"

#include <QColor>
#include <QImage>

#include <array>

namespace {

using Rows = std::array<const char*, kTabImageHeight>;

// One character per pixel: '.' is transparent, the others name a colour.
QPixmap imageFromRows(const Rows& rows)
{
    QImage image(kTabImageWidth, kTabImageHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < kTabImageHeight; ++y) {
        for (int x = 0; x < kTabImageWidth && rows[std::size_t(y)][x] != '\0'; ++x) {
            QColor colour;
            switch (rows[std::size_t(y)][x]) {
            case 'k': colour = QColor(60, 60, 60); break;    // outline
            case 'w': colour = Qt::white; break;
            case 'b': colour = QColor(40, 60, 110); break;   // disk body
            case 'g': colour = QColor(190, 190, 190); break; // metal shutter
            case 't': colour = QColor(0, 90, 200); break;    // lines of text
            default: continue;
            }
            image.setPixelColor(x, y, colour);
        }
    }
    return QPixmap::fromImage(image);
}

// A diskette: label at the top, shutter with its slot below.
constexpr Rows kDisk = {
    ".bbbbbbbbb.",
    ".bbwwwwwbb.",
    ".bbwwwwwbb.",
    ".bbwwwwwbb.",
    ".bbbbbbbbb.",
    ".bbgggggbb.",
    ".bbggbggbb.",
    ".bbggbggbb.",
    ".bbbbbbbbb.",
};

// A sheet with a folded corner and three lines of text.
constexpr Rows kDocument = {
    "..kkkkk....",
    "..kwwwkwk..",
    "..kwwwkkkk.",
    "..kwttttwk.",
    "..kwwwwwwk.",
    "..kwttttwk.",
    "..kwwwwwwk.",
    "..kwtttwwk.",
    "..kkkkkkkk.",
};

} // namespace

QList<QPixmap> makeTabImages()
{
    return {imageFromRows(kDisk), imageFromRows(kDocument)};
}
