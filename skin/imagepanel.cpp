#include "skin/imagepanel.h"

#include "skin/accessible.h"
#include "skin/drawing.h"

#include <QPainter>

TvsImagePanel::TvsImagePanel(QWidget* parent) : QWidget(parent), color_(palette().color(QPalette::Window)) {
    EnsureSkinAccessibility();
}

void TvsImagePanel::setPicture(const QImage& picture) {
    picture_ = picture;
    if (autoSize_ && !picture_.isNull()) resize(picture_.size());
    update();
}

void TvsImagePanel::setTransparent(bool on) {
    transparent_ = on;
    update();
}

void TvsImagePanel::setAutoSize(bool on) {
    autoSize_ = on;
    if (autoSize_ && !picture_.isNull()) resize(picture_.size());
}

void TvsImagePanel::setDrawStyle(DrawStyle style) {
    drawStyle_ = style;
    update();
}

void TvsImagePanel::setColor(const QColor& c) {
    color_ = c;
    update();
}

void TvsImagePanel::setCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void TvsImagePanel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

void TvsImagePanel::setCaptionPos(int x, int y) {
    captionX_ = x;
    captionY_ = y;
    update();
}

void TvsImagePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Transparent: whatever the parent shows stays; Qt paints it under us.
    if (!transparent_ && picture_.isNull()) p.fillRect(rect(), color_);
    if (!picture_.isNull()) {
        switch (drawStyle_) {
        case vsNormal: p.drawImage(0, 0, picture_); break;
        case vsStretch: p.drawImage(rect(), picture_); break;
        case vsTile: DrawTiled(p, picture_, rect()); break;
        }
    }
    const QString text = caption_.trimmed();
    if (text.isEmpty()) return;
    p.setPen(palette().color(QPalette::WindowText));
    if (captionX_ == -1 || captionY_ == -1) {
        p.drawText(rect(), int(alignment_ & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | Qt::TextSingleLine, caption_);
    } else {
        p.drawText(captionX_, captionY_ + QFontMetrics(font()).ascent(), caption_);
    }
}
