#pragma once
// Makes the program the opener of the four audio types.

#include <QDialog>

class Tfm_associate : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_associate(QWidget* parent = nullptr);
};

extern Tfm_associate* fm_associate;
