#pragma once
// The rows of the track list: raw library records, formatted only when a
// cell is drawn, so that a list of the whole library fills and sorts fast.
// Columns: "Title", "Artist", "Album", "Genre", "Year", "Comment", "Path"
// (hidden; the key by which a row's record is found) and "Time " (the date
// the record was added).

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <vector>

#include "library/libraryfill.h"

class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 8;
    static constexpr int kPathColumn = 6;
    static constexpr int kTimeColumn = 7;

    explicit TrackListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setRows(std::vector<ListRow> rows);
    void appendRows(std::vector<ListRow> rows);
    void clear();
    // The row shows these title, artist, album, genre, year and comment.
    void setRecordTexts(int row, const TrackRecord& record);
    const std::vector<ListRow>& rows() const { return rows_; }
    const TrackRecord& record(int row) const { return rows_[static_cast<std::size_t>(row)].record; }
    // The cell text as the list shows it (and as the sort compares it).
    QString cellText(int row, int column) const;
    // The row's stored path, byte for byte.
    const std::string& path(int row) const { return record(row).Path; }

    // Sorts the rows by a column's text; equal keys keep their order.
    void sortByColumn(int column, bool ascending);

    // Header images: -1 none, 0 after an ascending sort, 1 after a descending one.
    void setHeaderImage(int column, int image);
    int headerImage(int column) const { return headerImages_[static_cast<std::size_t>(column)]; }

    // The pictures: the headers' 0 and 1, every row's 2.
    void setImages(const QIcon& ascending, const QIcon& descending, const QIcon& row);

private:
    std::string sortKey(const ListRow& row, int column) const;

    std::vector<ListRow> rows_;
    std::array<int, kColumnCount> headerImages_;
    QIcon images_[3];
};
