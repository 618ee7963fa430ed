#pragma once
// Writes an audio CD from a list of audio files.

#include <QDialog>

class Tfm_cdaudioburner : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_cdaudioburner(QWidget* parent = nullptr);
};

extern Tfm_cdaudioburner* fm_cdaudioburner;
