#include "library/about.h"

Tfm_about* fm_about = nullptr;

Tfm_about::Tfm_about(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("About")); }
