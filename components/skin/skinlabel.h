#pragma once
// A label of a tool window that takes its colour and font from the skin's
// section for that window. Captions may break lines with a carriage return,
// as the recorder's file name texts do.

#include <QLabel>

class SkinLabel : public QLabel {
    Q_OBJECT
public:
    explicit SkinLabel(QWidget* parent = nullptr);
    explicit SkinLabel(const QString& caption, QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    QString caption() const { return caption_; }

private:
    QString caption_;
};
