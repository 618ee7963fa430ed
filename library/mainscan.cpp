// The main window's library loops (adding files, the rescan, the playlist
// import) and the two commands that bring whole folders and playlists in.

#include <QFileInfo>
#include <QTimer>

#include "library/librarytree.h"
#include "library/main.h"
#include "library/mainfilter.h"
#include "library/playlistimport.h"
#include "library/playlists/playlistformat.h"
#include "library/tracklistmodel.h"
#include "platform/filedialogs.h"
#include "platform/inifile.h"
#include "platform/messageboxes.h"
#include "platform/userfolders.h"

namespace {

// Whether a new record appears in the list of the selected node as soon as
// it is added: only an artist's, an album's and "All Title" grow.
bool growsWithAdds(const NodeFill& node) {
    return node.kind == NodeKind::AllTitle || node.kind == NodeKind::Artist || node.kind == NodeKind::Album;
}

}  // namespace

// ------------------------------------------------------------ library loops

bool Tfm_main::BeginLibraryLoop() {
    if (LibraryBusy) return false;
    LibraryBusy = true;
    loopRows_.clear();
    loopPump_.restart();
    return true;
}

void Tfm_main::TakeAddResult(const AddResult& added) {
    if (!added.listed()) return;
    const TrackRecord& record = added.record;
    TreeView1->ensureArtist(QString::fromStdString(record.Artist));
    TreeView1->ensureAlbum(QString::fromStdString(record.Album));
    if (added.outcome != AddOutcome::Added) return;
    const NodeFill node = TreeView1->fillOf(TreeView1->currentItem());
    if (growsWithAdds(node) && NodeListsRecord(node, record)) loopRows_.push_back({record, true});
}

// The rows go in before the events run, so that a click in the tree that
// refills the list finds them there already and none is shown twice.
void Tfm_main::PumpLibraryLoop() {
    loopPump_.pump([this] {
        ListModel->appendRows(std::move(loopRows_));
        loopRows_.clear();
    });
}

void Tfm_main::EndLibraryLoop() {
    ListModel->appendRows(std::move(loopRows_));
    loopRows_.clear();
    LibraryBusy = false;
}

void Tfm_main::CloseIfAskedDuringLoop() {
    if (!closeAfterLoop_) return;
    closeAfterLoop_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
}

// ------------------------------------------------------------------- rescan

void Tfm_main::Rescan1Click() {
    makeLateWindows();
    if (!LibraryBusy) openToolWindow(fm_dir, true);
}

// --------------------------------------------------------- playlist import

void Tfm_main::AddPlyalist1Click() {
    if (LibraryBusy) return;
    IniFile ini;
    FileDialogRequest request;
    request.mode = FileDialogMode::Open;
    request.folder = StoredFolderOr(QString::fromStdString(ini.readString("File Manager", "add playlist path", "")),
                                    DialogStartFolder());
    request.filter = QStringLiteral("m3u files(*.m3u)|*.m3u|pls files(*.pls)|*.pls");
    request.parent = this;
    const FileDialogResult chosen = RunFileDialog(request);
    if (!chosen.accepted || chosen.files.isEmpty()) return;
    ini.writeString("File Manager", "add playlist path", QFileInfo(chosen.files.first()).absolutePath().toStdString());
    ImportPlaylistFile(chosen.files.first());
}

void Tfm_main::ImportPlaylistFile(const QString& fileName) {
    if (LibraryBusy) return;
    const std::string file = fileName.toStdString();
    // Read whole before anything is made: a file that cannot be read leaves
    // no empty playlist behind.
    const PlaylistReadResult read = ReadPlaylistFile(file, ImportedPlaylistFormat(file));
    if (!read.ok) {
        ShowError(QString::fromStdString(read.error), this);
        return;
    }
    std::vector<std::string> paths;
    paths.reserve(read.entries.size());
    for (const PlaylistEntry& entry : read.entries) paths.push_back(entry.path);
    fillLibraryPlaylist(ImportedPlaylistName(file), paths, read.refused);
}

void Tfm_main::RegisterSavedPlaylist(const std::string& fileName, const std::vector<PlaylistRow>& rows) {
    // Saved while an add runs: registered once it has ended.
    if (LibraryBusy) {
        QTimer::singleShot(EventPump::kIntervalMs, this, [this, fileName, rows] { RegisterSavedPlaylist(fileName, rows); });
        return;
    }
    std::vector<std::string> paths;
    paths.reserve(rows.size());
    for (const PlaylistRow& row : rows) paths.push_back(row.path);
    fillLibraryPlaylist(SavedPlaylistName(fileName), paths);
}

void Tfm_main::fillLibraryPlaylist(const std::string& name, const std::vector<std::string>& paths,
                                   const std::vector<std::string>& refused) {
    if (!BeginLibraryLoop()) return;
    const PlaylistFill fill = FillLibraryPlaylist(Library, name, paths, [this] { PumpLibraryLoop(); }, refused);
    EndLibraryLoop();
    if (!fill.ok()) {
        ShowError(QString::fromStdString(fill.error), this);
    } else {
        QTreeWidgetItem* node = TreeView1->ensurePlaylist(QString::fromStdString(name));
        TreeView1->RefreshTreeImages();
        // The node lives only in the tree file: saved now, it survives
        // whatever ends the program next.
        SaveLibraryTree();
        if (TreeView1->currentItem() == node) TreeView1Click();
        reportAddTally(fill.tally);
    }
    CloseIfAskedDuringLoop();
}
