#include "components/skin/skinpaint.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <functional>
#include <future>

namespace skin {

QFont fontOf(const Style& s, const QFont& fallback) {
    QFont f = fallback;
    if (s.font) {
        if (!s.font->family.isEmpty()) {
            f.setFamilies({s.font->family});
            if (s.font->family == "monospace") f.setStyleHint(QFont::Monospace);
        }
        f.setPixelSize(s.font->px);
        f.setBold(s.font->bold);
    }
    return f;
}

namespace {

QBrush fillBrush(const Fill& fill, const QRectF& r) {
    if (fill.size() == 1) return QBrush(fill.first());
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    if (fill.size() == 4) {
        g.setColorAt(0.0, fill[0]);
        g.setColorAt(0.5, fill[1]);
        g.setColorAt(0.501, fill[2]);
        g.setColorAt(1.0, fill[3]);
    } else {
        for (int i = 0; i < fill.size(); ++i) g.setColorAt(qreal(i) / (fill.size() - 1), fill[i]);
    }
    return QBrush(g);
}

}  // namespace

void paintBox(QPainter& p, const QRectF& r, const Style& s) { paintBox(p, r, s, s.radius.value_or(0)); }

void paintBox(QPainter& p, const QRectF& r, const Style& s, qreal radius) {
    if (!s.fill && !s.border && !s.highlight) return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal bw = s.border ? s.borderWidth.value_or(1) : 0;
    const QRectF box = r.adjusted(bw / 2, bw / 2, -bw / 2, -bw / 2);
    const qreal rad = std::min<qreal>(radius, std::min(box.width(), box.height()) / 2);
    p.setPen(bw > 0 ? QPen(*s.border, bw) : Qt::NoPen);
    p.setBrush(s.fill ? fillBrush(*s.fill, r) : Qt::NoBrush);
    p.drawRoundedRect(box, rad, rad);
    if (s.highlight && box.height() > 4) {
        // A bevel that fades out towards the middle of the box.
        QLinearGradient g(box.topLeft(), box.bottomLeft());
        g.setColorAt(0, *s.highlight);
        QColor clear = *s.highlight;
        clear.setAlpha(0);
        g.setColorAt(0.6, clear);
        p.setPen(QPen(QBrush(g), 1));
        p.setBrush(Qt::NoBrush);
        const QRectF in = box.adjusted(bw / 2 + 0.5, bw / 2 + 0.5, -bw / 2 - 0.5, -bw / 2 - 0.5);
        const qreal rin = std::max<qreal>(0, rad - bw / 2 - 0.5);
        p.drawRoundedRect(in, rin, rin);
    }
    p.restore();
}

void paintText(QPainter& p, const QRectF& r, const QString& text, const Style& s, Qt::Alignment align,
               const QFont& fallback) {
    if (text.isEmpty()) return;
    p.save();
    const QFont f = fontOf(s, fallback);
    p.setFont(f);
    const qreal pad = s.padding.value_or(0);
    const QRectF area = r.adjusted(pad, 0, -pad, 0);
    const QString shown = QFontMetricsF(f).elidedText(text, Qt::ElideRight, area.width());
    if (s.shadow) {
        p.setPen(*s.shadow);
        p.drawText(area.translated(0, 1), int(align), shown);
    }
    p.setPen(s.text.value_or(QColor(Qt::black)));
    p.drawText(area, int(align), shown);
    p.restore();
}

namespace {

// Glyphs are drawn on a 24 x 24 grid; each returns the filled outline, so
// that a shadow is the same shape moved down a pixel.
QPainterPath strokeOf(const QPainterPath& path, qreal width) {
    QPainterPathStroker st;
    st.setWidth(width);
    st.setCapStyle(Qt::RoundCap);
    st.setJoinStyle(Qt::RoundJoin);
    return st.createStroke(path);
}

QPainterPath line(qreal x1, qreal y1, qreal x2, qreal y2, qreal width) {
    QPainterPath p;
    p.moveTo(x1, y1);
    p.lineTo(x2, y2);
    return strokeOf(p, width);
}

QPainterPath polygon(std::initializer_list<QPointF> pts, qreal soften = 1.2) {
    QPainterPath p;
    p.addPolygon(QPolygonF(QList<QPointF>(pts)));
    p.closeSubpath();
    // A thin outline rounds the corners a little, as pressed metal would.
    return p.united(strokeOf(p, soften));
}

QPainterPath roundRect(qreal x, qreal y, qreal w, qreal h, qreal r) {
    QPainterPath p;
    p.addRoundedRect(QRectF(x, y, w, h), r, r);
    return p;
}

QPainterPath ellipse(qreal cx, qreal cy, qreal rx, qreal ry) {
    QPainterPath p;
    p.addEllipse(QPointF(cx, cy), rx, ry);
    return p;
}

QPainterPath ring(qreal cx, qreal cy, qreal r, qreal width) { return strokeOf(ellipse(cx, cy, r, r), width); }

QPainterPath arc(qreal cx, qreal cy, qreal r, qreal startDeg, qreal spanDeg) {
    QPainterPath p;
    const QRectF box(cx - r, cy - r, 2 * r, 2 * r);
    p.arcMoveTo(box, startDeg);
    p.arcTo(box, startDeg, spanDeg);
    return p;
}

QPainterPath disc(qreal cx, qreal cy, qreal r) {
    QPainterPath d = ellipse(cx, cy, r, r).subtracted(ellipse(cx, cy, r * 0.28, r * 0.28));
    // A glint on the surface tells a disc from a ring.
    return d.subtracted(strokeOf(arc(cx, cy, r * 0.62, 105, 60), 1.1));
}

// Cuts a gap around `front` out of `back`, so that two overlapping shapes
// read as two.
QPainterPath overlay(const QPainterPath& back, const QPainterPath& front, qreal gap = 2.2) {
    return back.subtracted(front.united(strokeOf(front, gap * 2))).united(front);
}

QPainterPath noteShape(qreal x, qreal y, qreal scale) {
    // One eighth note with its head at (x, y).
    QPainterPath n = ellipse(x, y, 2.6 * scale, 2.1 * scale);
    n = n.united(line(x + 2.3 * scale, y, x + 2.3 * scale, y - 9 * scale, 1.5 * scale));
    QPainterPath flag;
    flag.moveTo(x + 2.3 * scale, y - 9 * scale);
    flag.cubicTo(x + 3.5 * scale, y - 6.5 * scale, x + 6 * scale, y - 6.5 * scale, x + 5.2 * scale, y - 3.5 * scale);
    return n.united(strokeOf(flag, 1.5 * scale));
}

QPainterPath folderBack() {
    QPainterPath f;
    f.moveTo(3, 6.5);
    f.lineTo(9, 6.5);
    f.lineTo(11, 8.5);
    f.lineTo(20, 8.5);
    f.lineTo(20, 18);
    f.lineTo(3, 18);
    f.closeSubpath();
    return f.united(strokeOf(f, 1.2));
}

using Glyphs = QHash<QString, QPainterPath>;

const QHash<QString, std::function<QPainterPath()>>& glyphShapes() {
    static const QHash<QString, std::function<QPainterPath()>> shapes = {
        {"play", [] { return polygon({{7.5, 4.5}, {19.5, 12}, {7.5, 19.5}}); }},
        {"pause", [] { return roundRect(6, 5, 4.5, 14, 1).united(roundRect(13.5, 5, 4.5, 14, 1)); }},
        {"stop", [] { return roundRect(6, 6, 12, 12, 1.5); }},
        {"prev", [] { return roundRect(5, 6, 2.6, 12, 0.8).united(polygon({{18.5, 6}, {8.8, 12}, {18.5, 18}})); }},
        {"next", [] { return polygon({{5.5, 6}, {15.2, 12}, {5.5, 18}}).united(roundRect(16.4, 6, 2.6, 12, 0.8)); }},
        {"add", [] { return line(12, 5, 12, 19, 2.8).united(line(5, 12, 19, 12, 2.8)); }},
        {"remove", [] { return line(5, 12, 19, 12, 2.8); }},
        {"tag",
         [] {
             QPainterPath t = polygon({{3.5, 4.5}, {11.5, 4.5}, {20.5, 13.5}, {13.5, 20.5}, {3.5, 10.5}}, 1.6);
             return t.subtracted(ellipse(8, 9, 1.8, 1.8));
         }},
        {"clear",
         [] {
             QPainterPath body = polygon({{6.5, 8.5}, {17.5, 8.5}, {16.5, 20}, {7.5, 20}});
             QPainterPath gaps = line(10, 11, 10, 17.5, 1.2).united(line(14, 11, 14, 17.5, 1.2));
             QPainterPath lid = line(4.5, 6.5, 19.5, 6.5, 2);
             QPainterPath handle;
             handle.moveTo(9.5, 6);
             handle.lineTo(9.5, 4);
             handle.lineTo(14.5, 4);
             handle.lineTo(14.5, 6);
             return body.subtracted(gaps).united(lid).united(strokeOf(handle, 1.5));
         }},
        {"rescan",
         [] {
             QPainterPath glass = ring(15.5, 14.5, 3.6, 2).united(line(18.3, 17.3, 21, 20, 2.4));
             return overlay(folderBack(), glass, 1.4);
         }},
        {"rip",
         [] {
             QPainterPath arrow = line(18.5, 11, 18.5, 18, 2.4).united(polygon({{15, 17}, {22, 17}, {18.5, 21.5}}));
             return overlay(disc(10.5, 10.5, 8), arrow);
         }},
        {"audiocd", [] { return overlay(disc(10.5, 10.5, 8), noteShape(16.5, 19.5, 0.95)); }},
        {"datacd",
         [] {
             QPainterPath page;
             page.moveTo(14, 10.5);
             page.lineTo(19, 10.5);
             page.lineTo(22, 13.5);
             page.lineTo(22, 22);
             page.lineTo(14, 22);
             page.closeSubpath();
             QPainterPath sheet = page.united(strokeOf(page, 1)).subtracted(line(16, 16, 20, 16, 1)).subtracted(
                 line(16, 19, 20, 19, 1));
             return overlay(disc(10.5, 10.5, 8), sheet);
         }},
        {"mic",
         [] {
             QPainterPath cap = roundRect(9, 2.5, 6, 11.5, 3);
             QPainterPath cradle = strokeOf(arc(12, 9.5, 6, 180, 180), 1.8);
             return cap.united(cradle).united(line(12, 15.5, 12, 20, 1.8)).united(line(8.5, 20.5, 15.5, 20.5, 2));
         }},
        {"cut",
         [] {
             QPainterPath loops = ring(7, 17.5, 2.9, 1.9).united(ring(17, 17.5, 2.9, 1.9));
             QPainterPath blades = line(8.8, 15, 16.2, 3.5, 2.2).united(line(15.2, 15, 7.8, 3.5, 2.2));
             return loops.united(blades);
         }},
        {"join",
         [] {
             QPainterPath p;
             p.moveTo(3.5, 5.5);
             p.cubicTo(8, 5.5, 9, 12, 12, 12);
             p.moveTo(3.5, 18.5);
             p.cubicTo(8, 18.5, 9, 12, 12, 12);
             p.moveTo(12, 12);
             p.lineTo(17, 12);
             return strokeOf(p, 2.2).united(polygon({{16.5, 8}, {21.5, 12}, {16.5, 16}}));
         }},
        {"list",
         [] {
             QPainterPath lines = line(3.5, 6.5, 12.5, 6.5, 2.2).united(line(3.5, 11.5, 12.5, 11.5, 2.2)).united(
                 line(3.5, 16.5, 10, 16.5, 2.2));
             return lines.united(noteShape(16.5, 18, 0.95));
         }},
        {"mini",
         [] {
             QPainterPath frame = strokeOf(roundRect(3, 5, 18, 14, 2), 1.6);
             return frame.united(roundRect(6, 12.5, 12, 3.5, 1));
         }},
        {"maxi", [] { return strokeOf(roundRect(4.5, 5.5, 15, 13, 1.5), 1.8).united(roundRect(4.5, 5.5, 15, 3.5, 1)); }},
        {"close", [] { return line(6.5, 6.5, 17.5, 17.5, 2.6).united(line(17.5, 6.5, 6.5, 17.5, 2.6)); }},
        {"minimize", [] { return line(6.5, 16.5, 17.5, 16.5, 2.6); }},
        {"random",
         [] {
             QPainterPath a;
             a.moveTo(3, 7);
             a.cubicTo(10, 7, 12, 17, 18.5, 17);
             QPainterPath b;
             b.moveTo(3, 17);
             b.cubicTo(10, 17, 12, 7, 18.5, 7);
             QPainterPath heads = polygon({{17.5, 3.8}, {21.8, 7}, {17.5, 10.2}}).united(
                 polygon({{17.5, 13.8}, {21.8, 17}, {17.5, 20.2}}));
             return strokeOf(a, 2).united(strokeOf(b, 2)).united(heads);
         }},
        {"open",
         [] {
             QPainterPath back;
             back.moveTo(3, 18);
             back.lineTo(3, 5.5);
             back.lineTo(8.5, 5.5);
             back.lineTo(10.5, 7.5);
             back.lineTo(18, 7.5);
             back.lineTo(18, 10);
             QPainterPath front = polygon({{6.5, 11}, {22, 11}, {18.5, 19}, {3, 19}});
             return strokeOf(back, 1.7).united(front);
         }},
        {"save",
         [] {
             QPainterPath tray;
             tray.moveTo(4, 13.5);
             tray.lineTo(4, 20);
             tray.lineTo(20, 20);
             tray.lineTo(20, 13.5);
             return strokeOf(tray, 2.2).united(line(12, 3.5, 12, 12, 2.4)).united(
                 polygon({{7.5, 10}, {16.5, 10}, {12, 15.5}}));
         }},
        {"up", [] { return line(12, 19.5, 12, 10, 2.6).united(polygon({{5.5, 12}, {12, 4.5}, {18.5, 12}})); }},
        {"down", [] { return line(12, 4.5, 12, 14, 2.6).united(polygon({{5.5, 12}, {12, 19.5}, {18.5, 12}})); }},
        {"shrink",
         [] {
             QPainterPath p;
             p.moveTo(6, 12);
             p.lineTo(12, 6.5);
             p.lineTo(18, 12);
             p.moveTo(6, 18);
             p.lineTo(12, 12.5);
             p.lineTo(18, 18);
             return strokeOf(p, 2.4);
         }},
        {"expand",
         [] {
             QPainterPath p;
             p.moveTo(6, 6);
             p.lineTo(12, 11.5);
             p.lineTo(18, 6);
             p.moveTo(6, 12);
             p.lineTo(12, 17.5);
             p.lineTo(18, 12);
             return strokeOf(p, 2.4);
         }},
        {"resume",
         [] {
             return polygon({{3.5, 5}, {12.5, 12}, {3.5, 19}}).united(roundRect(14.5, 5, 2.8, 14, 0.8)).united(
                 roundRect(19, 5, 2.8, 14, 0.8));
         }},
        {"volume",
         [] {
             QPainterPath body = polygon({{3, 9}, {7, 9}, {12, 4.5}, {12, 19.5}, {7, 15}, {3, 15}}, 1);
             return body.united(strokeOf(arc(12.5, 12, 4, -50, 100), 1.8)).united(
                 strokeOf(arc(12.5, 12, 7.8, -50, 100), 1.8));
         }},
        {"logo",
         [] {
             QPainterPath notes = ellipse(8.8, 16, 2.4, 1.9).united(ellipse(15.6, 14.6, 2.4, 1.9));
             notes = notes.united(line(10.9, 15.8, 10.9, 7.6, 1.5)).united(line(17.7, 14.4, 17.7, 6.2, 1.5));
             notes = notes.united(polygon({{10.9, 7}, {17.7, 5.6}, {17.7, 8.2}, {10.9, 9.6}}, 0.6));
             return ring(12, 12, 10.2, 1.7).united(notes);
         }},
        {"note",
         [] {
             QPainterPath notes = ellipse(7, 18, 3, 2.4).united(ellipse(17, 16, 3, 2.4));
             notes = notes.united(line(9.7, 17.8, 9.7, 6.5, 1.8)).united(line(19.7, 15.8, 19.7, 4.5, 1.8));
             return notes.united(polygon({{9.7, 5.6}, {19.7, 3.6}, {19.7, 7}, {9.7, 9}}, 0.6));
         }},
    };
    return shapes;
}

QPainterPath glyphPath(const QString& name) {
    auto it = glyphShapes().constFind(name);
    return it == glyphShapes().constEnd() ? QPainterPath() : (*it)();
}

std::future<Glyphs>& preparedGlyphs() {
    static std::future<Glyphs> prepared;
    return prepared;
}

}  // namespace

void prepareGlyphs() {
    std::future<Glyphs>& prepared = preparedGlyphs();
    if (prepared.valid()) return;
    prepared = std::async(std::launch::async, [] {
        Glyphs all;
        for (auto it = glyphShapes().cbegin(); it != glyphShapes().cend(); ++it) all.insert(it.key(), it.value()());
        return all;
    });
}

void paintGlyph(QPainter& p, const QRectF& r, const QString& name, const QColor& color,
                const std::optional<QColor>& shadow) {
    static Glyphs cache = [] {
        std::future<Glyphs>& prepared = preparedGlyphs();
        return prepared.valid() ? prepared.get() : Glyphs();
    }();
    auto it = cache.find(name);
    if (it == cache.end()) it = cache.insert(name, glyphPath(name));
    const qreal side = std::min(r.width(), r.height());
    if (side <= 0 || it->isEmpty()) return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QPointF origin(r.center().x() - side / 2, r.center().y() - side / 2);
    QTransform t;
    t.translate(origin.x(), origin.y());
    t.scale(side / 24.0, side / 24.0);
    const QPainterPath shape = t.map(*it);
    if (shadow) {
        p.setBrush(*shadow);
        p.drawPath(shape.translated(0, 1));
    }
    p.setBrush(color);
    p.drawPath(shape);
    p.restore();
}

QSizeF barThumbSize(const QRectF& r, const Style& s, Qt::Orientation o) {
    const qreal across = o == Qt::Horizontal ? r.height() : r.width();
    QSizeF t = s.thumbSize ? QSizeF(*s.thumbSize) : QSizeF(across, across);
    if (o == Qt::Vertical) t.transpose();
    return t.boundedTo(r.size());
}

void paintBar(QPainter& p, const QRectF& r, const Style& s, Qt::Orientation o, qreal fraction) {
    fraction = std::clamp<qreal>(fraction, 0, 1);
    paintBox(p, r, s);
    const QSizeF thumb = barThumbSize(r, s, o);
    const bool h = o == Qt::Horizontal;
    const qreal len = h ? r.width() - thumb.width() : r.height() - thumb.height();
    const qreal gh = std::min<qreal>(s.grooveHeight.value_or(4), h ? r.height() : r.width());
    QRectF groove;
    if (h) groove = QRectF(r.left() + thumb.width() / 2 - gh / 2, r.center().y() - gh / 2, len + gh, gh);
    else groove = QRectF(r.center().x() - gh / 2, r.top() + thumb.height() / 2 - gh / 2, gh, len + gh);
    // Vertical bars grow upwards, as a volume fader does.
    const QPointF centre = h ? QPointF(r.left() + thumb.width() / 2 + fraction * len, r.center().y())
                             : QPointF(r.center().x(), r.bottom() - thumb.height() / 2 - fraction * len);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    if (s.groove) {
        p.setBrush(fillBrush(*s.groove, groove));
        p.drawRoundedRect(groove, gh / 2, gh / 2);
    }
    if (s.progress) {
        QRectF done = groove;
        if (h) done.setRight(centre.x());
        else done.setTop(centre.y());
        if (done.width() > 0 && done.height() > 0) {
            p.setBrush(fillBrush(*s.progress, groove));
            p.drawRoundedRect(done, gh / 2, gh / 2);
        }
    }
    if (s.thumb) {
        QRectF knob(QPointF(0, 0), thumb);
        knob.moveCenter(centre);
        const qreal bw = s.thumbBorder ? 1 : 0;
        knob.adjust(bw / 2, bw / 2, -bw / 2, -bw / 2);
        p.setPen(s.thumbBorder ? QPen(*s.thumbBorder, 1) : Qt::NoPen);
        p.setBrush(fillBrush(*s.thumb, knob));
        const qreal rad = std::min(knob.width(), knob.height()) / 2;
        p.drawRoundedRect(knob, rad, rad);
    }
    p.restore();
}

}  // namespace skin
