// Taking tracks out of the library files: the selected rows' records, a
// whole artist, album or playlist node, or every record of the shown list.
// The audio files themselves are never touched.

#include <QTableView>
#include <QTreeWidgetItem>

#include <optional>

#include "components/skin/skinengine.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/tracklistmodel.h"
#include "platform/messageboxes.h"

namespace {

std::vector<int> AllRows(int count) {
    std::vector<int> rows(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r) rows[static_cast<std::size_t>(r)] = r;
    return rows;
}

}  // namespace

void Tfm_main::blankCurrentFile() { setFileNameText(QString()); }

void Tfm_main::stopIfRemoving(const std::vector<int>& rows) {
    // Whichever of the rows plays, the player stops before its record goes.
    if (CurrentFile.empty()) return;
    for (int row : rows) {
        if (ListModel->path(row) != CurrentFile) continue;
        StopPlayback();
        blankCurrentFile();
        return;
    }
}

std::vector<TrackRecord> Tfm_main::recordsOf(const std::vector<int>& rows) const {
    std::vector<TrackRecord> records;
    records.reserve(rows.size());
    for (int row : rows) records.push_back(ListModel->record(row));
    return records;
}

std::optional<RecordFiles> Tfm_main::recordFilesOf(const QTreeWidgetItem* node) const {
    if (node && node->parent() == TreeView1->myPlaylistNode()) return Library.playlistFiles(node->text(0).toStdString());
    return Library.libraryFiles();
}

bool Tfm_main::removeRecords(const std::optional<RecordFiles>& files, const std::vector<TrackRecord>& records) {
    if (!files) return true;
    if (const std::optional<std::string> error = Library.remove(*files, records)) {
        // The file keeps every record; the list and the tree stay as they
        // are, so that what is shown is what is stored.
        ShowError(QString::fromStdString(*error), this);
        return false;
    }
    return true;
}

void Tfm_main::PruneOrphanNodes(const std::vector<TrackRecord>& removed) {
    const std::optional<OrphanNames> orphans = Library.orphansOf(removed);
    if (!orphans) return;
    for (const std::string& album : orphans->albums)
        if (QTreeWidgetItem* node = TreeView1->findAlbum(QString::fromStdString(album))) removeLeafNode(node);
    for (const std::string& artist : orphans->artists)
        if (QTreeWidgetItem* node = TreeView1->findArtist(QString::fromStdString(artist))) removeLeafNode(node);
}

void Tfm_main::removeLeafNode(QTreeWidgetItem* leaf) {
    // The list shows the node that goes: no other node takes its place as
    // the selected one, so that list and tree agree.
    if (leaf == TreeView1->currentItem()) {
        TreeView1->setCurrentItem(nullptr);
        TreeView1->clearSelection();
    }
    TreeView1->removeLeaf(leaf);
}

void Tfm_main::keepRowsExcept(const std::vector<int>& removed) {
    const std::vector<ListRow>& rows = ListModel->rows();
    std::vector<ListRow> kept;
    kept.reserve(ListRowsCapacity(rows.size() - std::min(rows.size(), removed.size())));
    std::size_t next = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (next < removed.size() && removed[next] == static_cast<int>(r)) {
            ++next;
            continue;
        }
        kept.push_back(rows[r]);
    }
    ListModel->setRows(std::move(kept));
}

void Tfm_main::removeLibraryRecordOf(const std::string& path) {
    if (LibraryBusy) return;
    const std::optional<TrackRecord> found = Library.recordOf(path);
    if (!found || !removeRecords(Library.libraryFiles(), {*found})) return;
    PruneOrphanNodes({*found});
    SaveLibraryTree();
}

// ----------------------------------------------------------------- delete

void Tfm_main::DeleteFileRecords() {
    if (LibraryBusy) return;
    QTreeWidgetItem* node = TreeView1->currentItem();
    if (node && node == TreeView1->myHabitNode()) return;
    if (node && node == TreeView1->allTitleNode() && SelectedRows().empty()) return;
    if (TreeFocused && TreeView1->isLeaf(node)) {
        deleteNode(node);
        return;
    }
    deleteRowRecords(TreeFocused);
}

void Tfm_main::deleteNode(QTreeWidgetItem* node) {
    if (ListModel->rowCount() == 0) {
        removeLeafNode(node);
        return;
    }
    const std::vector<int> rows = AllRows(ListModel->rowCount());
    SelectRows(rows);
    stopIfRemoving(rows);
    const std::vector<TrackRecord> removed = recordsOf(rows);
    if (!removeRecords(recordFilesOf(node), removed)) return;
    removeLeafNode(node);
    PruneOrphanNodes(removed);
    ListModel->clear();
    SaveLibraryTree();
}

bool Tfm_main::deleteRowRecords(bool treeOwnsCommand) {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        SaveLibraryTree();
        return false;
    }
    stopIfRemoving(rows);
    if (treeOwnsCommand) {
        // "All Title", a letter or a root has the focus: the rows leave the
        // list, the files keep them.
        keepRowsExcept(rows);
        SaveLibraryTree();
        return false;
    }
    QTreeWidgetItem* node = TreeView1->currentItem();
    const std::vector<TrackRecord> removed = recordsOf(rows);
    if (!removeRecords(recordFilesOf(node), removed)) return false;
    const bool playlist = node && node->parent() == TreeView1->myPlaylistNode();
    const bool prunes = node && (node == TreeView1->allTitleNode() || node->parent() == TreeView1->myArtistNode() ||
                                 node->parent() == TreeView1->myAlbumNode());
    if (prunes) PruneOrphanNodes(removed);
    keepRowsExcept(rows);
    if (playlist && ListModel->rowCount() == 0) removeLeafNode(node);
    SaveLibraryTree();
    return true;
}

// ------------------------------------------------------------------ clear

void Tfm_main::ClearFileRecords() {
    if (LibraryBusy) return;
    QTreeWidgetItem* node = TreeView1->currentItem();
    if (!node || ListModel->rowCount() == 0) return;
    MessageRequest ask;
    ask.kind = MessageKind::Confirmation;
    ask.title = QStringLiteral("Confirm");
    ask.text = QStringLiteral("Are you sure to remove all the file records?\n"
                              "Your files will not be removed from your computer.");
    ask.buttons = MessageButtons::YesNo;
    ask.parent = this;
    if (ShowMessage(ask) != MessageAnswer::Yes) return;

    const std::vector<int> rows = AllRows(ListModel->rowCount());
    if (node == TreeView1->allTitleNode()) {
        StopPlayback();
        blankCurrentFile();
        if (const std::optional<std::string> error = Library.clear()) {
            ShowError(QString::fromStdString(*error), this);
            return;
        }
        ListModel->clear();
        // Playlists keep their own files, and so their nodes.
        LibraryTreeContent content = TreeView1->content();
        content.artists.clear();
        content.albums.clear();
        TreeView1->setContent(content);
        return;
    }
    stopIfRemoving(rows);
    SelectRows(rows);
    // Even for a playlist it is the library that loses the records; the
    // playlist's own file keeps them.
    const std::vector<TrackRecord> removed = recordsOf(rows);
    if (!removeRecords(Library.libraryFiles(), removed)) return;
    PruneOrphanNodes(removed);
    ListModel->clear();
    SaveLibraryTree();
}
