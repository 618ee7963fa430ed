#include "tools/wmanormalize.h"

Tfm_wmanormalize* fm_wmanormalize = nullptr;

Tfm_wmanormalize::Tfm_wmanormalize(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("WMA Normalizer")); }
