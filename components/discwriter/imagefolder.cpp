#include "components/discwriter/imagefolder.h"

#include <cstdlib>

#include "platform/paths.h"

std::string CdImageFolder() {
    const char* chosen = std::getenv("TUNEVALE_CD_IMAGES");
    if (chosen && *chosen) return chosen;
    return JoinPath(DataRoot(), "cdimages");
}
