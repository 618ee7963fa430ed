#pragma once
// Writes a range of one audio file into a new file.

#include <QDialog>

class Tfm_cut : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_cut(QWidget* parent = nullptr);
};

extern Tfm_cut* fm_cut;
