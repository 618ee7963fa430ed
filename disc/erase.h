#pragma once
// Erases a rewritable disc for either writer.

#include <QDialog>

class Tfm_erase : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_erase(QWidget* parent = nullptr);

    // Set by the opener: erase through the audio CD writer window (true) or
    // the data CD writer window (false).
    bool UseAudioWriter = false;
};

extern Tfm_erase* fm_erase;
