#include "library/more.h"

Tfm_more* fm_more = nullptr;

Tfm_more::Tfm_more(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("More Tags")); }
