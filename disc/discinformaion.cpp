#include "disc/discinformaion.h"

Tfm_discinfo* fm_discinfo = nullptr;

Tfm_discinfo::Tfm_discinfo(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Disc Information")); }
