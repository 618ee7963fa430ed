#pragma once
// A themed progress bar: a framed strip whose filled part shows the theme's
// progress picture, with the percentage as its caption. Its setters keep
// what they are given: a position beyond Max shows a full bar and, say,
// "150%". Like every widget it lives on the GUI thread; workers reach its
// slots through queued signals, which keep their order.

#include "skin/drawing.h"
#include "skin/filetheme.h"

#include <QWidget>

class TvsProgressBar : public QWidget, public TvsThemeable {
    Q_OBJECT
public:
    enum Orientation { vsHorizontal, vsVertical };

    explicit TvsProgressBar(QWidget* parent = nullptr);

    int max() const { return max_; }
    int min() const { return min_; }
    int position() const { return position_; }
    QString caption() const { return caption_; }
    TvsUIStyle uiStyle() const { return uiStyle_; }
    TvsFileTheme* fileTheme() const { return fileTheme_; }
    Orientation orientation() const { return orientation_; }
    QColor borderColor() const { return borderColor_; }
    QColor color() const { return color_; }
    QImage picture() const { return picture_; }
    bool showCaption() const { return showCaption_; }
    QColor captionColor() const { return captionColor_; }
    bool smartShowCaption() const { return smartShowCaption_; }

    void setFileTheme(TvsFileTheme* theme) override;
    void setUIStyle(TvsUIStyle style) override;
    void setOrientation(Orientation o);
    void setBorderColor(const QColor& c);
    void setColor(const QColor& c);
    void setPicture(const QImage& picture);
    void setShowCaption(bool on);
    void setCaptionColor(const QColor& c);
    void setSmartShowCaption(bool on);

    // The filled part of a strip `length` pixels long.
    int filledLength(int length) const;

public slots:
    void setPosition(int position);
    void setMax(int max);
    void setMin(int min);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void changed();
    void applyStyle();

    int max_ = 100;
    int min_ = 0;
    int position_ = 50;
    TvsUIStyle uiStyle_;
    QPointer<TvsFileTheme> fileTheme_;
    Orientation orientation_ = vsHorizontal;
    QColor borderColor_{Qt::black};
    QColor color_;
    QImage picture_;
    bool showCaption_ = true;
    QColor captionColor_{Qt::black};
    bool smartShowCaption_ = false;
    QString caption_;
};
