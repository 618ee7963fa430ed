#pragma once
// Records from an input line into a WAV, MP3, OGG or WMA file.

#include <QWidget>

class Tfm_recorder : public QWidget {
    Q_OBJECT
public:
    explicit Tfm_recorder(QWidget* parent = nullptr);
};

extern Tfm_recorder* fm_recorder;
