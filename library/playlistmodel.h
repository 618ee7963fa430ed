#pragma once
// The playlist window's rows: "Name", "Time" and the hidden "Path", as a
// model for its list view. Rows are added and removed in batches, so that a
// list of thousands of entries appears in one step rather than a repaint per
// row. While the list sorts by name a new row takes its sorted place.

#include <QAbstractTableModel>

#include <vector>

#include "library/playlists/playlistrow.h"

class QItemSelectionModel;

class PlaylistModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, TimeColumn = 1, PathColumn = 2, ColumnCount = 3 };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int count() const { return static_cast<int>(rows_.size()); }
    bool isRow(int row) const { return row >= 0 && row < count(); }
    // The row; only for a row that exists (isRow).
    const PlaylistRow& row(int row) const { return rows_[static_cast<size_t>(row)]; }
    const std::vector<PlaylistRow>& rows() const { return rows_; }

    void appendRows(std::vector<PlaylistRow> rows);
    void clear();
    // Removes the rows whose mask entry is set (mask as long as the list).
    void removeRows(const std::vector<char>& mask);
    void removeRowAt(int row);
    // Same count, new contents: the view keeps its rows and selection.
    void replaceContents(std::vector<PlaylistRow> rows);

    // Sorting by name lasts until it is switched off; switching it on sorts
    // the rows at once (stable, without regard to case).
    void setSortByName(bool on);
    bool sortsByName() const { return sortByName_; }

private:
    int sortedPlace(const PlaylistRow& row) const;

    std::vector<PlaylistRow> rows_;
    bool sortByName_ = false;
};

// Moves every selected row one place down (Up: one place up), each in turn
// from the bottom (Up: from the top), exchanging it with its neighbour; the
// selection moves with the rows. Nothing moves when the list has fewer than
// two rows or the last (Up: the first) row is selected. A selected current
// row takes current along; an unselected current row that a neighbour passes
// keeps its number. Returns whether anything moved.
bool MoveRowsDown(std::vector<PlaylistRow>& rows, std::vector<char>& selected, int& current);
bool MoveRowsUp(std::vector<PlaylistRow>& rows, std::vector<char>& selected, int& current);

// The selection of a list as one flag per row, read from its ranges in one
// pass (asking row by row is quadratic on scattered selections).
std::vector<char> SelectedRowMask(const QItemSelectionModel* selection, int count);
// The lowest selected row, or -1.
int FirstSelectedRow(const QItemSelectionModel* selection);
// Makes the selection exactly the flagged rows, in one change.
void ApplySelectedRowMask(QItemSelectionModel* selection, const std::vector<char>& mask);
