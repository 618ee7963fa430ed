#pragma once
// Converts files to WAV and normalizes WAV files.

#include "tools/converterwindow.h"

class Tfm_wavnormalize : public ConverterWindow {
public:
    explicit Tfm_wavnormalize(QWidget* parent = nullptr) : ConverterWindow(WavConverterConfig(), parent) {}
};

extern Tfm_wavnormalize* fm_wavnormalize;
