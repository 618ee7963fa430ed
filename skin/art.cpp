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


// ------------------------------------------------------------ title bars

struct TitleLook {
    int barHeight;       // the three title strips
    QSize cell;          // one of the 18 button cells
    int top;             // where the buttons sit in the bar
    QColor high, low;    // the strip's gradient, top to bottom
    QColor edge;         // its bottom line
    QColor face;         // a button's face
    bool keyed;          // the cells' corners carry the key colour
};

TitleLook titleLook(TvsUIStyle s) {
    switch (s) {
    case TvsUIStyle::Graphite:  // brushed silver; the caption is black
        return {26, {19, 17}, 4, QColor(0xf6, 0xf6, 0xf6), QColor(0xc4, 0xc6, 0xca), QColor(0x80, 0x82, 0x88),
                QColor(0x9a, 0x9e, 0xa6), false};
    case TvsUIStyle::Meadow:
        return {30, {21, 19}, 5, QColor(0x4a, 0x7c, 0xe0), QColor(0x16, 0x3c, 0xa8), QColor(0x00, 0x2c, 0xc8),
                QColor(0x6a, 0x96, 0xf0), false};
    case TvsUIStyle::DeepBlue:
        return {22, {20, 18}, 2, QColor(0x36, 0x4c, 0xa0), QColor(0x12, 0x1c, 0x5c), QColor(0x08, 0x0c, 0x30),
                QColor(0x50, 0x66, 0xc0), false};
    case TvsUIStyle::Protein:
        return {22, {20, 18}, 2, QColor(0x56, 0x58, 0x62), QColor(0x1c, 0x1d, 0x24), Qt::black,
                QColor(0x2d, 0x30, 0xc4), true};
    default:  // BlueGlass
        return {30, {22, 20}, 6, QColor(0x6a, 0x7a, 0xe0), QColor(0x28, 0x34, 0xb0), QColor(0x20, 0x28, 0x80),
                QColor(0x5e, 0x5e, 0xec), true};
    }
}

// The strip's fill for rows [from, from + h) of a bar `barHeight` high.
QLinearGradient titleFill(const TitleLook& t, int from) {
    QLinearGradient g(0, -from, 0, t.barHeight - from);
    g.setColorAt(0, t.high);
    g.setColorAt(0.48, t.high.darker(112));
    g.setColorAt(0.52, t.low.lighter(112));
    g.setColorAt(1, t.low);
    return g;
}

enum class Piece { Left, Client, Right };

QImage titleStrip(TvsUIStyle s, Piece piece) {
    const TitleLook t = titleLook(s);
    const int w = piece == Piece::Client ? 8 : 6;
    QImage img = canvas(w, t.barHeight);
    QPainter p(&img);
    p.fillRect(img.rect(), titleFill(t, 0));
    p.fillRect(0, t.barHeight - 1, w, 1, t.edge);
    p.fillRect(0, 0, w, 1, t.high.lighter(125));
    // The outer pieces close the strip with a bevel at the window's edges.
    if (piece == Piece::Left) {
        p.fillRect(0, 0, 1, t.barHeight, t.edge);
        p.fillRect(1, 1, 1, t.barHeight - 2, t.high.lighter(120));
    } else if (piece == Piece::Right) {
        p.fillRect(w - 1, 0, 1, t.barHeight, t.edge);
        p.fillRect(w - 2, 1, 1, t.barHeight - 2, t.low.darker(115));
    }
    return finish(img);
}

// Glyphs of the cells, in strip order: control box, help, maximise,
// restore, minimise, close.
void titleGlyph(QPainter& p, int glyph, const QRectF& box, const QColor& ink) {
    QPen pen(ink, 1.6);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QPointF c = box.center();
    const qreal g = std::round(std::min(box.width(), box.height()) * 0.26);
    switch (glyph) {
    case 0: {  // a note, the program's mark
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QRectF(c.x() - g, c.y() + g * 0.2, g * 1.2, g * 0.9));
        p.drawRect(QRectF(c.x() + g * 0.05, c.y() - g, g * 0.22, g * 1.6));
        p.drawRect(QRectF(c.x() + g * 0.05, c.y() - g, g * 0.9, g * 0.3));
        break;
    }
    case 1: {
        QFont f;
        f.setBold(true);
        f.setPixelSize(int(g * 2.4));
        p.setFont(f);
        p.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case 2: p.drawRect(QRectF(c.x() - g, c.y() - g, 2 * g, 2 * g)); break;
    case 3:
        p.drawRect(QRectF(c.x() - g, c.y() - g * 0.4, g * 1.4, g * 1.4));
        p.drawPolyline(QPolygonF({QPointF(c.x() - g * 0.4, c.y() - g * 0.4), QPointF(c.x() - g * 0.4, c.y() - g),
                                  QPointF(c.x() + g, c.y() - g), QPointF(c.x() + g, c.y() + g * 0.4),
                                  QPointF(c.x() + g * 0.4, c.y() + g * 0.4)}));
        break;
    case 4: p.drawLine(QPointF(c.x() - g, c.y() + g * 0.7), QPointF(c.x() + g, c.y() + g * 0.7)); break;
    default:
        p.drawLine(QPointF(c.x() - g, c.y() - g), QPointF(c.x() + g, c.y() + g));
        p.drawLine(QPointF(c.x() - g, c.y() + g), QPointF(c.x() + g, c.y() - g));
        break;
    }
}

// 18 cells: for each of the six glyphs, normal, under the pointer, held down.
QImage titleButtons(TvsUIStyle s) {
    const TitleLook t = titleLook(s);
    const int cw = t.cell.width(), ch = t.cell.height();
    QImage img(cw * 18, ch, QImage::Format_ARGB32_Premultiplied);
    img.fill(t.keyed ? QColor(kKey) : QColor(Qt::transparent));
    const bool light = s == TvsUIStyle::Graphite;
    for (int cell = 0; cell < 18; ++cell) {
        const int glyph = cell / 3, state = cell % 3;
        const QRect r(cell * cw, 0, cw, ch);
        QPainter p(&img);
        p.setClipRect(r);
        if (!t.keyed) p.fillRect(r, titleFill(t, t.top));
        QColor face = glyph == 5 && state > 0 ? QColor(0xd8, 0x40, 0x30) : t.face;
        if (state == 1) face = face.lighter(glyph == 5 ? 115 : 135);
        if (state == 2) face = face.darker(135);
        const QColor rim = light ? QColor(0x70, 0x74, 0x7c) : face.darker(170);
        QLinearGradient g(0, 0, 0, ch);
        g.setColorAt(0, face.lighter(state == 2 ? 100 : 140));
        g.setColorAt(1, face.darker(state == 2 ? 110 : 100));
        p.setPen(rim);
        p.setBrush(g);
        // Keyed cells keep hard edges: a blend with the key would show.
        p.setRenderHint(QPainter::Antialiasing, !t.keyed);
        const QRectF box = t.keyed ? QRectF(r.adjusted(0, 0, -1, -1)) : QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
        p.drawRoundedRect(box, 3, 3);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink = light && state == 0 && glyph != 5 ? QColor(0x20, 0x20, 0x20) : QColor(Qt::white);
        titleGlyph(p, glyph, QRectF(r).translated(0, state == 2 ? 1 : 0), ink);
        p.end();
        if (t.keyed)
            for (QPoint corner : {r.topLeft(), QPoint(r.left() + cw - 1, 0), QPoint(r.left(), ch - 1),
                                  QPoint(r.left() + cw - 1, ch - 1)})
                img.setPixel(corner, kKey);
    }
    return finish(img);
}

// Tiled behind a framed window's contents.
QImage formBackground(bool graphite) {
    QImage img(32, 32, QImage::Format_RGB32);
    quint32 seed = graphite ? 0x2545F491u : 0x9E3779B9u;
    for (int y = 0; y < 32; ++y) {
        // Brushed metal: each row a shade of its own; Protein: a faint weave.
        seed = seed * 1664525u + 1013904223u;
        const int row = graphite ? 0xdc + int(seed >> 29) : 0xf8;
        for (int x = 0; x < 32; ++x) {
            int v = row;
            if (graphite) v += ((x * 7 + y * 3) % 11 == 0) ? -3 : 0;
            else v -= ((x + y) % 8 == 0 || (x - y + 32) % 8 == 0) ? 6 : 0;
            img.setPixel(x, y, qRgb(v, v, std::min(255, v + (graphite ? 2 : 1))));
        }
    }
    return img;
}

QImage draw(const QString& name) {
    if (name == QLatin1String("MENU_CHECKED")) return menuChecked();
    if (name == QLatin1String("GRAPHITE_MENU_BAR")) return graphiteMenu(false);
    if (name == QLatin1String("GRAPHITE_MENU_SELECT")) return graphiteMenu(true);
    if (name == QLatin1String("GRAPHITE_COMBOBOX_BUTTON")) return comboButton(false);
    if (name == QLatin1String("MEADOW_COMBOBOX_BUTTON")) return comboButton(true);
    if (name == QLatin1String("GRAPHITE_FORM_BACKGROUND")) return formBackground(true);
    if (name == QLatin1String("PROTEIN_FORM_BACKGROUND")) return formBackground(false);
    const TvsUIStyle styles[] = {TvsUIStyle::Graphite, TvsUIStyle::Meadow, TvsUIStyle::DeepBlue, TvsUIStyle::Protein,
                                 TvsUIStyle::BlueGlass};
    for (TvsUIStyle s : styles) {
        if (name == InsideThemeImageName(s, vskey::ProgressBarImage)) return progressBar(s);
        if (name == InsideThemeImageName(s, vskey::TrackBarBarImage)) return trackBarBar(s);
        if (name == InsideThemeImageName(s, vskey::TrackBarSliderImage)) return trackBarSlider(s);
        if (name == InsideThemeImageName(s, vskey::TrackBarSliderVImage)) return RotateBitmap90(trackBarSlider(s));
        if (name == InsideThemeImageName(s, vskey::TitleBarButtonImage)) return titleButtons(s);
        if (name == InsideThemeImageName(s, vskey::TitleBarLeftImage)) return titleStrip(s, Piece::Left);
        if (name == InsideThemeImageName(s, vskey::TitleBarClientImage)) return titleStrip(s, Piece::Client);
        if (name == InsideThemeImageName(s, vskey::TitleBarRightImage)) return titleStrip(s, Piece::Right);
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
