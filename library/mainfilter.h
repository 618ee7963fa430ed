#pragma once
// The library rescan window (captioned "Filter"): adds a whole folder tree
// of audio files to the library.

#include <QDialog>

class Tfm_dir : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_dir(QWidget* parent = nullptr);
};

extern Tfm_dir* fm_dir;
