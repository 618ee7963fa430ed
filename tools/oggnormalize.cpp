#include "tools/oggnormalize.h"

Tfm_oggnormalize* fm_oggnormalize = nullptr;

Tfm_oggnormalize::Tfm_oggnormalize(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("OGG Normalizer")); }
