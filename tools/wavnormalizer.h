#pragma once
// Converts files to WAV and normalizes WAV files.

#include <QDialog>

class Tfm_wavnormalize : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_wavnormalize(QWidget* parent = nullptr);
};

extern Tfm_wavnormalize* fm_wavnormalize;
