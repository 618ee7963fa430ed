#include "library/tracklistmodel.h"

#include <algorithm>
#include <numeric>

#include "library/datetext.h"

namespace {

const char* const kCaptions[TrackListModel::kColumnCount] = {"Title", "Artist",  "Album", "Genre",
                                                             "Year",  "Comment", "Path",  "Time "};

const std::string& field(const TrackRecord& r, int column) {
    switch (column) {
    case 1: return r.Artist;
    case 2: return r.Album;
    case 3: return r.Genre;
    case 4: return r.Year;
    case 5: return r.Comment;
    case 6: return r.Path;
    default: return r.Title;
    }
}

// A record imported from a playlist was never added at a moment: its zero
// date is no date, not the first day of the calendar.
QString timeCell(const ListRow& row) {
    if (!row.showTime || row.record.DateAdded == 0.0) return {};
    return DateAddedText(row.record.DateAdded);
}

}  // namespace

TrackListModel::TrackListModel(QObject* parent) : QAbstractTableModel(parent) { headerImages_.fill(-1); }

int TrackListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TrackListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QString TrackListModel::cellText(int row, int column) const {
    const ListRow& r = rows_[static_cast<std::size_t>(row)];
    if (column == kTimeColumn) return timeCell(r);
    return QString::fromStdString(field(r.record, column));
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return cellText(index.row(), index.column());
    if (role == Qt::DecorationRole && index.column() == 0) return images_[2];
    return {};
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(kCaptions[section]);
    if (role == Qt::DecorationRole) {
        const int image = headerImages_[static_cast<std::size_t>(section)];
        return image < 0 ? QVariant() : QVariant(images_[image]);
    }
    return {};
}

void TrackListModel::setRows(std::vector<ListRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void TrackListModel::appendRows(std::vector<ListRow> rows) {
    if (rows.empty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void TrackListModel::clear() { setRows({}); }

void TrackListModel::setRecordTexts(int row, const TrackRecord& record) {
    if (row < 0 || row >= rowCount()) return;
    TrackRecord& shown = rows_[static_cast<std::size_t>(row)].record;
    shown.Title = record.Title;
    shown.Artist = record.Artist;
    shown.Album = record.Album;
    shown.Genre = record.Genre;
    shown.Year = record.Year;
    shown.Comment = record.Comment;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

std::string TrackListModel::sortKey(const ListRow& row, int column) const {
    if (column != kTimeColumn) return field(row.record, column);
    return timeCell(row).toStdString();
}

void TrackListModel::sortByColumn(int column, bool ascending) {
    if (column < 0 || column >= kColumnCount || rows_.empty()) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::string> keys;
    keys.reserve(rows_.size());
    for (const ListRow& r : rows_) keys.push_back(FoldListKey(sortKey(r, column)));
    std::stable_sort(order.begin(), order.end(), [&keys, ascending](int a, int b) {
        const std::string& x = keys[static_cast<std::size_t>(a)];
        const std::string& y = keys[static_cast<std::size_t>(b)];
        return ascending ? x < y : y < x;
    });
    std::vector<ListRow> sorted;
    sorted.reserve(ListRowsCapacity(rows_.size()));
    std::vector<int> newRowOf(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newRowOf[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
        sorted.push_back(std::move(rows_[static_cast<std::size_t>(order[i])]));
    }
    rows_ = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before) after << index(newRowOf[static_cast<std::size_t>(i.row())], i.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TrackListModel::setHeaderImage(int column, int image) {
    if (column < 0 || column >= kColumnCount) return;
    headerImages_[static_cast<std::size_t>(column)] = image;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void TrackListModel::setImages(const QIcon& ascending, const QIcon& descending, const QIcon& row) {
    images_[0] = ascending;
    images_[1] = descending;
    images_[2] = row;
}
