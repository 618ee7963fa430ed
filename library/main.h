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

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "components/audio/audiofile.h"
#include "library/libraryfill.h"

class AudioPlayer;
class LibraryTree;
class QAction;
class QMenu;
class QTableView;
class QTreeWidgetItem;
class SkinEngine;
class SkinScrollBar;
class SkinText;
class TrackListModel;

class Tfm_main : public QMainWindow {
    Q_OBJECT
public:
    explicit Tfm_main(QWidget* parent = nullptr);
    ~Tfm_main() override;

    // --- Window state ---
    bool IgnoreNextException = false;  // the next unexpected error is dropped
    std::array<bool, 8> ColumnSortFlags;  // true: the next click on the column sorts ascending
    bool IsPlaying = false;  // paused counts as playing
    bool IsPaused = false;
    bool TreeFocused = false;  // the tree, not the list, had the focus last
    int SkinNumber = 1;
    std::string DataFolder;      // with its trailing "/"
    std::string PlaylistFolder;  // without
    bool ClosingAfterError = false;  // the error handler closes: no question, no tree save
    bool MiniMode = false;

    // --- Play state this window sets; playback keeps the rest ---
    std::string CurrentFile;
    int PlayIndex = -1;
    QString PlayNodeText;

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
    QMenu* vsPopupMenu1 = nullptr;  // track list
    QMenu* vsPopupMenu2 = nullptr;  // library tree
    SkinEngine* Skin = nullptr;
    AudioFile AudioFile21;
    AudioPlayer* AudioPlayer21 = nullptr;

    QAction* Exit1 = nullptr;
    QAction* Add1 = nullptr;
    QAction* Content1 = nullptr;
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
    std::string LibraryTreeFile() const { return DataFolder + "treetext.txt"; }
    std::string MusicFile() const { return DataFolder + "music.dat"; }

    // --- Adding files ---
    void AddFilesToLibrary();
    // The add without its dialog: the files the dialog returned.
    void AddChosenFiles(const QStringList& files);

    // --- Skin and playback seams ---
    void BindMainSkinObjects();
    // Applies the popup colours and band sizes of skin 1 or 2.
    void ApplySkinLook(int skinNumber);
    // Starts the open file playing (the playback road).
    void PlayCurrent();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct AddTally;
    void FormCreate();
    void createMenus();
    void createControls();
    void FormClose();
    bool FormCloseQuery();
    void loadLibraryTree();
    void applyMainSkin();
    void addCommandLineFile();
    bool addOneFile(const std::string& path, AddTally& tally, std::vector<ListRow>* newRows);
    void showHelp();
    void setFileNameText(const QString& text);

    bool formShown_ = false;
    bool closeAfterLoop_ = false;
};

extern Tfm_main* fm_main;
