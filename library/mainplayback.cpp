// The main window's player: the road of a played track from the list
// through the decoder to the device, the position bar and the time text.

#include <QFileInfo>
#include <QTableView>
#include <QTreeWidgetItem>

#include <algorithm>

#include "components/skin/skinengine.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/playlist.h"
#include "library/playtime.h"
#include "library/tracklistmodel.h"
#include "platform/messageboxes.h"
#include "platform/paths.h"

namespace {

const QString kFileRemoved = QStringLiteral("The file has been removed.");
const QString kNoTime = QStringLiteral("00:00:00");

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

// ------------------------------------------------------------ the display

void Tfm_main::setFileNameText(const QString& text) {
    if (SkinFileNameText) {
        SkinFileNameText->setText(text);
        SkinFileNameText->redraw();
    }
    if (MiniMode && SkinMiniFileNameText) {
        SkinMiniFileNameText->setText(text);
        SkinMiniFileNameText->redraw();
    }
}

QString Tfm_main::fileNameText() const { return SkinFileNameText ? SkinFileNameText->getText() : QString(); }

QString Tfm_main::timeText() const { return SkinTimeText ? SkinTimeText->getText() : kNoTime; }

void Tfm_main::setTimeText(const QString& text) {
    if (!SkinTimeText) return;
    SkinTimeText->setText(text);
    SkinTimeText->redraw();
}

void Tfm_main::setMediabarPosition(int position) {
    if (SkinMediabar) SkinMediabar->setPosition(position);
}

int Tfm_main::mediabarPosition() const { return SkinMediabar ? SkinMediabar->getPosition() : 0; }

void Tfm_main::resetPlayDisplay() {
    setMediabarPosition(0);
    setTimeText(kNoTime);
}

// ------------------------------------------------------------- the queue

void Tfm_main::writePlayQueue() {
    PlayQueue.clear();
    PlayQueue.reserve(static_cast<std::size_t>(ListModel->rowCount()));
    for (int row = 0; row < ListModel->rowCount(); ++row) PlayQueue.push_back(ListModel->path(row));
    // Next and previous go by the paths in memory, so a data folder that
    // cannot take the file does not stop the play.
    Library.writePlayQueue(PlayQueue);
}

void Tfm_main::takePlayCategory() {
    const QTreeWidgetItem* node = TreeView1->currentItem();
    const QTreeWidgetItem* category = node && node->parent() ? node->parent() : node;
    PlayCategory = category ? category->text(0) : QString();
    playsMyHabit_ = category && category == TreeView1->myHabitNode();
}

void Tfm_main::wrapAtQueueEnd() {
    if (PlayIndex == LastPlayIndex) PlayIndex = -1;
    // "My Habit" lists the ten most played: it goes round after its tenth.
    if (playsMyHabit_ && PlayIndex == 9) PlayIndex = -1;
}

bool Tfm_main::showsPlayingEntry() const {
    const QTreeWidgetItem* node = TreeView1->currentItem();
    return node && node->text(0) == PlayNodeText && PlayIndex >= 0 && PlayIndex < ListModel->rowCount() &&
           ListModel->path(PlayIndex) == CurrentFile;
}

QString Tfm_main::playingEntryTitle() const {
    return showsPlayingEntry() ? ListModel->cellText(PlayIndex, 0) : QFileInfo(Text(CurrentFile)).fileName();
}

void Tfm_main::selectOnly(int row) {
    if (row >= 0 && row < ListModel->rowCount()) SelectRows({row});
}

// ------------------------------------------------------------ starting

void Tfm_main::lv_playlistDblClick() {
    std::vector<int> selected = SelectedRows();
    if (selected.empty()) {
        if (ListModel->rowCount() == 0) return;
        SelectRows({0});
        selected = {0};
    }
    StopPlayback();
    writePlayQueue();
    invalidSkips_ = 0;
    const int row = selected.front();
    PlayIndex = row;
    if (const QTreeWidgetItem* node = TreeView1->currentItem()) PlayNodeText = node->text(0);
    const std::string path = ListModel->path(row);
    setFileNameText(Text(path));
    if (!FileExists(path)) {
        ShowInformation(kFileRemoved, this);
        return;
    }
    CurrentFile = path;
    Playback.open(CurrentFile);
    takePlayCategory();
    LastPlayIndex = ListModel->rowCount() - 1;
    PlayIndex = row;
    PlayCurrent();
}

void Tfm_main::lv_playlistClick() {
    if (lv_playlist->hasFocus()) TreeFocused = false;
    const std::vector<int> selected = SelectedRows();
    if (selected.empty() || IsPlaying) return;
    const int row = selected.front();
    PlayIndex = row;
    if (const QTreeWidgetItem* node = TreeView1->currentItem()) PlayNodeText = node->text(0);
    // The path as stored: on this file system a lower-cased path names
    // another file, or none.
    CurrentFile = ListModel->path(row);
    setFileNameText(Text(CurrentFile));
    setMediabarPosition(0);
    if (FileExists(CurrentFile)) {
        Playback.open(CurrentFile);
        return;
    }
    ShowInformation(kFileRemoved, this);
    // Only the clicked row's record goes: the other selected rows name
    // files that may well be there.
    selectOnly(row);
    deleteRowRecords(false);
}

void Tfm_main::PlayCurrent() {
    // A file that is not there was reported where it was found missing.
    if (!FileExists(CurrentFile)) return;
    if (!AudioFile21.isOpen()) {
        const bool shown = showsPlayingEntry();
        MessageRequest ask;
        ask.kind = MessageKind::Information;
        ask.title = QStringLiteral("Information");
        ask.text = playingEntryTitle() + QStringLiteral(" is an invalid audio file! Delete it?");
        ask.buttons = MessageButtons::YesNo;
        ask.parent = this;
        if (ShowMessage(ask) == MessageAnswer::Yes) {
            if (shown) {
                removeFailedEntry();
                return;
            }
            removeLibraryRecordOf(CurrentFile);
        }
        // A queue of nothing but invalid files is offered once round, not
        // for ever.
        if (++invalidSkips_ >= std::max<int>(1, static_cast<int>(PlayQueue.size()))) {
            invalidSkips_ = 0;
            return;
        }
        IsPlaying = true;
        wrapAtQueueEnd();
        PlayNext();
        settleAfterFailedMove();
        return;
    }
    if (fm_playlist && (fm_playlist->PlaylistPlaying || fm_playlist->PlaylistPaused)) fm_playlist->StopPlaylistPlayback();

    const std::vector<int> selected = SelectedRows();
    const bool keepsPlayRow = std::binary_search(selected.begin(), selected.end(), PlayIndex);
    if (selected.size() > (keepsPlayRow ? 1u : 0u)) SelectRows(keepsPlayRow ? std::vector<int>{PlayIndex} : std::vector<int>{});

    IsPaused = false;
    Playback.start(PositionAt(mediabarPosition(), Playback.length()));
    IsPlaying = true;
    invalidSkips_ = 0;

    // A seek goes on with the same play.
    if (!seeking_) Library.countPlay(CurrentFile);
}

void Tfm_main::removeFailedEntry() {
    selectOnly(PlayIndex);
    if (!deleteRowRecords(false)) return;
    // The queue loses the entry with its row, so that the rows after it
    // keep their places in both.
    if (PlayIndex >= 0 && PlayIndex < static_cast<int>(PlayQueue.size()))
        PlayQueue.erase(PlayQueue.begin() + PlayIndex);
    const int rows = ListModel->rowCount();
    LastPlayIndex = rows - 1;
    if (rows == 0) return;
    if (PlayIndex >= rows) PlayIndex = 0;
    selectOnly(PlayIndex);
    lv_playlistClick();
    PlayCurrent();
}

void Tfm_main::settleAfterFailedMove() {
    // The player ended and nothing took its place: the window says so
    // rather than showing a play that is not there.
    if (IsPlaying && !IsPaused && !Playback.isPlaying()) StopPlayback();
}

void Tfm_main::Play1Click() {
    if (ListModel->rowCount() == 0) return;
    if (IsPlaying) StopPlayback();
    if (SelectedRows().empty()) SelectRows({0});
    lv_playlistClick();
    PlayCurrent();
}

void Tfm_main::BoxplayClick() {
    if (ListModel->rowCount() == 0) return;
    LastPlayIndex = ListModel->rowCount() - 1;
    writePlayQueue();
    invalidSkips_ = 0;
    if (IsPlaying && !IsPaused) {
        lv_playlistDblClick();
        return;
    }
    if (SelectedRows().empty()) SelectRows({0});
    lv_playlistClick();
    takePlayCategory();
    PlayCurrent();
}

// ---------------------------------------------------------- the player

void Tfm_main::AudioPlayer21Timer(qint64 heardFrame) {
    setMediabarPosition(PerMille(heardFrame, Playback.length()));
    // The time of the frame heard itself: a thousandth of a long track is
    // longer than a timer period, and the time would lag behind the audio.
    setTimeText(Text(FormatPlayTime(Playback.msAt(heardFrame))));
}

void Tfm_main::AudioPlayer21EndPlay() {
    wrapAtQueueEnd();
    PlayNext();
    settleAfterFailedMove();
}

// ------------------------------------------------------ next and previous

bool Tfm_main::moveToQueueEntry(int oldIndex) {
    if (PlayIndex < 0 || PlayIndex >= static_cast<int>(PlayQueue.size())) {
        PlayIndex = oldIndex;
        return false;
    }
    const std::string path = PlayQueue[static_cast<std::size_t>(PlayIndex)];
    setFileNameText(Text(path));
    Playback.stop();
    IsPlaying = false;
    resetPlayDisplay();
    CurrentFile = path;
    const QTreeWidgetItem* node = TreeView1->currentItem();
    if (node && node->text(0) == PlayNodeText) {
        std::vector<int> rows = SelectedRows();
        std::erase(rows, oldIndex);
        if (PlayIndex < ListModel->rowCount()) rows.insert(std::lower_bound(rows.begin(), rows.end(), PlayIndex), PlayIndex);
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        SelectRows(rows);
    }
    if (!FileExists(CurrentFile)) {
        ShowInformation(kFileRemoved, this);
        return false;
    }
    Playback.open(CurrentFile);
    return true;
}

void Tfm_main::PlayNext() {
    // The queue holds the list's rows as they were when play started: its
    // end is the last row, and a list that grew since plays no further.
    if (!IsPlaying || PlayIndex + 1 >= static_cast<int>(PlayQueue.size())) return;
    const int old = PlayIndex;
    ++PlayIndex;
    if (moveToQueueEntry(old)) PlayCurrent();
}

void Tfm_main::PlayPrevious() {
    if (!IsPlaying || PlayIndex <= 0) return;
    const int old = PlayIndex;
    --PlayIndex;
    if (!moveToQueueEntry(old)) return;
    if (AudioFile21.isOpen()) {
        PlayCurrent();
        return;
    }
    ShowInformation(playingEntryTitle() + QStringLiteral(" is an invalid audio file!"), this);
    Playback.close();
    IsPlaying = true;
    PlayPrevious();
    if (SelectedRows().size() > 1) {
        std::vector<int> rows = SelectedRows();
        std::erase(rows, PlayIndex);
        SelectRows(rows);
    }
    settleAfterFailedMove();
}

// ------------------------------------------------------- pause and stop

void Tfm_main::PauseResume() {
    if (IsPlaying && !IsPaused) {
        Playback.pause();
        IsPaused = true;
    } else if (IsPaused && IsPlaying) {
        Playback.resume();
        IsPaused = false;
    }
}

void Tfm_main::StopPlayback() {
    if (!IsPlaying) return;
    Playback.stop();
    IsPlaying = false;
    resetPlayDisplay();
    const std::vector<int> selected = SelectedRows();
    setFileNameText(selected.empty() ? QString() : Text(ListModel->path(selected.front())));
}

void Tfm_main::StopPlaybackAndCloseFile() {
    if (IsPlaying) StopPlayback();
    Playback.close();
}

// ------------------------------------------- what the playlist window asks

bool Tfm_main::RandomPlayChecked() const { return RandomPlay1->isChecked(); }

void Tfm_main::SetRandomPlayChecked(bool checked) { RandomPlay1->setChecked(checked); }

bool Tfm_main::ConfirmSaveOnCloseChecked() const { return ConfirmSaveonClose1->isChecked(); }

bool Tfm_main::AutoSaveLoadLastPlaylistChecked() const { return AutoSaveLoadLastPlaylist1->isChecked(); }

bool Tfm_main::MainPlayerPlaying() const { return IsPlaying; }

void Tfm_main::StopMainPlayback() { StopPlaybackAndCloseFile(); }
