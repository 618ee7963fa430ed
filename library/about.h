#pragma once
// The About window.

#include <QDialog>

class Tfm_about : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_about(QWidget* parent = nullptr);
};

extern Tfm_about* fm_about;
