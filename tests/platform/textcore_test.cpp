#include <gtest/gtest.h>

#include "platform/muldiv.h"
#include "platform/utf8.h"

TEST(Utf8Cut, NeverSplitsACharacter) {
    EXPECT_EQ(Utf8Cut("abc", 5), "abc");
    EXPECT_EQ(Utf8Cut("abcdef", 3), "abc");
    // "Ж" is two bytes: a cut after its first byte drops it whole.
    EXPECT_EQ(Utf8Cut("aЖ", 2), "a");
    EXPECT_EQ(Utf8Cut("aЖ", 3), "aЖ");
    // "日本" is 3+3 bytes.
    EXPECT_EQ(Utf8Cut("日本", 5), "日");
    EXPECT_EQ(Utf8Cut("日本", 2), "");
    // A four-byte character at the limit.
    EXPECT_EQ(Utf8Cut("x\xF0\x9F\x8E\xB5", 4), "x");
    EXPECT_EQ(Utf8Cut("", 0), "");
    // Every cut of a mixed text is valid UTF-8.
    const std::string mixed = "Ёлка日本語🎵abc";
    for (size_t n = 0; n <= mixed.size(); ++n) EXPECT_TRUE(IsValidUtf8(Utf8Cut(mixed, n))) << n;
}

TEST(Utf8Valid, RejectsMalformedSequences) {
    EXPECT_TRUE(IsValidUtf8("plain ascii"));
    EXPECT_TRUE(IsValidUtf8("Привет, 世界"));
    EXPECT_FALSE(IsValidUtf8("\xE9t\xE9"));        // Windows-1252 "été"
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE6\x97"));          // truncated
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndFlagsOverflow) {
    EXPECT_EQ(mulDiv(50, 100, 200), 25);
    EXPECT_EQ(mulDiv(1, 1, 2), 1);     // 0.5 rounds up
    EXPECT_EQ(mulDiv(-1, 1, 2), -1);   // -0.5 rounds away from zero
    EXPECT_EQ(mulDiv(1, 1, 3), 0);
    EXPECT_EQ(mulDiv(2, 1, 3), 1);
    EXPECT_EQ(mulDiv(7, 3, -2), -11);  // -10.5
    EXPECT_EQ(mulDiv(5, 5, 0), -1);
    // The product needs 64 bits but the quotient fits.
    EXPECT_EQ(mulDiv(2000000000, 100, 4000000000u > 0 ? 2000000000 : 1), 100);
    EXPECT_EQ(mulDiv(2000000000, 2, 1), -1);
    EXPECT_EQ(mulDiv(INT32_MIN, 1, 1), INT32_MIN);
}
