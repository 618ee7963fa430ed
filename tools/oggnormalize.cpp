#include "tools/oggnormalize.h"

Tfm_oggnormalize* fm_oggnormalize = nullptr;
