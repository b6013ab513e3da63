#include "app/AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    // USB plug
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(160, 160, 160));
    p.drawRect(QRectF(11 * s, 1 * s, 10 * s, 8 * s));
    p.setBrush(QColor(60, 60, 60));
    p.drawRect(QRectF(13 * s, 3 * s, 2 * s, 2 * s));
    p.drawRect(QRectF(17 * s, 3 * s, 2 * s, 2 * s));
    // body
    p.setPen(QPen(QColor(0, 40, 120), 1.2 * s));
    p.setBrush(QColor(0, 102, 204));
    p.drawRoundedRect(QRectF(6 * s, 8 * s, 20 * s, 23 * s), 3 * s, 3 * s);
    // the letter K
    QFont font;
    font.setBold(true);
    font.setPixelSize(int(15 * s));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(6 * s, 10 * s, 20 * s, 19 * s), Qt::AlignCenter, QStringLiteral("K"));
    return pixmap;
}

} // namespace

QIcon makeAppIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(drawIcon(size));
    return icon;
}
