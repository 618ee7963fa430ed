#include "components/discwriter/imagefolder.h"

#include <cstdlib>

#include "platform/paths.h"

std::string CdImageFolder()
{
    const char* set = std::getenv("TUNEVALE_CD_IMAGES");
    if (set && *set)
        return set;
    return JoinPath(DataRoot(), "cd images");
}
