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

TEST(PlaylistMoves, DownWithScatteredSelection) {
    auto rows = Rows("abcdef");
    auto sel = Mask("101100");
    int current = 2;  // "c", selected
    ASSERT_TRUE(MoveRowsDown(rows, sel, current));
    // "d" moves first (from the bottom), then "c" follows it, then "a".
    EXPECT_EQ(Names(rows), "baecdf");
    EXPECT_EQ(Bits(sel), "010110");
    EXPECT_EQ(current, 3);
    for (const auto& r : rows) EXPECT_EQ(r.path, "/m/" + r.name) << "name, time and path move together";
}

TEST(PlaylistMoves, UpWithScatteredSelection) {
    auto rows = Rows("abcdef");
    auto sel = Mask("010011");
    int current = 5;
    ASSERT_TRUE(MoveRowsUp(rows, sel, current));
    EXPECT_EQ(Names(rows), "bacefd");
    EXPECT_EQ(Bits(sel), "100110");
    EXPECT_EQ(current, 4);
}

TEST(PlaylistMoves, UnselectedCurrentRowKeepsItsNumber) {
    auto rows = Rows("abc");
    auto sel = Mask("100");
    int current = 1;  // "b", displaced by "a"
    ASSERT_TRUE(MoveRowsDown(rows, sel, current));
    EXPECT_EQ(Names(rows), "bac");
    EXPECT_EQ(current, 1) << "the number stays although the row moved";

    auto up = Rows("abc");
    auto upSel = Mask("001");
    int upCurrent = 1;
    ASSERT_TRUE(MoveRowsUp(up, upSel, upCurrent));
    EXPECT_EQ(Names(up), "acb");
    EXPECT_EQ(upCurrent, 1);
}

TEST(PlaylistMoves, NothingMovesAtTheEdges) {
    auto rows = Rows("abc");
    auto sel = Mask("011");
    int current = -1;
    EXPECT_FALSE(MoveRowsDown(rows, sel, current)) << "the last row is selected";
    EXPECT_EQ(Names(rows), "abc");
    auto top = Mask("110");
    EXPECT_FALSE(MoveRowsUp(rows, top, current)) << "the first row is selected";
    auto single = Rows("a");
    auto one = Mask("0");
    EXPECT_FALSE(MoveRowsDown(single, one, current));
    EXPECT_FALSE(MoveRowsUp(single, one, current));
    auto none = Mask("000");
    EXPECT_TRUE(MoveRowsDown(rows, none, current)) << "nothing selected is not refused, it just moves nothing";
    EXPECT_EQ(Names(rows), "abc");
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
