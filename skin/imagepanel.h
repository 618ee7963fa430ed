#pragma once
// A panel that shows a picture at its corner, stretched or tiled, with an
// optional caption.

#include <QImage>
#include <QWidget>

class TvsImagePanel : public QWidget {
    Q_OBJECT
public:
    enum DrawStyle { vsNormal, vsStretch, vsTile };

    explicit TvsImagePanel(QWidget* parent = nullptr);

    QImage picture() const { return picture_; }
    void setPicture(const QImage& picture);
    bool transparent() const { return transparent_; }
    void setTransparent(bool on);
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool on);
    DrawStyle drawStyle() const { return drawStyle_; }
    void setDrawStyle(DrawStyle style);
    QColor color() const { return color_; }
    void setColor(const QColor& c);
    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);
    // -1 in either places the caption by the alignment instead.
    void setCaptionPos(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    bool transparent_ = false;
    bool autoSize_ = false;
    DrawStyle drawStyle_ = vsNormal;
    QColor color_;
    QString caption_;
    Qt::Alignment alignment_ = Qt::AlignHCenter;
    int captionX_ = -1;
    int captionY_ = -1;
};
