#include "platform/texthelpers.h"

#include <algorithm>
#include <string_view>

std::string RemoveInvalidFileNameChars(std::string_view text) {
    constexpr std::string_view invalid = "*?|:\"/\\<>";
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (invalid.find(c) == std::string_view::npos) out += c;
    return out;
}

std::string PadTwoDigits(int n) {
    std::string digits = std::to_string(n);
    return n <= 9 ? "0" + digits : digits;
}

std::string FormatPlayTime(int64_t ms) {
    ms = std::max<int64_t>(ms, 0);
    const int64_t hours = ms / 3600000;
    const int64_t minutes = (ms / 60000) % 60;
    const int64_t seconds = ms / 1000 - (ms / 60000) * 60;
    return PadTwoDigits(static_cast<int>(hours)) + ":" + PadTwoDigits(static_cast<int>(minutes)) + ":" +
           PadTwoDigits(static_cast<int>(seconds));
}
