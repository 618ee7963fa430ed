#include "tools/combine.h"

Tfm_combine* fm_combine = nullptr;

Tfm_combine::Tfm_combine(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Combine")); }
