#pragma once
// Converts files to MP3 and normalizes MP3 files.

#include <QDialog>

class Tfm_mp3normalize : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_mp3normalize(QWidget* parent = nullptr);
};

extern Tfm_mp3normalize* fm_mp3normalize;
