#include "disc/option.h"

Tfm_option* fm_option = nullptr;

Tfm_option::Tfm_option(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Option")); }
