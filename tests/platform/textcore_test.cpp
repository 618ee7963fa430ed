#include <gtest/gtest.h>

#include "platform/muldiv.h"
#include "platform/utf8.h"

TEST(Utf8Cut, NeverSplitsACharacter) {
    // "Ж" is two bytes, "日本" 3+3, and the last a four-byte character.
    const struct { const char* text; size_t limit; const char* want; } cases[] = {
        {"abc", 5, "abc"}, {"abcdef", 3, "abc"}, {"aЖ", 2, "a"},   {"aЖ", 3, "aЖ"},
        {"日本", 5, "日"}, {"日本", 2, ""},      {"x\xF0\x9F\x8E\xB5", 4, "x"}, {"", 0, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8Cut(c.text, c.limit), c.want) << c.text << " at " << c.limit;
    // Every cut of a mixed text is valid UTF-8.
    const std::string mixed = "Ёлка日本語🎵abc";
    for (size_t n = 0; n <= mixed.size(); ++n) EXPECT_TRUE(IsValidUtf8(Utf8Cut(mixed, n))) << n;
}

TEST(Utf8Valid, RejectsMalformedSequences) {
    EXPECT_TRUE(IsValidUtf8("plain ascii"));
    EXPECT_TRUE(IsValidUtf8("Привет, 世界"));
    // Windows-1252 "été", an overlong "/", a surrogate, a truncated sequence, beyond U+10FFFF.
    for (const char* bad : {"\xE9t\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xE6\x97", "\xF4\x90\x80\x80"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndFlagsOverflow) {
    // 0.5 rounds up, -0.5 and -10.5 away from zero; a zero divisor and a
    // quotient beyond 32 bits give -1; a product of 64 bits whose quotient fits is fine.
    const struct { int a, b, c, want; } cases[] = {
        {50, 100, 200, 25}, {1, 1, 2, 1},   {-1, 1, 2, -1},           {1, 1, 3, 0},
        {2, 1, 3, 1},       {7, 3, -2, -11}, {5, 5, 0, -1},           {2000000000, 100, 2000000000, 100},
        {2000000000, 2, 1, -1}, {INT32_MIN, 1, 1, INT32_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(mulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}
