#include "tools/mp3normalize.h"

Tfm_mp3normalize* fm_mp3normalize = nullptr;
