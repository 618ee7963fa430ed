#include "tools/cut.h"

Tfm_cut* fm_cut = nullptr;

Tfm_cut::Tfm_cut(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Cut")); }
