#include <gtest/gtest.h>

#include "library/playlists/playlistrow.h"

TEST(PlaylistTime, LengthFromTimeTextCountsEveryMinuteDigit) {
    EXPECT_EQ(LengthInSeconds(""), -1);
    EXPECT_EQ(LengthInSeconds("00:00"), 0);
    EXPECT_EQ(LengthInSeconds("03:07"), 187);
    EXPECT_EQ(LengthInSeconds("59:59"), 3599);
    EXPECT_EQ(LengthInSeconds("100:05"), 6005);
    EXPECT_EQ(LengthInSeconds("1000:00"), 60000);
    // Texts the window never makes are unknown rather than a crash.
    for (const char* bad : {"12", ":07", "03:", "ab:cd", "03:07x", "-1:00", " 03:07", "99999999999:00"})
        EXPECT_EQ(LengthInSeconds(bad), -1) << bad;
}

TEST(PlaylistTime, TimeTextKeepsMinutesPastAnHour) {
    EXPECT_EQ(TimeText(-1), "");
    EXPECT_EQ(TimeText(-60), "");
    EXPECT_EQ(TimeText(0), "00:00");
    EXPECT_EQ(TimeText(187), "03:07");
    EXPECT_EQ(TimeText(6005), "100:05");
    EXPECT_EQ(TimeText(2147483647), "35791394:07");
    for (int s : {0, 1, 59, 60, 599, 3599, 3600, 5999, 6000, 6005, 359999, 2147483647})
        EXPECT_EQ(LengthInSeconds(TimeText(s)), s) << s;
}

TEST(PlaylistTime, LengthFieldsOfOtherPlayersAreReadLeniently) {
    EXPECT_EQ(ParseLengthSeconds("187"), 187);
    EXPECT_EQ(ParseLengthSeconds("12.5"), 12);
    EXPECT_EQ(ParseLengthSeconds(" 42 "), 42);
    EXPECT_EQ(ParseLengthSeconds("+7"), 7);
    EXPECT_EQ(ParseLengthSeconds("-0"), 0);
    EXPECT_EQ(ParseLengthSeconds("0"), 0);
    EXPECT_EQ(ParseLengthSeconds("2147483647"), 2147483647);
    for (const char* unknown : {"-1", "-5", "-12.5", "", " ", "abc", ".5", "-", "2147483648", "99999999999",
                                "-1 tvg-id=\"a"})
        EXPECT_EQ(ParseLengthSeconds(unknown), std::nullopt) << unknown;
}
