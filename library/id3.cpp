#include "library/id3.h"

Tfm_Id3* fm_Id3 = nullptr;

Tfm_Id3::Tfm_Id3(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Id3")); }
