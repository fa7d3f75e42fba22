#include "platform/qt/Bitmaps.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// A transparent pixmap of the given logical size, sharp on high-density screens.
QPixmap canvas(int width, int height, const QColor& fill = Qt::transparent)
{
    const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(static_cast<int>(width * ratio), static_cast<int>(height * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(fill);
    return pixmap;
}

void drawArrow(QPainter& painter, QPointF from, QPointF to, qreal headLength, qreal headWidth)
{
    painter.drawLine(from, to);
    const QPointF direction = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF normal(-direction.y(), direction.x());
    const QPointF base = to - direction * headLength;
    QPolygonF head;
    head << to << base + normal * (headWidth / 2) << base - normal * (headWidth / 2);
    painter.save();
    painter.setBrush(painter.pen().color());
    painter.drawPolygon(head);
    painter.restore();
}

QPixmap iconImage(int size)
{
    QPixmap pixmap = canvas(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    // Dark blue plate.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(22, 42, 92));
    painter.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.16, s * 0.16);

    // The device under test: a grey chip with pins, turned slightly.
    painter.save();
    painter.translate(s * 0.66, s * 0.5);
    painter.rotate(-12);
    const qreal chip = s * 0.34;
    painter.setPen(QPen(QColor(200, 200, 210), std::max(1.0, s / 32)));
    for (int i = 0; i < 3; ++i) {
        const qreal y = -chip / 2 + chip * (i + 1) / 4;
        painter.drawLine(QPointF(-chip / 2 - s * 0.07, y), QPointF(chip / 2 + s * 0.07, y));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(150, 155, 170));
    painter.drawRect(QRectF(-chip / 2, -chip / 2, chip, chip));
    painter.setBrush(QColor(70, 75, 90));
    painter.drawRect(QRectF(-chip / 4, -chip / 4, chip / 2, chip / 2));
    painter.restore();

    // The ion beam coming in from the left.
    QPen beam(QColor(255, 186, 40), std::max(1.5, s / 12), Qt::SolidLine, Qt::RoundCap);
    painter.setPen(beam);
    painter.drawLine(QPointF(s * 0.1, s * 0.5), QPointF(s * 0.56, s * 0.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 240, 170));
    painter.drawEllipse(QPointF(s * 0.58, s * 0.5), s * 0.06, s * 0.06);
    return pixmap;
}

}  // namespace

QPixmap allHaltPicture()
{
    const int width = 112;
    const int height = 40;
    QPixmap pixmap = canvas(width, height);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QPen(QColor(120, 0, 0), 1.5));
    painter.setBrush(QColor(210, 16, 16));
    painter.drawRoundedRect(QRectF(1, 1, width - 2, height - 2), 4, 4);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(20);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, width, height), Qt::AlignCenter, QStringLiteral("All Halt"));
    return pixmap;
}

QPixmap coordinateArrowsPicture()
{
    const int width = 76;
    const int height = 64;
    QPixmap pixmap = canvas(width, height);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const QPointF origin(14, height - 14);
    painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
    drawArrow(painter, origin, QPointF(width - 4, origin.y()), 10, 9);
    drawArrow(painter, origin, QPointF(origin.x(), 4), 10, 9);

    painter.setPen(QPen(QColor(220, 0, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
    const qreal arm = 6;
    painter.drawLine(origin + QPointF(-arm, -arm), origin + QPointF(arm, arm));
    painter.drawLine(origin + QPointF(-arm, arm), origin + QPointF(arm, -arm));
    return pixmap;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(iconImage(size));
    return icon;
}
