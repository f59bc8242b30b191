#include "gui/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace plotvane::qtui {

QImage drawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    const QRectF sheet(2.5, 3.5, 27, 25);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    p.setBrush(QColor(0x7C, 0xB8, 0xE8));
    p.drawRoundedRect(sheet, 2, 2);

    QPainterPath land;
    land.moveTo(8, 3.5);
    land.cubicTo(11, 10, 6, 15, 12, 20);
    land.cubicTo(16, 24, 14, 27, 15, 28.5);
    land.lineTo(27.5, 28.5);
    land.quadTo(29.5, 28.5, 29.5, 26.5);
    land.lineTo(29.5, 5.5);
    land.quadTo(29.5, 3.5, 27.5, 3.5);
    land.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9C, 0xCC, 0x7A));
    p.drawPath(land);

    p.setPen(QPen(QColor(0xC0, 0x50, 0x20), 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath road;
    road.moveTo(14, 27);
    road.cubicTo(18, 20, 22, 18, 29, 11);
    p.drawPath(road);

    // The position pin.
    QPainterPath pin;
    pin.moveTo(21, 22);
    pin.cubicTo(17, 15, 16.5, 13, 16.5, 11.5);
    pin.arcTo(QRectF(16.5, 7, 9, 9), 180, -180);
    pin.cubicTo(25.5, 13, 25, 15, 21, 22);
    p.setPen(QPen(QColor(0x60, 0x00, 0x00), 1));
    p.setBrush(QColor(0xE0, 0x20, 0x20));
    p.drawPath(pin);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(21, 11.5), 1.8, 1.8);
    return image;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(drawAppIcon(size)));
    return icon;
}

}  // namespace plotvane::qtui
