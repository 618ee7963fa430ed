#pragma once
// Rips the tracks of an audio CD to files.

#include <QDialog>

class Tfm_cdripper : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_cdripper(QWidget* parent = nullptr);
};

extern Tfm_cdripper* fm_cdripper;
