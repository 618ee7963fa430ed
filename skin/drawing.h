#pragma once
// Drawing and layout routines the skinned controls share.

#include "skin/uistyle.h"

#include <QImage>
#include <QRect>

class QPainter;
class QWidget;

// A control that takes a theme from its container.
class TvsThemeable {
public:
    virtual ~TvsThemeable() = default;
    virtual void setFileTheme(TvsFileTheme* theme) = 0;
    virtual void setUIStyle(TvsUIStyle style) = 0;
};

// The picture repeated over `rect`, tiles anchored at the painter's origin.
void DrawTiled(QPainter& p, const QImage& picture, const QRect& rect);

// The image cut in three equal columns: the outer two drawn unscaled at the
// rectangle's ends, the middle one stretched between them. The key colour,
// the image's pixel (0, 0) or else magenta, is transparent in all three.
void DrawStretch3Part(const QImage& image, QPainter& p, const QRect& rect, bool useCornerPixel);

// The image turned a quarter counter-clockwise: pixel (x, y) lands on
// (y, width - 1 - x).
QImage RotateBitmap90(const QImage& image);

// Part `index` (from 1) of `count` equal columns; null when there is no
// such part.
QImage SplitBitmap(const QImage& source, int count, int index);

// The image with every pixel of `key` made fully transparent.
QImage WithTransparentKey(const QImage& image, QRgb key);

// Hands the theme and then the style to every direct child that takes them.
void ContainerApplyUIStyle(QWidget* container, TvsUIStyle style, TvsFileTheme* theme);

// Hit areas include their right and bottom edges.
inline bool PointInRect(int x, int y, const QRect& r) {
    return x >= r.left() && x <= r.left() + r.width() && y >= r.top() && y <= r.top() + r.height();
}

// The desktop's work area around the widget.
QRect GetWorkAreaRect(const QWidget* widget);
