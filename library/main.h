#pragma once
// The main window: the library tree on the left, the track list of the
// selected node on the right, the player, and the skin that draws it all.
// Closing it ends the program, whichever other windows are still open.
//
// Its start-up runs once when it is first shown (settings, skin, desktop
// entry, library files, tree, command-line file); coming back from the mini
// window runs only the part that re-dresses the window. Everything that
// changes the library or the tree refuses to run while a library loop (an
// add, a rescan, an import) lets other events through, and a close waits for
// that loop to end.
//
// The work behind the handlers lives in plain classes: the library's files
// in TrackLibrary, the player in PlaybackSession; the window keeps the
// queue, the tree, the list and what the user sees.
//
// Errors: what the user can act on is shown in a message box where it
// happens and the rest of the command goes on or stops cleanly; what only
// costs a count is logged; anything unexpected reaches the application's
// handler, which logs it to "Error.txt".

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/eventpump.h"
#include "components/audio/audiofile.h"
#include "components/player/playbacksession.h"
#include "library/libraryfill.h"
#include "library/playlisthost.h"
#include "library/tageditorhost.h"
#include "library/toolwindows.h"
#include "library/tracklibrary.h"

class AudioPlayer;
class LibraryTree;
class QAction;
class QKeyEvent;
class QMenu;
class TvsPopupMenu;
class QTableView;
class QTreeWidgetItem;
class SkinEngine;
class SkinObject;
class SkinScrollBar;
class SkinText;
class TrackListModel;

class Tfm_main : public QMainWindow, public PlaylistWindowHost, public TagEditorHost {
    Q_OBJECT
public:
    explicit Tfm_main(QWidget* parent = nullptr);
    ~Tfm_main() override;

    // --- Window state ---
    bool IgnoreNextException = false;  // the next unexpected error is dropped
    bool IsPlaying = false;  // paused counts as playing
    bool IsPaused = false;
    bool TreeFocused = false;  // the tree, not the list, had the focus last
    int SkinNumber = 1;
    // The library's files: adding, removing, counting plays, the tree file.
    TrackLibrary Library;
    bool ClosingAfterError = false;  // the error handler closes: no question, no tree save
    bool MiniMode = false;

    // --- Play state ---
    std::string CurrentFile;  // the file open in AudioFile21
    int PlayIndex = -1;       // queue entry (list row) playing; -1 before the first
    int LastPlayIndex = 0;    // last row of the list when play started
    QString PlayCategory;     // the playing node's parent's text, or its own for a root
    QString PlayNodeText;     // rows are highlighted only while this node is selected
    // The session's own state under the names the window reads it by.
    int64_t BlockSize() const { return Playback.blockSize(); }  // samples: 200 ms of the open file
    int64_t SeekBase() const { return Playback.startFrame(); }   // frame the play started or resumed at
    int64_t PlayPosition() const { return Playback.position(); } // frame heard now

    // The windows of the other subsystems; null until the program sets it.
    const ToolWindows* Tools = nullptr;
    // What the converter window of each format does when the menu opens it:
    // 1 converts other formats to it, 0 normalizes its own files.
    int WavJobMode = 0;
    int Mp3JobMode = 0;
    int OggJobMode = 0;
    int WmaJobMode = 0;

    // The program's command-line parameters (without the program itself).
    QStringList Parameters;

    // True while a library loop runs; library and tree commands do nothing.
    bool LibraryBusy = false;

    // --- Controls and components ---
    LibraryTree* TreeView1 = nullptr;
    QTableView* lv_playlist = nullptr;
    TrackListModel* ListModel = nullptr;
    QWidget* Image = nullptr;   // header band of the skin
    QWidget* Image2 = nullptr;  // footer band
    TvsPopupMenu* vsPopupMenu1 = nullptr;  // track list
    TvsPopupMenu* vsPopupMenu2 = nullptr;  // library tree
    SkinEngine* Skin = nullptr;
    // The decoder and the player, played through one session.
    PlaybackSession Playback;
    AudioFile& AudioFile21 = Playback.decoder();
    AudioPlayer* const AudioPlayer21 = Playback.player();

    // The menu bar's items.
    QAction* CDRipper1 = nullptr;
    QAction* AudioCDRecorder1 = nullptr;
    QAction* DataCD1 = nullptr;
    QAction* Recorder1 = nullptr;
    QAction* MP3OGGWMAtoWAV1 = nullptr;
    QAction* WAVOGGWMAtoMP31 = nullptr;
    QAction* WAVMP3WMAtoOGG1 = nullptr;
    QAction* WAVMP3OGGtoWMA1 = nullptr;
    QAction* WAVNormalize1 = nullptr;
    QAction* MPNormalize1 = nullptr;
    QAction* OGGNormalize1 = nullptr;
    QAction* WMANormalize1 = nullptr;
    QAction* Cut1 = nullptr;
    QAction* Combine1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Rescan1 = nullptr;
    QAction* Add1 = nullptr;
    QAction* ID31 = nullptr;
    QAction* Delete1 = nullptr;
    QAction* Play1 = nullptr;
    QAction* Sort1 = nullptr;
    QAction* SelectAll1 = nullptr;
    QAction* UnselectAll1 = nullptr;
    QAction* Connection1 = nullptr;
    QAction* Skin11 = nullptr;
    QAction* Skin21 = nullptr;
    QAction* Content1 = nullptr;
    QAction* About1 = nullptr;
    QAction* RandomPlay1 = nullptr;
    QAction* LoopPlaylist1 = nullptr;
    QAction* ConfirmSaveonClose1 = nullptr;
    QAction* AutoSaveLoadLastPlaylist1 = nullptr;
    // The list's popup items.
    QAction* AddFile2 = nullptr;
    QAction* DeleteFile2 = nullptr;
    QAction* Clear2 = nullptr;
    QAction* ID3Tag1 = nullptr;
    QAction* Plya1 = nullptr;
    QAction* Pause1 = nullptr;
    QAction* Stop1 = nullptr;
    QAction* previous1 = nullptr;
    QAction* PlayNext1 = nullptr;
    // The tree's popup items.
    QAction* AddPlyalist1 = nullptr;
    QAction* DeletePlaylist1 = nullptr;
    QAction* Rescan2 = nullptr;

    // Bound skin elements; null when the skin lacks them or was re-applied.
    QPointer<SkinScrollBar> SkinMediabar;
    QPointer<SkinScrollBar> SkinSoundbar;
    QPointer<SkinText> SkinTimeText;
    QPointer<SkinText> SkinFileNameText;
    QPointer<SkinText> SkinMiniFileNameText;  // on the mini window

    // --- Life cycle ---
    void FormShow();
    // The show after the mini window: the skin, its look and the bindings
    // again, but no tree reload, no settings re-read, no command-line file.
    void FormShowAfterMiniWindow();
    // The unexpected-error handler: logs, then offers a restart and closes.
    void ApplicationEvents1Exception(const QString& message, const QString& className);
    void Exit1Click();
    void Content1Click();

    // --- Library tree and track list ---
    void TreeView1Click();
    void lv_playlistColumnClick(int column);
    // Enables the tree popup's items for the selected node.
    void TreeView1ContextPopup();
    // Rows of the list, lowest first, read from the selection's ranges.
    std::vector<int> SelectedRows() const;
    // Replaces the list's selection by these rows.
    void SelectRows(const std::vector<int>& rows);
    void SaveLibraryTree();

    // --- Adding files ---
    void AddFilesToLibrary();
    // The add without its dialog: the files the dialog returned.
    void AddChosenFiles(const QStringList& files);

    // --- Library loops: adding files, the rescan, the playlist import ---
    // Starts one; false, with nothing started, while one runs.
    bool BeginLibraryLoop();
    // A file the loop added or found: its artist and album nodes, and its
    // row when the selected node lists it (shown at the next pump).
    void TakeAddResult(const AddResult& added);
    // Lets the window repaint and its events run when the last pump is 30 ms
    // old, with the rows taken meanwhile.
    void PumpLibraryLoop();
    // The last rows; library commands run again.
    void EndLibraryLoop();
    // The main window was closed during the loop: it closes now.
    bool CloseAskedDuringLoop() const { return closeAfterLoop_; }
    void CloseIfAskedDuringLoop();
    // The message an add, rescan or import ends with, when one is due.
    void reportAddTally(const AddTally& tally);

    // --- Rescan and playlist import ---
    void Rescan1Click();
    void AddPlyalist1Click();
    // Makes the playlist file a library playlist under "My Playlist".
    void ImportPlaylistFile(const QString& fileName);

    // --- Playback ---
    void lv_playlistDblClick();
    void lv_playlistClick();
    // Starts the open file at the position bar's place and counts the play.
    void PlayCurrent();
    void PlayNext();
    void PlayPrevious();
    void PauseResume();
    void StopPlayback();
    void StopPlaybackAndCloseFile();
    // The session's position: the bar, and the time of the frame heard.
    void AudioPlayer21Timer(qint64 heardFrame);
    void AudioPlayer21EndPlay();
    void Play1Click();
    // The skin's "Boxplay".
    void BoxplayClick();
    // "templay.dat" in the data folder.
    std::string PlayQueueFile() const { return Library.playQueueFile(); }

    // --- Skin elements, the skin switch and the mini window ---
    void BindMainSkinObjects();
    void BindMiniFileNameElement();
    // Applies the popup colours and band sizes of skin 1 or 2.
    void ApplySkinLook(int skinNumber);
    void SkinClick(SkinObject* source);
    void SkinMouseDown(SkinObject* source, int button);
    void SkinMouseUp(SkinObject* source, int button);
    void SkinScrollTrack(SkinObject* source, int newPos);
    void Skin11Click();
    void Skin21Click();
    void ShowMiniWindow();
    void ReturnFromMiniWindow();
    void PlayPlaylistSelection();
    void ID31Click();

    // --- The tool windows, the menus' commands ---
    void CDRipper1Click();
    void AudioCDRecorder1Click();
    void DataCD1Click();
    void Recorder1Click();
    void MP3OGGWMAtoWAV1Click();
    void WAVOGGWMAtoMP31Click();
    void WAVMP3WMAtoOGG1Click();
    void WAVMP3OGGtoWMA1Click();
    void WAVNormalize1Click();
    void MPNormalize1Click();
    void OGGNormalize1Click();
    void WMANormalize1Click();
    void Cut1Click();
    void Combine1Click();
    void Connection1Click();
    void About1Click();
    void Sort1Click();
    void SelectAll1Click();
    void UnselectAll1Click();
    void RandomPlay1Click();
    void LoopPlaylist1Click();

    // --- Removing tracks ---
    void DeleteFileRecords();
    void ClearFileRecords();

    // --- What the playlist window asks of this one ---
    bool RandomPlayChecked() const override;
    void SetRandomPlayChecked(bool checked) override;
    bool ConfirmSaveOnCloseChecked() const override;
    bool AutoSaveLoadLastPlaylistChecked() const override;
    bool MainPlayerPlaying() const override;
    void StopMainPlayback() override;
    void RegisterSavedPlaylist(const std::string& fileName, const std::vector<PlaylistRow>& rows) override;

    // --- What the tag editor asks of this one ---
    std::vector<TagEditTrack> TracksToEdit() override;
    bool PlaysFile(const std::string& path) const override;
    void StopPlaybackForEdit() override;
    void ReleaseFile(const std::string& path) override;
    const TrackLibrary& EditedLibrary() const override { return Library; }
    EditedRecordFile RecordFileOfSelectedNode() const override;
    LibraryTree* EditedTree() override { return TreeView1; }
    void SaveEditedTree() override { SaveLibraryTree(); }
    void ShowEditedRecord(int listRow, const TrackRecord& record) override;
    void SetLibraryBusy(bool busy) override;
    void ShowPlayingRow() override;
    SkinEngine* EditorSkin() const override { return Skin; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void createMenus();
    void createControls();
    void FormClose();
    bool FormCloseQuery();
    void loadLibraryTree();
    // The tree file held exactly the tree that was loaded from it.
    bool treeFileAsLoaded_ = false;
    void applyMainSkin();
    void addCommandLineFile();
    // Adds one file to the library and to the tree and list of the loop.
    void addOneFile(const std::string& path, AddTally& tally);
    // The records of these entries as the library playlist name, its node
    // and the tree file.
    void fillLibraryPlaylist(const std::string& name, const std::vector<std::string>& paths,
                             const std::vector<std::string>& refused = {});
    void showHelp();
    bool menuTakesEscape() const;
    bool listKeyPress(QObject* watched, QKeyEvent* key);
    void setFileNameText(const QString& text);
    void setTimeText(const QString& text);
    QString timeText() const;
    void setMediabarPosition(int position);
    int mediabarPosition() const;
    void resetPlayDisplay();
    void blankCurrentFile();
    QString fileNameText() const;
    void writePlayQueue();
    // PlayCategory from the selected node, and whether it is "My Habit".
    void takePlayCategory();
    // Past the end of the queue the next entry is the first.
    void wrapAtQueueEnd();
    QString playingEntryTitle() const;
    bool showsPlayingEntry() const;
    void selectOnly(int row);
    void settleAfterFailedMove();
    void removeFailedEntry();
    bool moveToQueueEntry(int oldIndex);
    void removeLibraryRecordOf(const std::string& path);
    QWidget* toolWindow(ToolWindow which) const;
    void openToolWindow(QWidget* window, bool stopAndCloseFirst);
    void makeLateWindows() const;
    // Stops and closes the player, hands the converter its job and caption,
    // then shows it modally over this window.
    void openConverter(ToolWindow which, int& jobMode, int mode, const char* caption);
    void switchSkin(int number);
    void placePlaylistWindow();
    // The files of a node's records; none for a playlist whose text names no
    // file.
    std::optional<RecordFiles> recordFilesOf(const QTreeWidgetItem* node) const;
    // False, with the error shown, when the file could not be rewritten.
    bool removeRecords(const std::optional<RecordFiles>& files, const std::vector<TrackRecord>& records);
    std::vector<TrackRecord> recordsOf(const std::vector<int>& rows) const;
    // The selected rows' records; true when they left the files.
    bool deleteRowRecords(bool treeOwnsCommand);
    void deleteNode(QTreeWidgetItem* node);
    void stopIfRemoving(const std::vector<int>& rows);
    // Deletes the artist and album nodes that no library record names any
    // more, one of each per removed record.
    void PruneOrphanNodes(const std::vector<TrackRecord>& removed);
    void keepRowsExcept(const std::vector<int>& removed);
    void removeLeafNode(QTreeWidgetItem* leaf);

    std::array<bool, 8> ColumnSortFlags;  // true: the next click on the column sorts ascending
    // The paths of the list's rows when play started, in full: the queue
    // file cuts long paths, so next and previous go by these.
    std::vector<std::string> PlayQueue;
    bool DragStoppedPlayback = false;  // a press on "mediabar" stopped the player
    // Kept while the mini window is shown in place of this one.
    int SavedTreeIndex = -1;
    int SavedMainHeight = 0;
    int SavedMediabarPosition = 0;

    bool formShown_ = false;
    bool closeAfterLoop_ = false;
    std::vector<ListRow> loopRows_;  // rows a library loop shows at its next pump
    EventPump loopPump_;             // lets that loop's events run
    int invalidSkips_ = 0;   // invalid entries skipped in a row
    bool seeking_ = false;   // a start that continues the track after a seek
    bool playsMyHabit_ = false;  // the queue is the list of "My Habit"
};

extern Tfm_main* fm_main;
