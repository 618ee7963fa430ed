#pragma once
// Erases a rewritable disc for either writer.

#include <QDialog>

class Tfm_erase : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_erase(QWidget* parent = nullptr);
};

extern Tfm_erase* fm_erase;
