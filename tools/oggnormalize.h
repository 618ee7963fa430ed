#pragma once
// Converts files to OGG and normalizes OGG files.

#include "tools/converterwindow.h"

class Tfm_oggnormalize : public ConverterWindow {
public:
    explicit Tfm_oggnormalize(QWidget* parent = nullptr) : ConverterWindow(OggConverterConfig(), parent) {}
};

extern Tfm_oggnormalize* fm_oggnormalize;
