#pragma once
// A combo box with a flat frame, a themed drop-down button and a drawn
// arrow; the list, the keys and the model are the standard combo box's.
//
// Order matters to callers: the style first, then the colours, which win.

#include "skin/drawing.h"
#include "skin/filetheme.h"

#include <QComboBox>

class TvsCustomComboBox : public QComboBox, public TvsThemeable {
    Q_OBJECT
public:
    explicit TvsCustomComboBox(QWidget* parent = nullptr);

    QColor borderColor() const { return borderColor_; }
    QColor buttonColor() const { return buttonColor_; }
    QColor arrowColor() const { return arrowColor_; }
    TvsUIStyle uiStyle() const { return uiStyle_; }
    TvsFileTheme* fileTheme() const { return fileTheme_; }

    void setBorderColor(const QColor& c);
    void setButtonColor(const QColor& c);
    void setArrowColor(const QColor& c);
    void setFileTheme(TvsFileTheme* theme) override;
    // Resets the arrow to black and takes the frame and button colours from
    // the theme.
    void setUIStyle(TvsUIStyle style) override;

    // Where the drop-down button is drawn.
    QRect buttonRect() const;

    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QColor borderColor_{Qt::black};
    QColor buttonColor_;
    QColor arrowColor_{Qt::black};
    TvsUIStyle uiStyle_;
    QPointer<TvsFileTheme> fileTheme_;
    QPointer<QWidget> popupFrame_;
};

class TvsComboBox : public TvsCustomComboBox {
    Q_OBJECT
public:
    using TvsCustomComboBox::TvsCustomComboBox;
};
