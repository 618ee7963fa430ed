#include <gtest/gtest.h>

#include "tags/mpeg/id3genres.h"
#include "tags/textcodec.h"

using namespace tags;

TEST(TextCodec, Windows1252RoundTripsEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = Windows1252ToUtf8(all);
    EXPECT_TRUE(FitsWindows1252(utf8));
    EXPECT_EQ(Utf8ToWindows1252(utf8), all);
    EXPECT_EQ(Windows1252ToUtf8("\x80\x99\xE9"), "€™é");
}

TEST(TextCodec, TextOutsideTheCodePageBecomesQuestionMarks) {
    EXPECT_FALSE(FitsWindows1252("Песня"));
    EXPECT_EQ(Utf8ToWindows1252("aПb日"), "a?b?");
}

TEST(TextCodec, Utf16BothWaysWithSurrogatesAndDamage) {
    const std::string text = "Ж日本🎵";
    const ByteVector le = Utf8ToUtf16LeBytes(text);
    EXPECT_EQ(le.size(), 2u * 5);
    EXPECT_EQ(Utf16LeToUtf8(le), text);
    // An unpaired surrogate and an odd trailing byte.
    const uint8_t broken[] = {0x00, 0xD8, 'a', 0, 0x41};
    EXPECT_EQ(Utf16LeToUtf8(broken), "\xEF\xBF\xBD" "a");
    const uint8_t be[] = {0x04, 0x16};
    EXPECT_EQ(Utf16BeToUtf8(be), "Ж");
}

TEST(TextCodec, Utf16TextEndsAtAZeroCharacterNotAZeroByte) {
    // "Ā" is 00 01 in UTF-16LE: its zero byte meets the next one only at an
    // odd offset, which must not end the text.
    const ByteVector bytes = {0x41, 0x00, 0x00, 0x01, 0x42, 0x00, 0x00, 0x00, 0x43, 0x00};
    EXPECT_EQ(Utf16LeToUtf8(Utf16UntilTerminator(bytes)), "AĀB");
    const ByteVector unterminated = {0x41, 0x00, 0x42};
    EXPECT_EQ(Utf16UntilTerminator(unterminated).size(), 2u);
    EXPECT_EQ(Utf16LeUnits(Utf16UntilTerminator(bytes)), u"A\u0100B");
    EXPECT_EQ(Utf16LeWithTerminator(u"A\u0100"), (ByteVector{0x41, 0x00, 0x00, 0x01, 0x00, 0x00}));
}

TEST(TextCodec, SanitizeKeepsValidTextAndReplacesBadBytes) {
    EXPECT_EQ(SanitizeUtf8("héllo"), "héllo");
    EXPECT_EQ(SanitizeUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(TrimTagText(std::string_view("\0 x y \x1F", 7)), "x y");
}

TEST(Genres, TableHasTheProgramsNamesAndABoundedLookup) {
    EXPECT_EQ(Id3GenreNames.size(), 148u);
    for (auto [index, name] : {std::pair{0, "Blues"}, {3, "Dance"}, {40, "Alternative Rock"},
                               {64, "Native US"}, {85, "Bebop"}, {136, "Christian Gangsta"},
                               {140, "Contemporary C"}, {147, "SynthPop"}})
        EXPECT_EQ(Id3GenreNames[index], name) << index;
    EXPECT_EQ(Id3GenreName(200), "Other");
    EXPECT_EQ(Id3GenreName(-1), "Other");
    EXPECT_EQ(Id3GenreName(255), "");  // the byte that says "no genre"
}
