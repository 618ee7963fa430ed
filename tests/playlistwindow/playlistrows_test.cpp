// The list's rows: moves with scattered selections, removal in one pass,
// sorted places, and the selection read and written as ranges. Then which
// row plays next: loop and random at the ends, and from rows that no longer
// exist.

#include <gtest/gtest.h>

#include "library/playlistmodel.h"
#include "library/playlistnavigation.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<PlaylistRow> Rows(const std::string& names) {
    std::vector<PlaylistRow> rows;
    for (char c : names) rows.push_back({std::string(1, c), "00:0" + std::string(1, c), "/m/" + std::string(1, c)});
    return rows;
}

std::string Names(const std::vector<PlaylistRow>& rows) {
    std::string s;
    for (const auto& r : rows) s += r.name;
    return s;
}

std::vector<char> Mask(const std::string& bits) {
    std::vector<char> m;
    for (char c : bits) m.push_back(c == '1');
    return m;
}

std::string Bits(const std::vector<char>& mask) {
    std::string s;
    for (char c : mask) s += c ? '1' : '0';
    return s;
}

TEST(PlaylistMoves, ScatteredSelectionsTheCurrentRowAndTheEdges) {
    // A move down takes the selected rows from the bottom up, a move up from
    // the top down; the current row's number follows only a selected row.
    const struct {
        bool down;
        const char *names, *selected;
        int current;
        bool moved;
        const char *namesAfter, *selectedAfter;
        int currentAfter;
    } rows[] = {
        {true, "abcdef", "101100", 2, true, "baecdf", "010110", 3},
        {false, "abcdef", "010011", 5, true, "bacefd", "100110", 4},
        {true, "abc", "100", 1, true, "bac", "010", 1},  // "b" displaced, its number kept
        {false, "abc", "001", 1, true, "acb", "010", 1},
        {true, "abc", "011", -1, false, "abc", "011", -1},  // the last row is selected
        {false, "abc", "110", -1, false, "abc", "110", -1},
        {true, "a", "0", -1, false, "a", "0", -1},
        {false, "a", "0", -1, false, "a", "0", -1},
        {true, "abc", "000", -1, true, "abc", "000", -1},  // nothing selected: not refused
    };
    for (const auto& r : rows) {
        auto list = Rows(r.names);
        auto sel = Mask(r.selected);
        int current = r.current;
        EXPECT_EQ((r.down ? MoveRowsDown : MoveRowsUp)(list, sel, current), r.moved) << r.names << r.selected;
        EXPECT_EQ(Names(list) + " " + Bits(sel) + " " + std::to_string(current),
                  std::string(r.namesAfter) + " " + r.selectedAfter + " " + std::to_string(r.currentAfter));
        for (const auto& row : list) EXPECT_EQ(row.path, "/m/" + row.name) << "name, time and path move together";
    }
}

TEST(PlaylistModelRows, RemoveSortAndSelect) {
    PlaylistModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.appendRows(Rows("dbca"));
    EXPECT_EQ(model.data(model.index(1, PlaylistModel::TimeColumn), Qt::DisplayRole).toString(), "00:0b");
    EXPECT_EQ(model.data(model.index(1, PlaylistModel::PathColumn), Qt::DisplayRole).toString(), "/m/b");

    model.removeRows(Mask("0101"));
    EXPECT_EQ(Names(model.rows()), "dc");
    model.removeRows(Mask("11"));
    EXPECT_EQ(model.count(), 0);

    model.appendRows(Rows("dBca"));
    model.setSortByName(true);
    EXPECT_EQ(Names(model.rows()), "aBcd") << "sorted without regard to case";
    model.appendRows({{"b", "", "/x/b"}, {"C", "01:00", "/x/C"}});
    EXPECT_EQ(Names(model.rows()), "aBbcCd") << "new rows take their sorted place, after equal names";
    EXPECT_EQ(model.row(4).time, "01:00");
    EXPECT_EQ(model.row(4).path, "/x/C");
    model.setSortByName(false);
    model.appendRows(Rows("a"));
    EXPECT_EQ(Names(model.rows()), "aBbcCda");

    QItemSelectionModel selection(&model);
    ApplySelectedRowMask(&selection, Mask("0110011"));
    EXPECT_EQ(Bits(SelectedRowMask(&selection, model.count())), "0110011");
    EXPECT_EQ(FirstSelectedRow(&selection), 1);
    ApplySelectedRowMask(&selection, Mask("0000000"));
    EXPECT_EQ(FirstSelectedRow(&selection), -1);
}

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
