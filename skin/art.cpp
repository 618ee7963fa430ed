#include "skin/art.h"

#include "skin/drawing.h"
#include "skin/uistyle.h"

#include <QHash>
#include <QLinearGradient>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr QRgb kKey = 0xFFFF00FF;

QImage canvas(int w, int h, QColor fill = Qt::transparent) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

QImage finish(const QImage& img) { return img.convertToFormat(QImage::Format_ARGB32); }

QLinearGradient vertical(int h, std::initializer_list<std::pair<qreal, QColor>> stops) {
    QLinearGradient g(0, 0, 0, h);
    for (const auto& [at, c] : stops) g.setColorAt(at, c);
    return g;
}

QColor accentOf(TvsUIStyle s) { return GetInsideThemeColor(s, vskey::MenuSelectedBorderColor); }

// A horizontal band; stretched sideways by the progress bar, so it varies
// only from top to bottom.
QImage progressBar(TvsUIStyle s) {
    const QColor a = accentOf(s);
    QImage img = canvas(8, 10);
    QPainter p(&img);
    switch (s) {
    case TvsUIStyle::Graphite:  // glossy: a bright upper half over a deep lower one
        p.fillRect(0, 0, 8, 5, vertical(5, {{0, a.lighter(175)}, {1, a.lighter(135)}}));
        p.fillRect(0, 5, 8, 5, vertical(10, {{0.5, a.lighter(120)}, {1, a.lighter(155)}}));
        break;
    case TvsUIStyle::Meadow:  // soft, brightest along its middle
        p.fillRect(img.rect(), vertical(10, {{0, a.lighter(120)}, {0.35, a.lighter(185)}, {1, a}}));
        break;
    case TvsUIStyle::DeepBlue:
        p.fillRect(img.rect(), vertical(10, {{0, a.lighter(215)}, {0.45, a.lighter(170)}, {1, a.lighter(125)}}));
        break;
    case TvsUIStyle::Protein:  // a white sheen on the top rows
        p.fillRect(img.rect(), vertical(10, {{0, a.lighter(175)}, {1, a.lighter(130)}}));
        p.fillRect(0, 1, 8, 3, vertical(4, {{0, QColor(255, 255, 255, 170)}, {1, QColor(255, 255, 255, 40)}}));
        break;
    default:  // BlueGlass: pale glass above, colour below
        p.fillRect(0, 0, 8, 4, vertical(4, {{0, a.lighter(170)}, {1, a.lighter(140)}}));
        p.fillRect(0, 4, 8, 6, vertical(6, {{0, a.lighter(115)}, {1, a.lighter(135)}}));
        break;
    }
    return finish(img);
}

// The groove: rounded ends, magenta around them. Drawn pixel by pixel so the
// key colour never mixes with the groove.
QImage trackBarBar(TvsUIStyle s) {
    const QColor a = accentOf(s);
    QColor edge, fill, shine;
    switch (s) {
    case TvsUIStyle::Graphite: edge = QColor(0x6e, 0x6e, 0x6e); fill = QColor(0xb8, 0xb8, 0xb8); shine = QColor(0xe8, 0xe8, 0xe8); break;
    case TvsUIStyle::Meadow: edge = QColor(0x8c, 0x9c, 0xb4); fill = QColor(0xf4, 0xf6, 0xfa); shine = Qt::white; break;
    case TvsUIStyle::DeepBlue: edge = a.darker(130); fill = QColor(0xd4, 0xd8, 0xee); shine = Qt::white; break;
    case TvsUIStyle::Protein: edge = QColor(0x80, 0x80, 0x80); fill = QColor(0xdc, 0xdc, 0xdc); shine = Qt::white; break;
    default: edge = a.darker(110); fill = a.lighter(175); shine = QColor(0xf6, 0xf6, 0xff); break;
    }
    QImage img(30, 5, QImage::Format_ARGB32);
    img.fill(kKey);
    for (int x = 0; x < 30; ++x) {
        const bool end = x == 0 || x == 29;
        for (int y = 0; y < 5; ++y) {
            if (end && (y == 0 || y == 4)) continue;  // rounded corners stay key
            QColor c = fill;
            if (end || y == 0) c = edge;
            else if (y == 4) c = shine;
            else if (y == 1) c = fill.darker(108);
            img.setPixel(x, y, c.rgb());
        }
    }
    return img;
}

// The thumb of a horizontal bar, 11 x 18.
QImage trackBarSlider(TvsUIStyle s) {
    const QColor a = accentOf(s);
    QImage img = canvas(11, 18);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0.5, 0.5, 10, 17);
    switch (s) {
    case TvsUIStyle::Graphite: {  // a silver pill
        p.setPen(QColor(0x70, 0x70, 0x70));
        p.setBrush(QLinearGradient(vertical(18, {{0, QColor(0xfc, 0xfc, 0xfc)}, {0.5, QColor(0xd8, 0xd8, 0xd8)},
                                                 {0.51, QColor(0xc4, 0xc4, 0xc4)}, {1, QColor(0xee, 0xee, 0xee)}})));
        p.drawRoundedRect(box, 5, 5);
        break;
    }
    case TvsUIStyle::Meadow: {  // a pale face between coloured caps
        p.setPen(QColor(0x76, 0x86, 0xae));
        p.setBrush(QColor(0xf6, 0xf8, 0xfc));
        p.drawRoundedRect(box, 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(a.lighter(140));
        p.drawRect(QRectF(1.5, 1.5, 8, 2));
        p.drawRect(QRectF(1.5, 14.5, 8, 2));
        break;
    }
    case TvsUIStyle::DeepBlue: {  // points down at the ticks
        QPainterPath path;
        path.moveTo(0.5, 0.5);
        path.lineTo(10.5, 0.5);
        path.lineTo(10.5, 12.5);
        path.lineTo(5.5, 17.5);
        path.lineTo(0.5, 12.5);
        path.closeSubpath();
        p.setPen(a.darker(140));
        p.setBrush(QLinearGradient(vertical(18, {{0, a.lighter(190)}, {1, a.lighter(120)}})));
        p.drawPath(path);
        break;
    }
    case TvsUIStyle::Protein: {  // a glossy capsule
        p.setPen(a.darker(130));
        p.setBrush(QLinearGradient(vertical(18, {{0, a.lighter(150)}, {1, a.darker(110)}})));
        p.drawRoundedRect(box, 5, 5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 120));
        p.drawRoundedRect(QRectF(2.5, 2, 6, 6), 3, 3);
        break;
    }
    default: {  // BlueGlass: clear glass with a coloured rim
        p.setPen(a.darker(115));
        p.setBrush(QLinearGradient(vertical(18, {{0, QColor(0xf4, 0xf6, 0xff)}, {0.5, a.lighter(160)},
                                                 {0.51, a.lighter(130)}, {1, a.lighter(170)}})));
        p.drawRoundedRect(box, 4, 4);
        break;
    }
    }
    return finish(img);
}

QImage comboButton(bool meadow) {
    QImage img = canvas(17, 19);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (!meadow) {  // Graphite: a brushed face; its arrow is drawn on it
        p.fillRect(img.rect(), vertical(19, {{0, QColor(0xfa, 0xfa, 0xfa)}, {0.5, QColor(0xe0, 0xe0, 0xe0)},
                                             {0.51, QColor(0xd0, 0xd0, 0xd0)}, {1, QColor(0xec, 0xec, 0xec)}}));
        p.fillRect(0, 0, 1, 19, QColor(0x9a, 0x9a, 0x9a));
        return finish(img);
    }
    // Meadow: a rounded pale-blue button with its own chevron.
    p.setPen(QColor(0xb4, 0xc8, 0xf0));
    p.setBrush(QLinearGradient(vertical(19, {{0, QColor(0xe6, 0xee, 0xff)}, {1, QColor(0xb9, 0xcd, 0xf6)}})));
    p.drawRoundedRect(QRectF(0.5, 0.5, 16, 18), 2.5, 2.5);
    QPen pen(QColor(0x4d, 0x61, 0x85), 2);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawPolyline(QPolygonF({QPointF(5, 8), QPointF(8.5, 11.5), QPointF(12, 8)}));
    return finish(img);
}

QImage menuChecked() {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::white);
    // A hard-edged check: antialiased edges would leave a white fringe once
    // white is made transparent.
    const int pts[][2] = {{4, 7}, {5, 8}, {6, 9}, {7, 8}, {8, 7}, {9, 6}, {10, 5}, {11, 4}};
    for (const auto& pt : pts)
        for (int dy = 0; dy < 3; ++dy) img.setPixel(pt[0], pt[1] + dy, qRgb(0, 0, 0));
    return img;
}

QImage graphiteMenu(bool select) {
    QImage img = canvas(8, 20);
    QPainter p(&img);
    if (select) {
        const QColor a = accentOf(TvsUIStyle::Graphite);
        p.fillRect(img.rect(), vertical(20, {{0, a.lighter(140)}, {1, a.darker(105)}}));
    } else {
        p.fillRect(img.rect(), vertical(20, {{0, QColor(0xf8, 0xf8, 0xf8)}, {1, QColor(0xea, 0xea, 0xea)}}));
    }
    return finish(img);
}

QImage draw(const QString& name) {
    if (name == QLatin1String("MENU_CHECKED")) return menuChecked();
    if (name == QLatin1String("GRAPHITE_MENU_BAR")) return graphiteMenu(false);
    if (name == QLatin1String("GRAPHITE_MENU_SELECT")) return graphiteMenu(true);
    if (name == QLatin1String("GRAPHITE_COMBOBOX_BUTTON")) return comboButton(false);
    if (name == QLatin1String("MEADOW_COMBOBOX_BUTTON")) return comboButton(true);
    const TvsUIStyle styles[] = {TvsUIStyle::Graphite, TvsUIStyle::Meadow, TvsUIStyle::DeepBlue, TvsUIStyle::Protein,
                                 TvsUIStyle::BlueGlass};
    for (TvsUIStyle s : styles) {
        if (name == InsideThemeImageName(s, vskey::ProgressBarImage)) return progressBar(s);
        if (name == InsideThemeImageName(s, vskey::TrackBarBarImage)) return trackBarBar(s);
        if (name == InsideThemeImageName(s, vskey::TrackBarSliderImage)) return trackBarSlider(s);
        if (name == InsideThemeImageName(s, vskey::TrackBarSliderVImage)) return RotateBitmap90(trackBarSlider(s));
    }
    return {};
}

}  // namespace

QImage BuiltinArt(const QString& name) {
    static QMutex mutex;
    static QHash<QString, QImage> cache;
    QMutexLocker lock(&mutex);
    auto it = cache.constFind(name);
    if (it == cache.constEnd()) it = cache.insert(name, draw(name));
    return *it;
}
