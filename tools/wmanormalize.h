#pragma once
// Converts files to WMA and normalizes WMA files.

#include "tools/converterwindow.h"

class Tfm_wmanormalize : public ConverterWindow {
public:
    explicit Tfm_wmanormalize(QWidget* parent = nullptr) : ConverterWindow(WmaConverterConfig(), parent) {}
};

extern Tfm_wmanormalize* fm_wmanormalize;
