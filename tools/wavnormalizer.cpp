#include "tools/wavnormalizer.h"

Tfm_wavnormalize* fm_wavnormalize = nullptr;
