#include "disc/cdrecsett.h"

Tfm_recsett* fm_recsett = nullptr;

Tfm_recsett::Tfm_recsett(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Burner Setting")); }
