#pragma once
// A themed slider: the theme's bar picture stretched along the control and
// a thumb that is dragged, paged toward a click, or moved by keys. Its
// position always lies between Min and Max; `changed` fires once for every
// real change, set by the user or by the program.
//
// Order matters to callers: Min, Max and Position first, then PageSize and
// LineSize, which are checked against Max.

#include "skin/drawing.h"
#include "skin/filetheme.h"

#include <QPixmap>
#include <QWidget>

class QTimer;

class TvsTrackBar : public QWidget, public TvsThemeable {
    Q_OBJECT
public:
    enum Orientation { vsHorizontal, vsVertical };

    explicit TvsTrackBar(QWidget* parent = nullptr);

    int min() const { return min_; }
    int max() const { return max_; }
    int position() const { return position_; }
    int delta() const { return delta_; }  // the last change of Position
    int pageSize() const { return pageSize_; }
    int lineSize() const { return lineSize_; }
    int frequency() const { return frequency_; }
    bool showTick() const { return showTick_; }
    bool transparent() const { return transparent_; }
    bool dragging() const { return dragging_; }
    Orientation orientation() const { return orientation_; }
    TvsUIStyle uiStyle() const { return uiStyle_; }
    TvsFileTheme* fileTheme() const { return fileTheme_; }
    QImage barImage() const { return barImage_; }
    QImage sliderImage() const { return sliderImage_; }
    QColor color() const;
    bool repeating() const { return repeatTimer_ != nullptr; }

    void setMin(int value);
    void setMax(int value);
    // Values outside 0..Max are ignored.
    void setPageSize(int value);
    void setLineSize(int value);
    void setFrequency(int value);
    void setShowTick(bool on);
    void setTransparent(bool on);
    void setOrientation(Orientation o);
    void setFileTheme(TvsFileTheme* theme) override;
    void setUIStyle(TvsUIStyle style) override;
    void setBarImage(const QImage& image);
    void setSliderImage(const QImage& image);
    void setColor(const QColor& c);

    // Where the thumb sits, and the value under a point of the control.
    QRect thumbRect() const;
    int valueAt(QPoint point) const;
    // Where the tick of a value is drawn along the control, so that labels
    // can be put under it.
    int tickAt(qint64 value) const;

public slots:
    void setPosition(int value);

signals:
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyStyle();
    void fitThickness();
    void thumbMoved();
    void stepToward(QPoint point, int step);
    void stopRepeat();
    bool horizontal() const { return orientation_ == vsHorizontal; }
    const QPixmap& barPixmap();

    QImage barImage_;
    QImage sliderImage_;
    QTimer* repeatTimer_ = nullptr;
    int min_ = 0;
    int max_ = 10;
    int position_ = 0;
    int lastPosition_ = 0;
    Orientation orientation_ = vsHorizontal;
    QPointer<TvsFileTheme> fileTheme_;
    TvsUIStyle uiStyle_;
    bool showTick_ = true;
    bool transparent_ = false;
    int delta_ = 0;
    bool dragging_ = false;
    int frequency_ = 1;
    int pageSize_ = 2;
    int lineSize_ = 1;
    QColor color_;
    // The bar as drawn for the current length, made again when it changes.
    QPixmap barPixmap_;
};
