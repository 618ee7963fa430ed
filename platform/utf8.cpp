#include "utf8.h"

#include <cstdint>

std::string_view Utf8Cut(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    // Step back over continuation bytes to the lead byte of the character
    // that would be split, and cut before it.
    while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

std::size_t DecodeUtf8Char(std::string_view s, std::size_t i, char32_t* cp) {
    const uint8_t c = static_cast<uint8_t>(s[i]);
    if (c < 0x80) {
        *cp = c;
        return 1;
    }
    std::size_t len;
    char32_t value;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const uint8_t cc = static_cast<uint8_t>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        value = (value << 6) | (cc & 0x3F);
    }
    if ((len == 2 && value < 0x80) || (len == 3 && value < 0x800) || (len == 4 && value < 0x10000)) return 0;
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *cp = value;
    return len;
}

bool IsValidUtf8(std::string_view s) {
    char32_t cp;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = DecodeUtf8Char(s, i, &cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}
