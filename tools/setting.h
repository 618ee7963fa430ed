#pragma once
// Output format settings of the combine window.

#include <QDialog>

class Tfm_combinesetting : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_combinesetting(QWidget* parent = nullptr);
};

extern Tfm_combinesetting* fm_combinesetting;
