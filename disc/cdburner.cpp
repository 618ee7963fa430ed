#include "disc/cdburner.h"

Tfm_burner* fm_burner = nullptr;

Tfm_burner::Tfm_burner(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Data CD Writer")); }
