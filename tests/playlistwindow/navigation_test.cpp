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

TEST(PlaylistNavigation, NextPreviousAndTheEndOfPlayWithoutRandom) {
    // From -1 (none yet) and from past the end (rows removed) too. Without
    // random play the end of a track goes on as Next does and draws nothing.
    const std::optional<int> none;
    const struct {
        int current, count;
        bool loop;
        std::optional<int> next, previous;
    } rows[] = {
        {-1, 3, false, 0, none},   {-1, 3, true, 0, 2},      {0, 3, false, 1, none},    {0, 3, true, 1, 2},
        {2, 3, false, none, 1},    {2, 3, true, 0, 1},       {5, 3, false, none, 2},    {5, 3, true, 0, 2},
        {0, 1, false, none, none}, {0, 1, true, 0, 0},       {0, 0, true, none, none},  {1, 0, true, none, none},
    };
    auto never = [](int) -> int {
        ADD_FAILURE() << "drew without random play";
        return 0;
    };
    for (const auto& r : rows) {
        const std::string at = std::to_string(r.current) + " of " + std::to_string(r.count) + (r.loop ? ", loop" : "");
        EXPECT_EQ(NextPlaylistRow(r.current, r.count, r.loop), r.next) << at;
        EXPECT_EQ(PreviousPlaylistRow(r.current, r.count, r.loop), r.previous) << at;
        EXPECT_EQ(EndOfPlayRow(r.current, r.count, r.loop, false, never), r.next) << at;
    }
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

}  // namespace
