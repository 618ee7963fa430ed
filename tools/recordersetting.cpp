#include "tools/recordersetting.h"

Tfm_recordsetting* fm_recordsetting = nullptr;

Tfm_recordsetting::Tfm_recordsetting(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Record Setting")); }
