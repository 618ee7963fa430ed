// The main window's menu commands that open the tool windows, the converter
// windows' jobs, the Playlist menu, the association and About windows, and
// what the tag editor asks of this window.

#include <QTableView>
#include <QTimer>

#include "library/about.h"
#include "library/associate.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/playlist.h"
#include "library/tracklistmodel.h"
#include "platform/paths.h"
#include "platform/presenter.h"

// ------------------------------------------------------------- tool windows

void Tfm_main::CDRipper1Click() { openToolWindow(toolWindow(ToolWindow::Ripper), true); }
void Tfm_main::AudioCDRecorder1Click() { openToolWindow(toolWindow(ToolWindow::AudioWriter), true); }
void Tfm_main::DataCD1Click() { openToolWindow(toolWindow(ToolWindow::DataWriter), true); }
void Tfm_main::Cut1Click() { openToolWindow(toolWindow(ToolWindow::Cutter), true); }
void Tfm_main::Combine1Click() { openToolWindow(toolWindow(ToolWindow::Combine), true); }

void Tfm_main::Recorder1Click() {
    QWidget* recorder = toolWindow(ToolWindow::Recorder);
    if (!recorder) return;
    // Beside the track list, and it may stay open while the library plays.
    const QRect main = frameGeometry();
    recorder->move(main.left() + lv_playlist->mapTo(this, QPoint(0, 0)).x() + 105,
                   main.top() + (main.height() - recorder->frameGeometry().height()) / 2);
    KeepAbove(recorder, this);
    ShowModeless(recorder);
}

void Tfm_main::openConverter(ToolWindow which, int& jobMode, int mode, const char* caption) {
    StopPlaybackAndCloseFile();
    jobMode = mode;
    QWidget* window = toolWindow(which);
    if (!window) return;
    Tools->setJobMode(which, mode);
    window->setWindowTitle(QString::fromLatin1(caption));
    CentreOver(window, this);
    ShowModal(window);
}

void Tfm_main::MP3OGGWMAtoWAV1Click() { openConverter(ToolWindow::WavConverter, WavJobMode, 1, "To WAV"); }
void Tfm_main::WAVOGGWMAtoMP31Click() { openConverter(ToolWindow::Mp3Converter, Mp3JobMode, 1, "TO MP3"); }
void Tfm_main::WAVMP3WMAtoOGG1Click() { openConverter(ToolWindow::OggConverter, OggJobMode, 1, "To OGG"); }
void Tfm_main::WAVMP3OGGtoWMA1Click() { openConverter(ToolWindow::WmaConverter, WmaJobMode, 1, "To WMA"); }
void Tfm_main::WAVNormalize1Click() { openConverter(ToolWindow::WavConverter, WavJobMode, 0, "WAV Normalize"); }
void Tfm_main::MPNormalize1Click() { openConverter(ToolWindow::Mp3Converter, Mp3JobMode, 0, "MP3 Normalize"); }
void Tfm_main::OGGNormalize1Click() { openConverter(ToolWindow::OggConverter, OggJobMode, 0, "OGG Normalize"); }
void Tfm_main::WMANormalize1Click() { openConverter(ToolWindow::WmaConverter, WmaJobMode, 0, "WMA Normalize"); }

void Tfm_main::Connection1Click() {
    makeLateWindows();
    openToolWindow(fm_associate, false);
}

void Tfm_main::About1Click() {
    makeLateWindows();
    if (!fm_about) return;
    CentreOver(fm_about, this);
    ShowModeless(fm_about);
}

// ---------------------------------------------------------- Playlist menu

void Tfm_main::Sort1Click() {
    if (fm_playlist) fm_playlist->SortPlaylistByName();
}

void Tfm_main::SelectAll1Click() {
    if (!fm_playlist) return;
    std::vector<int> all(static_cast<std::size_t>(fm_playlist->rowCount()));
    for (std::size_t r = 0; r < all.size(); ++r) all[r] = static_cast<int>(r);
    fm_playlist->selectRows(all);
}

void Tfm_main::UnselectAll1Click() {
    if (fm_playlist) fm_playlist->selectRows({});
}

void Tfm_main::RandomPlay1Click() {
    // The check mark follows the window's own random button, which is only
    // there while the window is.
    if (!fm_playlist || !fm_playlist->isVisible()) {
        RandomPlay1->setChecked(!RandomPlay1->isChecked());
        return;
    }
    const bool on = RandomPlay1->isChecked();
    fm_playlist->RandomPlay = on;
    SkinToggle* button = fm_playlist->PlaylistMinimized ? fm_playlist->SkinmListrandom : fm_playlist->SkinListrandom;
    if (button) button->setState(on);
}

void Tfm_main::LoopPlaylist1Click() {
    if (fm_playlist) fm_playlist->LoopPlay = LoopPlaylist1->isChecked();
}

// ------------------------------------------------- what the tag editor asks

std::vector<TagEditTrack> Tfm_main::TracksToEdit() {
    const std::vector<int> selected = SelectedRows();
    std::vector<int> kept;
    std::vector<TagEditTrack> tracks;
    for (int row : selected) {
        const std::string& path = ListModel->path(row);
        if (!FileExists(path)) continue;
        kept.push_back(row);
        tracks.push_back({path, ListModel->cellText(row, 0).toStdString(), row});
    }
    if (kept.size() != selected.size()) SelectRows(kept);
    return tracks;
}

bool Tfm_main::PlaysFile(const std::string& path) const { return IsPlaying && CurrentFile == path; }

void Tfm_main::StopPlaybackForEdit() { StopPlaybackAndCloseFile(); }

void Tfm_main::ReleaseFile(const std::string& path) {
    if (Playback.isOpen() && CurrentFile == path) Playback.close();
}

EditedRecordFile Tfm_main::RecordFileOfSelectedNode() const {
    const QTreeWidgetItem* node = TreeView1->currentItem();
    if (!node || node->parent() != TreeView1->myPlaylistNode()) return {Library.musicFile(), true};
    const std::optional<RecordFiles> files = Library.playlistFiles(node->text(0).toStdString());
    return {files ? files->source : std::string(), false};
}

void Tfm_main::ShowEditedRecord(int listRow, const TrackRecord& record) {
    if (listRow >= 0 && listRow < ListModel->rowCount() && ListModel->path(listRow) == record.Path) {
        ListModel->setRecordTexts(listRow, record);
        return;
    }
    // The list changed while the editor was open: the rows of the path.
    for (int row = 0; row < ListModel->rowCount(); ++row)
        if (ListModel->path(row) == record.Path) ListModel->setRecordTexts(row, record);
}

void Tfm_main::SetLibraryBusy(bool busy) {
    LibraryBusy = busy;
    if (busy || !closeAfterLoop_) return;
    closeAfterLoop_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
}

void Tfm_main::ShowPlayingRow() {
    if (PlayIndex < 0 || PlayIndex >= ListModel->rowCount()) {
        SelectRows({});
        return;
    }
    SelectRows({PlayIndex});
    lv_playlistClick();
}
