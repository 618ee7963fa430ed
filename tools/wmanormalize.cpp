#include "tools/wmanormalize.h"

Tfm_wmanormalize* fm_wmanormalize = nullptr;
