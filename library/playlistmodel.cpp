#include "library/playlistmodel.h"

#include <QItemSelectionModel>

#include <algorithm>

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

bool NameLess(const PlaylistRow& a, const PlaylistRow& b) {
    return Text(a.name).compare(Text(b.name), Qt::CaseInsensitive) < 0;
}

}  // namespace

int PlaylistModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }

int PlaylistModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant PlaylistModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !isRow(index.row())) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const PlaylistRow& r = row(index.row());
    switch (index.column()) {
    case NameColumn:
        return Text(r.name);
    case TimeColumn:
        return role == Qt::DisplayRole ? Text(r.time) : QVariant();
    case PathColumn:
        return Text(r.path);
    default:
        return {};
    }
}

int PlaylistModel::sortedPlace(const PlaylistRow& r) const {
    return static_cast<int>(std::upper_bound(rows_.begin(), rows_.end(), r, NameLess) - rows_.begin());
}

void PlaylistModel::appendRows(std::vector<PlaylistRow> rows) {
    if (rows.empty()) return;
    if (sortByName_) {
        // A sorted list is rarely long while it is added to; one insert per
        // row keeps every row's place exactly where it would have gone.
        for (PlaylistRow& r : rows) {
            const int at = sortedPlace(r);
            beginInsertRows({}, at, at);
            rows_.insert(rows_.begin() + at, std::move(r));
            endInsertRows();
        }
        return;
    }
    const int first = count();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void PlaylistModel::clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void PlaylistModel::removeRows(const std::vector<char>& mask) {
    const int n = std::min(count(), static_cast<int>(mask.size()));
    int first = -1, last = -1, runs = 0;
    for (int i = 0; i < n; ++i) {
        if (!mask[static_cast<size_t>(i)]) continue;
        if (i != last + 1 || first < 0) ++runs;
        if (first < 0) first = i;
        last = i;
    }
    if (runs == 0) return;
    if (runs == 1) {
        beginRemoveRows({}, first, last);
        rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
        endRemoveRows();
        return;
    }
    std::vector<PlaylistRow> kept;
    kept.reserve(rows_.size());
    for (int i = 0; i < count(); ++i)
        if (i >= n || !mask[static_cast<size_t>(i)]) kept.push_back(std::move(rows_[static_cast<size_t>(i)]));
    beginResetModel();
    rows_ = std::move(kept);
    endResetModel();
}

void PlaylistModel::removeRowAt(int r) {
    if (!isRow(r)) return;
    beginRemoveRows({}, r, r);
    rows_.erase(rows_.begin() + r);
    endRemoveRows();
}

void PlaylistModel::replaceContents(std::vector<PlaylistRow> rows) {
    if (rows.size() != rows_.size()) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return;
    }
    rows_ = std::move(rows);
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(count() - 1, ColumnCount - 1));
}

void PlaylistModel::setSortByName(bool on) {
    sortByName_ = on;
    if (!on || rows_.size() < 2) return;
    emit layoutAboutToBeChanged();
    std::stable_sort(rows_.begin(), rows_.end(), NameLess);
    emit layoutChanged();
}

bool MoveRowsDown(std::vector<PlaylistRow>& rows, std::vector<char>& selected, int& current) {
    const int n = static_cast<int>(rows.size());
    selected.resize(rows.size(), 0);
    if (n < 2 || selected[static_cast<size_t>(n - 1)]) return false;
    for (int i = n - 2; i >= 0; --i) {
        const auto at = static_cast<size_t>(i);
        if (!selected[at]) continue;
        if (i == current) current = i + 1;
        std::swap(rows[at], rows[at + 1]);
        selected[at] = 0;
        selected[at + 1] = 1;
    }
    return true;
}

bool MoveRowsUp(std::vector<PlaylistRow>& rows, std::vector<char>& selected, int& current) {
    const int n = static_cast<int>(rows.size());
    selected.resize(rows.size(), 0);
    if (n < 2 || selected[0]) return false;
    for (int i = 1; i < n; ++i) {
        const auto at = static_cast<size_t>(i);
        if (!selected[at]) continue;
        if (i == current) current = i - 1;
        std::swap(rows[at], rows[at - 1]);
        selected[at] = 0;
        selected[at - 1] = 1;
    }
    return true;
}

std::vector<char> SelectedRowMask(const QItemSelectionModel* selection, int count) {
    std::vector<char> mask(static_cast<size_t>(std::max(count, 0)), 0);
    if (!selection) return mask;
    for (const QItemSelectionRange& range : selection->selection()) {
        const int top = std::max(range.top(), 0);
        const int bottom = std::min(range.bottom(), count - 1);
        for (int r = top; r <= bottom; ++r) mask[static_cast<size_t>(r)] = 1;
    }
    return mask;
}

int FirstSelectedRow(const QItemSelectionModel* selection) {
    if (!selection) return -1;
    int first = -1;
    for (const QItemSelectionRange& range : selection->selection())
        if (first < 0 || range.top() < first) first = range.top();
    return first;
}

void ApplySelectedRowMask(QItemSelectionModel* selection, const std::vector<char>& mask) {
    if (!selection || !selection->model()) return;
    const QAbstractItemModel* model = selection->model();
    const int columns = model->columnCount();
    const int n = std::min(static_cast<int>(mask.size()), model->rowCount());
    QItemSelection chosen;
    for (int i = 0; i < n;) {
        if (!mask[static_cast<size_t>(i)]) {
            ++i;
            continue;
        }
        int j = i;
        while (j + 1 < n && mask[static_cast<size_t>(j + 1)]) ++j;
        chosen.append(QItemSelectionRange(model->index(i, 0), model->index(j, columns - 1)));
        i = j + 1;
    }
    selection->select(chosen, QItemSelectionModel::ClearAndSelect);
}
