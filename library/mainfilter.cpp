#include "library/mainfilter.h"

Tfm_dir* fm_dir = nullptr;

Tfm_dir::Tfm_dir(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Filter")); }
