#pragma once
// Joins a list of audio files into one file.

#include <QDialog>

class Tfm_combine : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_combine(QWidget* parent = nullptr);
};

extern Tfm_combine* fm_combine;
