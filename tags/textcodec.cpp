#include "tags/textcodec.h"

#include "platform/utf8.h"

#include <array>

namespace tags {
namespace {

// Bytes 0x80..0x9F of Windows-1252; the rest of the code page is Latin-1.
// The five undefined bytes keep their C1 control value so that a round trip
// loses nothing.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The Windows-1252 byte of a character, or -1.
int windows1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == cp) return static_cast<int>(0x80 + i);
    return -1;
}

template <typename Unit>
std::string utf16ToUtf8(size_t count, Unit unitAt) {
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const char16_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            const char16_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : char32_t(u));
    }
    return out;
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<uint8_t>(ch);
        appendUtf8(out, (c >= 0x80 && c < 0xA0) ? kHighControls[c - 0x80] : char32_t(c));
    }
    return out;
}

std::string Utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp;
        const size_t len = DecodeUtf8Char(utf8, i, &cp);
        if (len == 0) {
            out.push_back(utf8[i++]);
            continue;
        }
        const int b = windows1252Byte(cp);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
        i += len;
    }
    return out;
}

bool FitsWindows1252(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp;
        const size_t len = DecodeUtf8Char(utf8, i, &cp);
        if (len == 0 || windows1252Byte(cp) < 0) return false;
        i += len;
    }
    return true;
}

std::string Utf16LeToUtf8(ByteSpan bytes) {
    return utf16ToUtf8(bytes.size() / 2,
                       [&](size_t i) { return char16_t(bytes[2 * i] | bytes[2 * i + 1] << 8); });
}

std::string Utf16BeToUtf8(ByteSpan bytes) {
    return utf16ToUtf8(bytes.size() / 2,
                       [&](size_t i) { return char16_t(bytes[2 * i] << 8 | bytes[2 * i + 1]); });
}

std::string Utf16ToUtf8(std::u16string_view text) {
    return utf16ToUtf8(text.size(), [&](size_t i) { return text[i]; });
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp;
        size_t len = DecodeUtf8Char(utf8, i, &cp);
        if (len == 0) {
            cp = kReplacement;
            len = 1;
        }
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

ByteSpan Utf16UntilTerminator(ByteSpan bytes) {
    size_t end = 0;
    while (end + 1 < bytes.size() && (bytes[end] != 0 || bytes[end + 1] != 0)) end += 2;
    return bytes.first(end);
}

std::u16string Utf16LeUnits(ByteSpan bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) out.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    return out;
}

ByteVector Utf16LeWithTerminator(std::u16string_view text) {
    ByteVector out;
    out.reserve(text.size() * 2 + 2);
    for (char16_t u : text) {
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

ByteVector Utf8ToUtf16LeBytes(std::string_view utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    ByteVector out;
    out.reserve(text.size() * 2);
    for (char16_t u : text) {
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    return out;
}

std::string SanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp;
        const size_t len = DecodeUtf8Char(bytes, i, &cp);
        if (len == 0) {
            appendUtf8(out, kReplacement);
            ++i;
        } else {
            out.append(bytes.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string_view TrimTagText(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<uint8_t>(text[begin]) <= 32) ++begin;
    while (end > begin && static_cast<uint8_t>(text[end - 1]) <= 32) --end;
    return text.substr(begin, end - begin);
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace tags
