#include "library/libraryimages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace {

QIcon drawn(const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    return QIcon(pixmap);
}

void note(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour, 1.6));
    p.drawLine(QPointF(11, 2.5), QPointF(11, 11.5));
    p.drawLine(QPointF(11, 2.5), QPointF(14, 4.5));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(8.8, 12), 3, 2.3);
}

}  // namespace

QList<QIcon> TreeNodeImages() {
    const QIcon playlist = drawn([](QPainter& p) {
        p.setPen(QPen(QColor(0x2e, 0x6b, 0x3a), 1.6));
        for (int y : {4, 8, 12}) p.drawLine(QPointF(2, y), QPointF(9, y));
        note(p, QColor(0x2e, 0x6b, 0x3a));
    });
    const QIcon title = drawn([](QPainter& p) {
        p.setPen(QPen(QColor(0x8a, 0x6d, 0x1f), 1));
        p.setBrush(QColor(0xf3, 0xd7, 0x7a));
        p.drawRect(QRectF(1.5, 3.5, 13, 10));
        p.setPen(QPen(QColor(0x8a, 0x6d, 0x1f), 1.4));
        for (int y : {6, 9, 12}) p.drawLine(QPointF(4, y - 0.5), QPointF(12, y - 0.5));
    });
    const QIcon habit = drawn([](QPainter& p) {
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const double r = i % 2 ? 3.0 : 7.0;
            const double a = -M_PI / 2 + i * M_PI / 5;
            const QPointF pt(8 + r * std::cos(a), 8.5 + r * std::sin(a));
            i ? star.lineTo(pt) : star.moveTo(pt);
        }
        star.closeSubpath();
        p.setPen(QPen(QColor(0xa0, 0x5a, 0x00), 1));
        p.setBrush(QColor(0xff, 0xb7, 0x2b));
        p.drawPath(star);
    });
    const QIcon artist = drawn([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3b, 0x5b, 0x94));
        p.drawEllipse(QPointF(8, 5), 3.2, 3.2);
        p.drawRoundedRect(QRectF(2.5, 9.5, 11, 6), 3, 3);
    });
    const QIcon album = drawn([](QPainter& p) {
        p.setPen(QPen(QColor(0x55, 0x3a, 0x7a), 1));
        p.setBrush(QColor(0xb9, 0xa2, 0xd8));
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 8), 1.8, 1.8);
    });
    return {playlist, title, habit, artist, album};
}

QList<QIcon> TrackListImages() {
    auto arrow = [](bool up) {
        return drawn([up](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x44, 0x55, 0x77));
            const QPolygonF tri = up ? QPolygonF({QPointF(3, 11), QPointF(13, 11), QPointF(8, 5)})
                                     : QPolygonF({QPointF(3, 5), QPointF(13, 5), QPointF(8, 11)});
            p.drawPolygon(tri);
        });
    };
    const QIcon row = drawn([](QPainter& p) { note(p, QColor(0x3b, 0x5b, 0x94)); });
    return {arrow(true), arrow(false), row};
}
