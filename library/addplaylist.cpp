#include "library/addplaylist.h"

Tfm_addlist* fm_addlist = nullptr;

Tfm_addlist::Tfm_addlist(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Add File...")); }
