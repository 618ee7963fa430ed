#include <gtest/gtest.h>

#include "library/playlists/playlistrow.h"

TEST(PlaylistTime, TimeTextAndLengthCountEveryMinuteDigitBothWays) {
    for (auto [seconds, text] : {std::pair{0, "00:00"}, {187, "03:07"}, {3599, "59:59"}, {6005, "100:05"},
                                 {60000, "1000:00"}, {2147483647, "35791394:07"}}) {
        EXPECT_EQ(TimeText(seconds), text);
        EXPECT_EQ(LengthInSeconds(text), seconds) << text;
    }
    for (int s : {1, 59, 60, 599, 3600, 5999, 6000, 359999}) EXPECT_EQ(LengthInSeconds(TimeText(s)), s) << s;
    for (int unknown : {-1, -60}) EXPECT_EQ(TimeText(unknown), "");
    // Texts the window never makes are unknown rather than a crash.
    for (const char* bad : {"", "12", ":07", "03:", "ab:cd", "03:07x", "-1:00", " 03:07", "99999999999:00"})
        EXPECT_EQ(LengthInSeconds(bad), -1) << bad;
}

TEST(PlaylistTime, LengthFieldsOfOtherPlayersAreReadLeniently) {
    for (auto [text, seconds] : {std::pair{"187", 187}, {"12.5", 12}, {" 42 ", 42}, {"+7", 7}, {"-0", 0},
                                 {"0", 0}, {"2147483647", 2147483647}})
        EXPECT_EQ(ParseLengthSeconds(text), seconds) << text;
    for (const char* unknown : {"-1", "-5", "-12.5", "", " ", "abc", ".5", "-", "2147483648", "99999999999",
                                "-1 tvg-id=\"a"})
        EXPECT_EQ(ParseLengthSeconds(unknown), std::nullopt) << unknown;
}
