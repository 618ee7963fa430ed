#include "texthelpers.h"

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
