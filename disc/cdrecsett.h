#pragma once
// The data writer's write options.

#include <QDialog>

class Tfm_recsett : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_recsett(QWidget* parent = nullptr);
};

extern Tfm_recsett* fm_recsett;
