#include "disc/erase.h"

Tfm_erase* fm_erase = nullptr;

Tfm_erase::Tfm_erase(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Erase")); }
