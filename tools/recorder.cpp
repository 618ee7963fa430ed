#include "tools/recorder.h"

Tfm_recorder* fm_recorder = nullptr;

Tfm_recorder::Tfm_recorder(QWidget* parent) : QWidget(parent) { setWindowTitle(QStringLiteral("Recorder")); }
