#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QLocale>

#include "library/datetext.h"
#include "library/records/trackrecord.h"
#include "library/tracklistmodel.h"

namespace {

ListRow row(const std::string& title, const std::string& artist = "", double date = 45000.5, bool time = true) {
    TrackRecord r;
    r.Title = title;
    r.Artist = artist;
    r.Path = "/" + title;
    r.DateAdded = date;
    return {r, time};
}

QStringList column(const TrackListModel& m, int c) {
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r) out << m.cellText(r, c);
    return out;
}

TEST(TrackList, ColumnsCaptionsCellsAndAStableSort) {
    TrackListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    m.setRows({row("Song", "Kestrel", 45000.5), row("Habit", "X", 45000.5, false)});
    ASSERT_EQ(m.columnCount(), 8);
    QStringList captions;
    for (int c = 0; c < 8; ++c) captions << m.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{"Title", "Artist", "Album", "Genre", "Year", "Comment", "Path", "Time "}));
    EXPECT_EQ(m.data(m.index(0, 0)).toString(), "Song");
    EXPECT_EQ(m.data(m.index(0, 1)).toString(), "Kestrel");
    EXPECT_EQ(m.data(m.index(0, 6)).toString(), "/Song");
    EXPECT_FALSE(m.data(m.index(0, 7)).toString().isEmpty());
    EXPECT_TRUE(m.data(m.index(1, 7)).toString().isEmpty());  // "My Habit" rows have no time
    // Every row shows its image in the first column only.
    EXPECT_TRUE(m.data(m.index(0, 1), Qt::DecorationRole).isNull());
    m.appendRows({row("Third")});
    EXPECT_EQ(m.rowCount(), 3);

    // The sort is stable, and descending reverses the keys, not the rows.
    m.setRows({row("b", "2"), row("B", "1"), row("_x", "3"), row("a", "4"), row("Z", "5"), row("ab", "6")});
    m.sortByColumn(0, true);
    EXPECT_EQ(column(m, 0), (QStringList{"a", "ab", "b", "B", "Z", "_x"}));
    m.sortByColumn(0, false);
    EXPECT_EQ(column(m, 0), (QStringList{"_x", "Z", "b", "B", "ab", "a"}));
    m.sortByColumn(1, true);
    EXPECT_EQ(column(m, 1), (QStringList{"1", "2", "3", "4", "5", "6"}));
}

TEST(TrackList, DateTextsLeaveOutMidnightAndTheTimeZone) {
    // 1899-12-30 is day 0.
    const QString midnight = DateAddedText(0.0);
    EXPECT_EQ(midnight, QLocale::system().toString(QDate(1899, 12, 30), QLocale::ShortFormat));
    const QString noon = DateAddedText(0.5);
    EXPECT_TRUE(noon.startsWith(midnight + " ")) << noon.toStdString();
    EXPECT_TRUE(noon.contains("12")) << noon.toStdString();
    EXPECT_FALSE(noon.contains("UTC")) << noon.toStdString();
    EXPECT_TRUE(DateAddedText(std::numeric_limits<double>::quiet_NaN()).isEmpty());
    EXPECT_TRUE(DateAddedText(1e300).isEmpty());
}

// A playlist import leaves the date at zero: the cell stays empty rather
// than naming 30 Dec 1899, and sorts before every dated row.
TEST(TrackList, ImportedRowsWithoutADateShowAnEmptyTime) {
    TrackListModel m;
    m.setRows({row("dated", "", 45000.5), row("imported", "", 0.0)});
    EXPECT_EQ(m.cellText(1, TrackListModel::kTimeColumn), "");
    EXPECT_FALSE(m.cellText(0, TrackListModel::kTimeColumn).isEmpty());
    m.sortByColumn(TrackListModel::kTimeColumn, true);
    EXPECT_EQ(column(m, 0), (QStringList{"imported", "dated"}));
}

TEST(TrackList, TimeSortsByItsTextNotItsDate) {
    TrackListModel m;
    // Days 3 and 12 of one month: whichever text comes first is listed first.
    const double jan3 = QDate(1899, 12, 30).daysTo(QDate(2024, 1, 3)) + 0.5;
    const double jan12 = QDate(1899, 12, 30).daysTo(QDate(2024, 1, 12)) + 0.5;
    m.setRows({row("early", "", jan3), row("late", "", jan12)});
    m.sortByColumn(TrackListModel::kTimeColumn, true);
    const QStringList times = column(m, TrackListModel::kTimeColumn);
    EXPECT_LE(QString::compare(times[0], times[1], Qt::CaseInsensitive), 0);
    const bool textOrderIsDateOrder =
        QString::compare(DateAddedText(jan3), DateAddedText(jan12), Qt::CaseInsensitive) <= 0;
    EXPECT_EQ(m.cellText(0, 0), textOrderIsDateOrder ? "early" : "late");
}

}  // namespace
