#include "disc/cdaudioburner.h"

Tfm_cdaudioburner* fm_cdaudioburner = nullptr;

Tfm_cdaudioburner::Tfm_cdaudioburner(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Audio CD Writer")); }
