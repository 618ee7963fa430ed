#pragma once
// Converts files to MP3 and normalizes MP3 files.

#include "tools/converterwindow.h"

class Tfm_mp3normalize : public ConverterWindow {
public:
    explicit Tfm_mp3normalize(QWidget* parent = nullptr) : ConverterWindow(Mp3ConverterConfig(), parent) {}
};

extern Tfm_mp3normalize* fm_mp3normalize;
