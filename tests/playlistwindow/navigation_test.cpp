// Which row plays next: loop and random at the ends, and from rows that no
// longer exist.

#include <gtest/gtest.h>

#include "library/playlistnavigation.h"

#include <deque>
#include <optional>

namespace {

// Answers the scripted draws in turn, then row 0 for ever.
struct ScriptedDraw {
    std::deque<int> draws;
    int calls = 0;
    int operator()(int) {
        ++calls;
        if (draws.empty()) return 0;
        const int d = draws.front();
        draws.pop_front();
        return d;
    }
};

TEST(PlaylistNavigation, EndOfPlayWithoutRandom) {
    auto never = [](int) -> int { ADD_FAILURE() << "drew without random play"; return 0; };
    EXPECT_EQ(EndOfPlayRow(0, 3, false, false, never), 1);
    EXPECT_EQ(EndOfPlayRow(2, 3, false, false, never), std::nullopt) << "loop off stops after the last row";
    EXPECT_EQ(EndOfPlayRow(2, 3, true, false, never), 0) << "loop on starts again at the first";
    EXPECT_EQ(EndOfPlayRow(0, 1, true, false, never), 0) << "a single row loops onto itself";
    EXPECT_EQ(EndOfPlayRow(0, 1, false, false, never), std::nullopt);
    EXPECT_EQ(EndOfPlayRow(0, 0, true, false, never), std::nullopt) << "cleared while playing";
    EXPECT_EQ(EndOfPlayRow(-1, 3, false, false, never), 0);
    EXPECT_EQ(EndOfPlayRow(7, 3, false, false, never), std::nullopt) << "past the end is as the last row";
    EXPECT_EQ(EndOfPlayRow(7, 3, true, false, never), 0);
}

TEST(PlaylistNavigation, RandomIgnoresLoopAndNeverRepeatsTheCurrentRow) {
    ScriptedDraw one;
    EXPECT_EQ(EndOfPlayRow(0, 1, true, true, std::ref(one)), std::nullopt) << "one row stops even with loop";
    EXPECT_EQ(one.calls, 0);

    // With two rows the only other row is drawn, whatever the loop says.
    for (bool loop : {false, true}) {
        ScriptedDraw two{{1, 1, 0}};
        EXPECT_EQ(EndOfPlayRow(1, 2, loop, true, std::ref(two)), 0);
        EXPECT_EQ(two.calls, 3) << "draws again while the draw is the current row";
        ScriptedDraw back{{0, 1}};
        EXPECT_EQ(EndOfPlayRow(0, 2, loop, true, std::ref(back)), 1);
    }

    ScriptedDraw last{{4}};
    EXPECT_EQ(EndOfPlayRow(4, 5, false, true, std::ref(last)), 0) << "random play does not stop at the last row";
    ScriptedDraw stale{{2}};
    EXPECT_EQ(EndOfPlayRow(9, 3, false, true, std::ref(stale)), 2) << "from a removed row any row may come";
    ScriptedDraw none;
    EXPECT_EQ(EndOfPlayRow(0, 0, false, true, std::ref(none)), std::nullopt);
}

TEST(PlaylistNavigation, NextAndPrevious) {
    EXPECT_EQ(NextPlaylistRow(-1, 3, false), 0) << "nothing current yet: the first row";
    EXPECT_EQ(NextPlaylistRow(0, 3, false), 1);
    EXPECT_EQ(NextPlaylistRow(2, 3, false), std::nullopt);
    EXPECT_EQ(NextPlaylistRow(2, 3, true), 0);
    EXPECT_EQ(NextPlaylistRow(5, 3, false), std::nullopt) << "a removed current row is as the last";
    EXPECT_EQ(NextPlaylistRow(5, 3, true), 0);
    EXPECT_EQ(NextPlaylistRow(0, 0, true), std::nullopt);

    EXPECT_EQ(PreviousPlaylistRow(2, 3, false), 1);
    EXPECT_EQ(PreviousPlaylistRow(0, 3, false), std::nullopt);
    EXPECT_EQ(PreviousPlaylistRow(0, 3, true), 2);
    EXPECT_EQ(PreviousPlaylistRow(-1, 3, false), std::nullopt);
    EXPECT_EQ(PreviousPlaylistRow(-1, 3, true), 2);
    EXPECT_EQ(PreviousPlaylistRow(5, 3, false), 2) << "from a removed row, the row before it is the last";
    EXPECT_EQ(PreviousPlaylistRow(1, 0, true), std::nullopt);
}

}  // namespace
