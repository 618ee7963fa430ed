#pragma once
// The audio CD writer's options.

#include <QDialog>

class Tfm_option : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_option(QWidget* parent = nullptr);
};

extern Tfm_option* fm_option;
