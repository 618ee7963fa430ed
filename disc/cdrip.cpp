#include "disc/cdrip.h"

Tfm_cdripper* fm_cdripper = nullptr;

Tfm_cdripper::Tfm_cdripper(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("CD Ripper")); }
