#pragma once
// Facts of the disc in the data writer's drive.

#include <QDialog>

class Tfm_discinfo : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_discinfo(QWidget* parent = nullptr);
};

extern Tfm_discinfo* fm_discinfo;
