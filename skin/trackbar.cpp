#include "skin/trackbar.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "skin/accessible.h"

namespace {
constexpr int kRepeatMs = 100;
constexpr int kTickLength = 3;
}  // namespace

TvsTrackBar::TvsTrackBar(QWidget* parent) : QWidget(parent), uiStyle_(GetVSFormStyle(parent)) {
    EnsureSkinAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    resize(150, 20);
    applyStyle();
}

QColor TvsTrackBar::color() const { return color_.isValid() ? color_ : palette().color(QPalette::Window); }

void TvsTrackBar::setPosition(int value) {
    position_ = std::clamp(value, min_, max_);
    thumbMoved();
}

void TvsTrackBar::setMax(int value) {
    if (value == max_) return;
    max_ = std::max(value, min_);
    position_ = std::min(position_, max_);
    thumbMoved();
}

void TvsTrackBar::setMin(int value) {
    if (value == min_) return;
    min_ = std::min(value, max_);
    position_ = std::max(position_, min_);
    thumbMoved();
}

void TvsTrackBar::thumbMoved() {
    update();
    if (position_ == lastPosition_) return;
    delta_ = position_ - lastPosition_;
    lastPosition_ = position_;
    NotifyValueChanged(this, position_);
    emit changed();
}

void TvsTrackBar::setPageSize(int value) {
    if (value >= 0 && value <= max_) pageSize_ = value;
}

void TvsTrackBar::setLineSize(int value) {
    if (value >= 0 && value <= max_) lineSize_ = value;
}

void TvsTrackBar::setFrequency(int value) {
    frequency_ = value;
    update();
}

void TvsTrackBar::setShowTick(bool on) {
    showTick_ = on;
    update();
}

void TvsTrackBar::setTransparent(bool on) {
    transparent_ = on;
    update();
}

void TvsTrackBar::setColor(const QColor& c) {
    color_ = c;
    barPixmap_ = {};
    update();
}

void TvsTrackBar::setOrientation(Orientation o) {
    if (o == orientation_) return;
    orientation_ = o;
    applyStyle();
}

void TvsTrackBar::setFileTheme(TvsFileTheme* theme) {
    LinkFileTheme(this, fileTheme_, theme, [this] { applyStyle(); }, [this] { setUIStyle(TvsUIStyle::DeepBlue); });
}

void TvsTrackBar::setUIStyle(TvsUIStyle style) {
    uiStyle_ = style;
    applyStyle();
    if (style == TvsUIStyle::Graphite) setTransparent(true);
}

void TvsTrackBar::applyStyle() {
    const TvsThemeValues theme(fileTheme_, uiStyle_);
    barImage_ = theme.image(vskey::TrackBarBarImage);
    sliderImage_ = theme.image(horizontal() ? vskey::TrackBarSliderImage : vskey::TrackBarSliderVImage);
    barPixmap_ = {};
    fitThickness();
    update();
}

void TvsTrackBar::setBarImage(const QImage& image) {
    barImage_ = image;
    barPixmap_ = {};
    fitThickness();
    update();
}

void TvsTrackBar::setSliderImage(const QImage& image) {
    sliderImage_ = image;
    fitThickness();
    update();
}

void TvsTrackBar::fitThickness() {
    // The bar's picture is drawn lying down; a standing bar turns it.
    const int thickness = std::max({1, barImage_.height(), horizontal() ? sliderImage_.height() : sliderImage_.width()});
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (horizontal()) setFixedHeight(thickness);
    else setFixedWidth(thickness);
}

void TvsTrackBar::resizeEvent(QResizeEvent*) { barPixmap_ = {}; }

const QPixmap& TvsTrackBar::barPixmap() {
    const int length = horizontal() ? width() : height();
    if (barPixmap_.isNull() && !barImage_.isNull() && length > 0) {
        QImage bar(length, barImage_.height(), QImage::Format_ARGB32_Premultiplied);
        bar.fill(color());
        QPainter p(&bar);
        DrawStretch3Part(barImage_, p, bar.rect(), true);
        p.end();
        barPixmap_ = QPixmap::fromImage(horizontal() ? bar : RotateBitmap90(bar));
    }
    return barPixmap_;
}

QRect TvsTrackBar::thumbRect() const {
    const int tw = sliderImage_.width(), th = sliderImage_.height();
    const qint64 range = qint64(max_) - min_;
    auto along = [&](int room) { return range == 0 ? 0 : int(qint64(room) * (qint64(position_) - min_) / range); };
    if (horizontal()) return QRect(along(width() - tw), std::max(0, (height() - th) / 2), tw, th);
    return QRect((width() - tw) / 2, along(height() - th), tw, th);
}

int TvsTrackBar::tickAt(qint64 value) const {
    const int length = horizontal() ? width() : height();
    const int thumb = horizontal() ? sliderImage_.width() : sliderImage_.height();
    const qint64 range = qint64(max_) - min_;
    return range == 0 ? thumb / 2 : int((value - min_) * (length - thumb) / range + thumb / 2);
}

int TvsTrackBar::valueAt(QPoint point) const {
    const int at = horizontal() ? point.x() : point.y();
    const int thumb = horizontal() ? sliderImage_.width() : sliderImage_.height();
    const int room = (horizontal() ? width() : height()) - thumb;
    if (room == 0) return position_;
    // Halves round to even, so a click on a boundary lands where it did for
    // the users of this control before.
    const double v = double(min_) + std::nearbyint(double(at - thumb / 2) * (double(max_) - min_) / room);
    return int(std::clamp(v, double(min_), double(max_)));
}

void TvsTrackBar::stepToward(QPoint point, int step) {
    const QRect thumb = thumbRect();
    const int at = horizontal() ? point.x() : point.y();
    const int start = horizontal() ? thumb.left() : thumb.top();
    const int end = start + (horizontal() ? thumb.width() : thumb.height());
    // A step never passes the point, so paging stops under the cursor.
    if (at < start) setPosition(std::max(int(std::max<qint64>(qint64(position_) - step, INT_MIN)), valueAt(point)));
    else if (at >= end) setPosition(std::min(int(std::min<qint64>(qint64(position_) + step, INT_MAX)), valueAt(point)));
}

void TvsTrackBar::stopRepeat() {
    delete repeatTimer_;
    repeatTimer_ = nullptr;
}

void TvsTrackBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    setFocus(Qt::MouseFocusReason);
    if (thumbRect().contains(at)) {
        dragging_ = true;
        return;
    }
    stepToward(at, pageSize_);
    if (!repeatTimer_) {
        repeatTimer_ = new QTimer(this);
        repeatTimer_->setInterval(kRepeatMs);
        connect(repeatTimer_, &QTimer::timeout, this, [this] {
            stepToward(mapFromGlobal(QCursor::pos()), horizontal() ? pageSize_ * 3 : pageSize_);
        });
        repeatTimer_->start();
    }
}

void TvsTrackBar::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (dragging_) setPosition(valueAt(at));
    else if (!rect().contains(at)) stopRepeat();
}

void TvsTrackBar::mouseReleaseEvent(QMouseEvent*) {
    stopRepeat();
    dragging_ = false;
}

void TvsTrackBar::keyPressEvent(QKeyEvent* event) {
    const qint64 p = position_;
    qint64 to;
    switch (event->key()) {
    case Qt::Key_PageUp: to = p - pageSize_; break;
    case Qt::Key_PageDown: to = p + pageSize_; break;
    case Qt::Key_End: to = max_; break;
    case Qt::Key_Home: to = min_; break;
    case Qt::Key_Left:
    case Qt::Key_Up: to = p - lineSize_; break;
    case Qt::Key_Right:
    case Qt::Key_Down: to = p + lineSize_; break;
    default: QWidget::keyPressEvent(event); return;
    }
    setPosition(int(std::clamp<qint64>(to, min_, max_)));
}

void TvsTrackBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width(), h = height();
    if (!transparent_) p.fillRect(rect(), color());
    const QPixmap& bar = barPixmap();
    if (!bar.isNull()) {
        if (horizontal()) p.drawPixmap(0, (h - bar.height()) / 2, bar);
        else p.drawPixmap((w - bar.width()) / 2, 0, bar);
    }
    if (hasFocus()) {
        QPen dots(palette().color(QPalette::WindowText), 1, Qt::DotLine);
        p.setPen(dots);
        p.drawRect(0, 0, w - 1, h - 1);
    }
    if (showTick_) {
        p.setPen(Qt::black);
        const int length = horizontal() ? w : h;
        const int thumb = horizontal() ? sliderImage_.width() : sliderImage_.height();
        const qint64 range = qint64(max_) - min_;
        // Collected and drawn at once: a long range has a tick on every pixel.
        QList<QLine> lines;
        auto draw = [&](int at) {
            if (horizontal()) {
                lines << QLine(at, 0, at, kTickLength - 1) << QLine(at, h - kTickLength, at, h - 1);
            } else {
                lines << QLine(0, at, kTickLength - 1, at) << QLine(w - kTickLength, at, w - 1, at);
            }
        };
        // A frequency below 1 would never advance: only the ends then.
        const qint64 step = frequency_ >= 1 ? frequency_ : std::max<qint64>(range, 1);
        const qint64 room = length - thumb;
        if (range > 0 && step * room <= range) {
            // Ticks closer than a pixel cover every pixel between the ends;
            // counting them one by one could take billions of steps.
            const int a = tickAt(min_), b = tickAt(max_);
            for (int at = std::min(a, b); at <= std::max(a, b); ++at) draw(at);
        } else {
            int last = INT_MIN;
            for (qint64 v = min_; v < max_; v += step) {
                last = tickAt(v);
                draw(last);
            }
            if (tickAt(max_) != last) draw(tickAt(max_));
        }
        p.drawLines(lines);
    }
    if (!sliderImage_.isNull()) p.drawImage(thumbRect().topLeft(), sliderImage_);
}
