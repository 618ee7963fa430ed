#include "library/mmain.h"

Tfm_mmain* fm_mmain = nullptr;

Tfm_mmain::Tfm_mmain(QWidget* parent) : QWidget(parent) { setWindowTitle(QStringLiteral("Tunevale")); }
