#include "tools/fileinfo.h"

Tfm_fileinfo* fm_fileinfo = nullptr;

Tfm_fileinfo::Tfm_fileinfo(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("File Info")); }
