#include "tools/mp3normalize.h"

Tfm_mp3normalize* fm_mp3normalize = nullptr;

Tfm_mp3normalize::Tfm_mp3normalize(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("MP3 Normalizer")); }
