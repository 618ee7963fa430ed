#pragma once
// The splash shown over the main window while the other windows are
// created. It closes itself on the first tick of its timer and frees itself
// when closed; it is never the main window, so closing it does not end the
// program.

#include <QTimer>
#include <QWidget>

class Tfm_cover : public QWidget {
    Q_OBJECT
public:
    explicit Tfm_cover(QWidget* parent = nullptr);
    ~Tfm_cover() override;

    QWidget* Image1;  // the picture, over the whole client area
    QTimer* Timer1;

private:
    void Timer1Timer();
};

// Valid from the splash's creation until it has closed; null afterwards.
extern Tfm_cover* fm_cover;
