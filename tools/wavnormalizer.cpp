#include "tools/wavnormalizer.h"

Tfm_wavnormalize* fm_wavnormalize = nullptr;

Tfm_wavnormalize::Tfm_wavnormalize(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("WAV Normalize")); }
