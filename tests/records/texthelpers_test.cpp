#include <gtest/gtest.h>

#include "platform/texthelpers.h"

TEST(TextHelpers, RemoveInvalidFileNameChars) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"Why: the question?", "Why the question"},
        {"Plain Title - Live (1999)", "Plain Title - Live (1999)"},
        {"", ""},
        {"*?|:\"/\\<>", ""},
        {"AC/DC", "ACDC"},
        {"a*b?c|d:e\"f/g\\h<i>j", "abcdefghij"},
        {"Sigur R\xC3\xB3s: \xE2\x80\x9CHopp\xC3\xADpolla\xE2\x80\x9D?", "Sigur R\xC3\xB3s \xE2\x80\x9CHopp\xC3\xADpolla\xE2\x80\x9D"},
        {"::??::", ""},
        {" tab\tand\nnewline ", " tab\tand\nnewline "},
    };
    for (const auto& c : cases) EXPECT_EQ(RemoveInvalidFileNameChars(c.in), c.out) << c.in;
}

TEST(TextHelpers, PadTwoDigitsPadsOnlyBelowTen) {
    for (auto [n, text] : {std::pair{0, "00"}, {9, "09"}, {10, "10"}, {123, "123"}}) EXPECT_EQ(PadTwoDigits(n), text);
}
