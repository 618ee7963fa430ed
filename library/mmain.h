#pragma once
// The mini window that stands in for the main window.

#include <QWidget>

class Tfm_mmain : public QWidget {
    Q_OBJECT
public:
    explicit Tfm_mmain(QWidget* parent = nullptr);
};

extern Tfm_mmain* fm_mmain;
