#include "tools/setting.h"

Tfm_combinesetting* fm_combinesetting = nullptr;

Tfm_combinesetting::Tfm_combinesetting(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Settings")); }
