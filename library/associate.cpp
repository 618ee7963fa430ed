#include "library/associate.h"

Tfm_associate* fm_associate = nullptr;

Tfm_associate::Tfm_associate(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Associate")); }
