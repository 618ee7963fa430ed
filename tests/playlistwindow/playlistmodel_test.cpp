// The list's rows: moves with scattered selections, removal in one pass,
// sorted places, and the selection read and written as ranges.

#include <gtest/gtest.h>

#include "library/playlistmodel.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>

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

}  // namespace
