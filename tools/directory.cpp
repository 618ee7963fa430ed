#include "tools/directory.h"

Tfm_directory* fm_directory = nullptr;

Tfm_directory::Tfm_directory(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Directory")); }
