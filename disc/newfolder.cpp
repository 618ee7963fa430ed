#include "disc/newfolder.h"

Tfm_newfolder* fm_newfolder = nullptr;

Tfm_newfolder::Tfm_newfolder(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Create New Folder")); }
