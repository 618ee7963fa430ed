#pragma once
// Everything a skin shows is drawn here from its styles: boxes, texts, the
// bars and the glyphs of the buttons. No image files are involved, so a skin
// is plain text and looks sharp at any size.

#include "components/skin/skinfile.h"

#include <QFont>
#include <QPainter>
#include <QRectF>

namespace skin {

QFont fontOf(const Style& s, const QFont& fallback);

// Fill, border and bevel of a rounded box. Two fill colours run from top to
// bottom; four make the glass look: two gradients that meet in the middle.
void paintBox(QPainter& p, const QRectF& r, const Style& s);
void paintBox(QPainter& p, const QRectF& r, const Style& s, qreal radius);

void paintText(QPainter& p, const QRectF& r, const QString& text, const Style& s, Qt::Alignment align,
               const QFont& fallback);

// Works out every glyph's outline on a thread of its own, so that the first
// windows painted find them ready; the first glyph painted waits for it.
void prepareGlyphs();
// A named glyph centred in r, drawn in the style's glyph colour.
void paintGlyph(QPainter& p, const QRectF& r, const QString& name, const QColor& color,
                const std::optional<QColor>& shadow = std::nullopt);

// Groove, progress and thumb of a bar at `fraction` (0..1) of its range.
void paintBar(QPainter& p, const QRectF& r, const Style& s, Qt::Orientation o, qreal fraction);
QSizeF barThumbSize(const QRectF& r, const Style& s, Qt::Orientation o);

}  // namespace skin
