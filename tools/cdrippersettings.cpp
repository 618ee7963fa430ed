#include "tools/cdrippersettings.h"

bool CdSetForRecorder = false;
Tfm_cdset* fm_cdset = nullptr;

Tfm_cdset::Tfm_cdset(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("CD Setting")); }
