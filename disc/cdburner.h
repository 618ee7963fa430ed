#pragma once
// Builds a data disc compilation and writes it.

#include <QDialog>

class Tfm_burner : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_burner(QWidget* parent = nullptr);
};

extern Tfm_burner* fm_burner;
