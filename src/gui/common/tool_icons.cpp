#include "gui/common/tool_icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tb {

namespace {

QPixmap blank(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap testSheetPicture(int size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // The sheet, with a folded corner.
    QPainterPath sheet;
    sheet.moveTo(12, 4);
    sheet.lineTo(42, 4);
    sheet.lineTo(54, 16);
    sheet.lineTo(54, 60);
    sheet.lineTo(12, 60);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(70, 80, 100), 1.5));
    p.setBrush(QColor(250, 250, 245));
    p.drawPath(sheet);
    p.setBrush(QColor(215, 220, 230));
    p.drawPolygon(QPolygonF({ QPointF(42, 4), QPointF(42, 16), QPointF(54, 16) }));

    // Three questions: a tick and a line of text each.
    for (int row = 0; row < 3; ++row) {
        const double y = 25 + row * 12;
        p.setPen(QPen(QColor(30, 140, 70), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({ QPointF(17, y), QPointF(20, y + 3), QPointF(25, y - 3) }));
        p.setPen(QPen(QColor(120, 130, 150), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(29, y), QPointF(row == 1 ? 42 : 48, y));
    }

    // A pencil across the lower corner.
    p.translate(46, 46);
    p.rotate(-45);
    p.setPen(QPen(QColor(80, 60, 30), 1));
    p.setBrush(QColor(240, 190, 60));
    p.drawRect(QRectF(-4, -16, 8, 22));
    p.setBrush(QColor(235, 140, 140));
    p.drawRect(QRectF(-4, -20, 8, 4));
    p.setBrush(QColor(245, 215, 170));
    p.drawPolygon(QPolygonF({ QPointF(-4, 6), QPointF(4, 6), QPointF(0, 14) }));
    return pixmap;
}

QPixmap drugBottlePicture(int size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // The bottle: a cap, a body with a label.
    p.setPen(QPen(QColor(60, 50, 40), 1.5));
    p.setBrush(QColor(90, 110, 170));
    p.drawRoundedRect(QRectF(14, 4, 26, 10), 2, 2);
    QLinearGradient glass(10, 0, 44, 0);
    glass.setColorAt(0, QColor(190, 110, 40));
    glass.setColorAt(0.4, QColor(235, 160, 80));
    glass.setColorAt(1, QColor(170, 95, 35));
    p.setBrush(glass);
    p.drawRoundedRect(QRectF(10, 14, 34, 46), 5, 5);
    p.setBrush(QColor(250, 250, 245));
    p.drawRect(QRectF(14, 26, 26, 22));
    p.setPen(QPen(QColor(200, 40, 40), 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(27, 30), QPointF(27, 44));
    p.drawLine(QPointF(20, 37), QPointF(34, 37));

    // A capsule in front of it.
    p.translate(48, 48);
    p.rotate(-35);
    p.setPen(QPen(QColor(60, 50, 40), 1.2));
    QPainterPath left;
    left.addRoundedRect(QRectF(-14, -6, 28, 12), 6, 6);
    p.setBrush(QColor(250, 250, 250));
    p.drawPath(left);
    p.setClipRect(QRectF(-14, -7, 14, 14));
    p.setBrush(QColor(40, 150, 120));
    p.drawPath(left);
    return pixmap;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : { 16, 32, 48, 64 })
        icon.addPixmap(testSheetPicture(size));
    return icon;
}

} // namespace tb
