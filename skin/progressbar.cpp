#include "skin/progressbar.h"

#include <QPainter>
#include <QThread>

#include <algorithm>

#include "skin/accessible.h"

namespace {
constexpr int kThickness = 12;
}

TvsProgressBar::TvsProgressBar(QWidget* parent) : QWidget(parent), uiStyle_(GetVSFormStyle(parent)) {
    EnsureSkinAccessibility();
    color_ = palette().color(QPalette::Button);
    // The caption sits inside the 12-pixel strip.
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
    resize(150, kThickness);
    setFixedHeight(kThickness);
    changed();
    applyStyle();
}

int TvsProgressBar::filledLength(int length) const {
    if (min_ >= max_ || min_ >= position_) return 0;
    if (position_ > max_) return length;
    return int((qint64(position_) - min_) * length / (qint64(max_) - min_));
}

void TvsProgressBar::changed() {
    Q_ASSERT(QThread::currentThread() == thread());
    const qint64 percent = min_ == max_ ? 0 : (qint64(position_) - min_) * 100 / (qint64(max_) - min_);
    caption_ = QString::number(percent) + QLatin1Char('%');
    NotifyValueChanged(this, position_);
    update();
}

void TvsProgressBar::setPosition(int position) {
    position_ = position;
    changed();
}

void TvsProgressBar::setMax(int max) {
    max_ = max;
    changed();
}

void TvsProgressBar::setMin(int min) {
    min_ = min;
    changed();
}

void TvsProgressBar::setFileTheme(TvsFileTheme* theme) {
    LinkFileTheme(this, fileTheme_, theme, [this] { applyStyle(); }, [this] { setUIStyle(TvsUIStyle::DeepBlue); });
}

void TvsProgressBar::setUIStyle(TvsUIStyle style) {
    uiStyle_ = style;
    applyStyle();
}

void TvsProgressBar::applyStyle() {
    const TvsThemeValues theme(fileTheme_, uiStyle_);
    picture_ = theme.image(vskey::ProgressBarImage);
    color_ = theme.color(vskey::ControlBackgroundColor, color_);
    borderColor_ = theme.color(vskey::ControlBorderColor, borderColor_);
    if (orientation_ == vsVertical) picture_ = RotateBitmap90(picture_);
    update();
}

void TvsProgressBar::setOrientation(Orientation o) {
    orientation_ = o;
    applyStyle();
    const int length = std::max(width(), height());
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (o == vsVertical) {
        // A standing bar has no room for its caption.
        showCaption_ = false;
        resize(kThickness, length);
        setFixedWidth(kThickness);
    } else {
        resize(length, kThickness);
        setFixedHeight(kThickness);
    }
}

void TvsProgressBar::setBorderColor(const QColor& c) {
    borderColor_ = c;
    update();
}

void TvsProgressBar::setColor(const QColor& c) {
    color_ = c;
    update();
}

void TvsProgressBar::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TvsProgressBar::setShowCaption(bool on) {
    showCaption_ = on;
    update();
}

void TvsProgressBar::setCaptionColor(const QColor& c) {
    captionColor_ = c;
    update();
}

void TvsProgressBar::setSmartShowCaption(bool on) {
    smartShowCaption_ = on;
    update();
}

void TvsProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width(), h = height();
    // The whole strip gets the background first: a picture of another height
    // than the bar's inside would otherwise leave rows unpainted.
    p.fillRect(rect(), color_);
    p.save();
    p.setClipRect(1, 1, w - 2, h - 2);
    if (orientation_ == vsHorizontal) {
        const int filled = std::max(1, filledLength(w - 1));
        if (!picture_.isNull()) p.drawImage(QRect(1, 1, filled - 1, picture_.height()), picture_);
    } else {
        // Fills from the bottom up.
        const int top = std::max(1, (h - 1) - filledLength(h - 1));
        if (!picture_.isNull()) p.drawImage(QRect(1, top, picture_.width(), h - 1 - top), picture_);
    }
    p.restore();
    if (showCaption_ && !(smartShowCaption_ && position_ == min_)) {
        const QFontMetrics fm(font());
        p.setPen(captionColor_);
        const int x = (w - fm.horizontalAdvance(caption_)) / 2;
        const int y = (h - fm.height()) / 2;
        p.drawText(x, y + fm.ascent(), caption_);
    }
    p.setPen(borderColor_);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 1, h - 1);
}
