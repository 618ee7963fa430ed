#include "library/playtime.h"

#include <algorithm>
#include <limits>

#include "platform/muldiv.h"

int PerMille(int64_t position, int64_t length) {
    while (length > std::numeric_limits<int32_t>::max() || position > std::numeric_limits<int32_t>::max() ||
           position < std::numeric_limits<int32_t>::min()) {
        length /= 2;
        position /= 2;
    }
    return mulDiv(static_cast<int32_t>(position), 1000, static_cast<int32_t>(length));
}

int64_t PositionAt(int perMille, int64_t length) {
    perMille = std::clamp(perMille, 0, 1000);
    if (length <= std::numeric_limits<int32_t>::max()) return mulDiv(perMille, static_cast<int32_t>(length), 1000);
    return length / 1000 * perMille;
}
