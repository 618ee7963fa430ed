#include "library/main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>
#include <set>

#include "components/player/audioplayer.h"
#include "components/skin/skinengine.h"
#include "library/desktopentry.h"
#include "library/errorlog.h"
#include "library/libraryimages.h"
#include "library/librarytree.h"
#include "library/mmain.h"
#include "library/playlist.h"
#include "library/recordbuilder.h"
#include "library/tracklistmodel.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/filedialogs.h"
#include "platform/inifile.h"
#include "platform/keyboard.h"
#include "platform/launcher.h"
#include "platform/messageboxes.h"
#include "platform/paths.h"
#include "platform/userfolders.h"
#include "skin/menu.h"

Tfm_main* fm_main = nullptr;

namespace {

const char kFileManager[] = "File Manager";

std::string toPath(const QString& path) { return path.toStdString(); }

// The window's popup menus: the DeepBlue look with the program's own
// colours, set after the style so that they win.
TvsPopupMenu* NewPopupMenu(QWidget* parent) {
    auto* menu = new TvsPopupMenu(parent);
    menu->setUIStyle(TvsUIStyle::DeepBlue);
    menu->setMenuItemHeight(21);
    menu->setSeparatorHeight(5);
    menu->setBarWidth(26);
    menu->setBarColor(ColorFromBgr(14074813));
    menu->setColor(Qt::white);
    menu->setSeparatorColor(ColorFromBgr(12425868));
    menu->setSelectedBorderColor(ColorFromBgr(12425868));
    menu->setSelectedColor(ColorFromBgr(12425868));
    menu->setSelectedFontColor(Qt::white);
    menu->setFontColor(Qt::black);
    menu->setBorderColor(ColorFromBgr(11437686));
    return menu;
}

}  // namespace

Tfm_main::Tfm_main(QWidget* parent) : QMainWindow(parent), Library(DataFolder(), PlaylistFolder()) {
    setWindowTitle(QStringLiteral("Tunevale"));
    resize(820, 560);
    const QStringList arguments = QCoreApplication::arguments();
    Parameters = arguments.mid(1);

    Skin = new SkinEngine(this);
    connect(Skin, &SkinEngine::skinError, this, [](const QString& message) { qWarning("%s", qPrintable(message)); });
    connect(Skin, &SkinEngine::onClick, this, &Tfm_main::SkinClick);
    connect(Skin, &SkinEngine::onMouseDown, this,
            [this](SkinObject* source, int button, int, int) { SkinMouseDown(source, button); });
    connect(Skin, &SkinEngine::onMouseUp, this,
            [this](SkinObject* source, int button, int, int) { SkinMouseUp(source, button); });
    connect(Skin, &SkinEngine::onScrollTrack, this, &Tfm_main::SkinScrollTrack);
    connect(&Playback, &PlaybackSession::onPosition, this, &Tfm_main::AudioPlayer21Timer);
    connect(&Playback, &PlaybackSession::onEndPlay, this, &Tfm_main::AudioPlayer21EndPlay);
    createControls();
    createMenus();
    OpenMenuBarOnF10(this, menuBar());
    qApp->installEventFilter(this);
    FormCreate();
}

Tfm_main::~Tfm_main() {
    if (qApp) qApp->removeEventFilter(this);
    if (fm_playlist) fm_playlist->setHost(nullptr);
}

void Tfm_main::FormCreate() {
    IgnoreNextException = false;
    ColumnSortFlags.fill(true);
    IsPlaying = false;
    TreeFocused = false;
    IsPaused = false;
}

void Tfm_main::createControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Image = new QWidget(central);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setFixedHeight(52);
    column->addWidget(Image);

    auto* split = new QSplitter(Qt::Horizontal, central);
    split->setChildrenCollapsible(false);
    TreeView1 = new LibraryTree(split);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setImages(TreeNodeImages());
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->viewport()->installEventFilter(this);
    TreeView1->expandItem(TreeView1->topLevelItem(0));
    connect(TreeView1, &QTreeWidget::itemClicked, this, [this] { TreeView1Click(); });
    connect(TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        TreeView1ContextPopup();
        vsPopupMenu2->popup(TreeView1->viewport()->mapToGlobal(at));
    });

    ListModel = new TrackListModel(this);
    const QList<QIcon> listImages = TrackListImages();
    ListModel->setImages(listImages[0], listImages[1], listImages[2]);
    lv_playlist = new QTableView(split);
    lv_playlist->setObjectName(QStringLiteral("lv_playlist"));
    lv_playlist->setModel(ListModel);
    lv_playlist->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv_playlist->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv_playlist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv_playlist->setShowGrid(true);
    lv_playlist->setWordWrap(false);
    lv_playlist->setSortingEnabled(false);
    lv_playlist->setIconSize(QSize(16, 16));
    lv_playlist->verticalHeader()->hide();
    lv_playlist->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lv_playlist->verticalHeader()->setDefaultSectionSize(lv_playlist->fontMetrics().height() + 6);
    QHeaderView* header = lv_playlist->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSortIndicatorShown(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setStretchLastSection(true);
    const int widths[TrackListModel::kColumnCount] = {100, 60, 60, 70, 50, 110, 0, 100};
    for (int c = 0; c < TrackListModel::kColumnCount; ++c) lv_playlist->setColumnWidth(c, widths[c]);
    lv_playlist->setColumnHidden(TrackListModel::kPathColumn, true);
    lv_playlist->setContextMenuPolicy(Qt::CustomContextMenu);
    lv_playlist->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionClicked, this, &Tfm_main::lv_playlistColumnClick);
    connect(lv_playlist, &QAbstractItemView::clicked, this, [this] { lv_playlistClick(); });
    connect(lv_playlist, &QAbstractItemView::doubleClicked, this, [this] { lv_playlistDblClick(); });
    RunOnEnter(lv_playlist, [this] { lv_playlistDblClick(); });
    connect(lv_playlist, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { vsPopupMenu1->popup(lv_playlist->viewport()->mapToGlobal(at)); });
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({190, 620});
    column->addWidget(split, 1);

    Image2 = new QWidget(central);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setFixedHeight(78);
    column->addWidget(Image2);
    setCentralWidget(central);
}

void Tfm_main::createMenus() {
    auto item = [this](QMenu* menu, const char* caption, void (Tfm_main::*handler)()) {
        return menu->addAction(QString::fromLatin1(caption), this, handler);
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    CDRipper1 = item(file, "CD Ripper", &Tfm_main::CDRipper1Click);
    AudioCDRecorder1 = item(file, "Audio CD Recorder", &Tfm_main::AudioCDRecorder1Click);
    DataCD1 = item(file, "Data CD Recorder", &Tfm_main::DataCD1Click);
    file->addSeparator();
    Recorder1 = item(file, "Recorder", &Tfm_main::Recorder1Click);
    file->addSeparator();
    MP3OGGWMAtoWAV1 = item(file, "MP3/OGG/WMA to WAV", &Tfm_main::MP3OGGWMAtoWAV1Click);
    WAVOGGWMAtoMP31 = item(file, "WAV/OGG/WMA to MP3", &Tfm_main::WAVOGGWMAtoMP31Click);
    WAVMP3WMAtoOGG1 = item(file, "WAV/MP3/WMA to OGG", &Tfm_main::WAVMP3WMAtoOGG1Click);
    WAVMP3OGGtoWMA1 = item(file, "WAV/MP3/OGG to WMA", &Tfm_main::WAVMP3OGGtoWMA1Click);
    file->addSeparator();
    WAVNormalize1 = item(file, "WAV Normalize", &Tfm_main::WAVNormalize1Click);
    MPNormalize1 = item(file, "MP3 Normalize", &Tfm_main::MPNormalize1Click);
    OGGNormalize1 = item(file, "OGG Normalize", &Tfm_main::OGGNormalize1Click);
    WMANormalize1 = item(file, "WMA Normalize", &Tfm_main::WMANormalize1Click);
    file->addSeparator();
    Cut1 = item(file, "Cut", &Tfm_main::Cut1Click);
    Combine1 = item(file, "Combine", &Tfm_main::Combine1Click);
    file->addSeparator();
    Exit1 = item(file, "Exit", &Tfm_main::Exit1Click);

    QMenu* action = menuBar()->addMenu(QStringLiteral("Action"));
    Rescan1 = item(action, "Rescan", &Tfm_main::Rescan1Click);
    Add1 = item(action, "Add", &Tfm_main::AddFilesToLibrary);
    ID31 = item(action, "ID3", &Tfm_main::ID31Click);
    Delete1 = item(action, "Delete File Record", &Tfm_main::DeleteFileRecords);
    action->addSeparator();
    Play1 = item(action, "Play", &Tfm_main::Play1Click);

    QMenu* playlist = menuBar()->addMenu(QStringLiteral("Playlist"));
    Sort1 = item(playlist, "Sort Playlist", &Tfm_main::Sort1Click);
    SelectAll1 = item(playlist, "Select All", &Tfm_main::SelectAll1Click);
    UnselectAll1 = item(playlist, "Unselect All", &Tfm_main::UnselectAll1Click);
    playlist->addSeparator();
    QMenu* option = playlist->addMenu(QStringLiteral("Option"));
    auto checkable = [option](const char* caption) {
        QAction* a = option->addAction(QString::fromLatin1(caption));
        a->setCheckable(true);
        return a;
    };
    RandomPlay1 = checkable("Random Play");
    LoopPlaylist1 = checkable("Loop Playlist");
    ConfirmSaveonClose1 = checkable("Confirm Save on Close");
    AutoSaveLoadLastPlaylist1 = checkable("Auto Save/Load Last Playlist");
    connect(RandomPlay1, &QAction::triggered, this, &Tfm_main::RandomPlay1Click);
    connect(LoopPlaylist1, &QAction::triggered, this, &Tfm_main::LoopPlaylist1Click);

    QMenu* options = menuBar()->addMenu(QStringLiteral("Option"));
    Connection1 = item(options, "Associate", &Tfm_main::Connection1Click);
    QMenu* skins = options->addMenu(QStringLiteral("Skin"));
    Skin11 = item(skins, "Skin1", &Tfm_main::Skin11Click);
    Skin21 = item(skins, "Skin2", &Tfm_main::Skin21Click);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    Content1 = item(help, "Content", &Tfm_main::Content1Click);
    About1 = item(help, "About", &Tfm_main::About1Click);

    vsPopupMenu1 = NewPopupMenu(this);
    AddFile2 = vsPopupMenu1->addAction(QStringLiteral("Add File"), this, &Tfm_main::AddFilesToLibrary);
    DeleteFile2 = vsPopupMenu1->addAction(QStringLiteral("Delete File Record"), this, &Tfm_main::DeleteFileRecords);
    Clear2 = vsPopupMenu1->addAction(QStringLiteral("Clear File Record"), this, &Tfm_main::ClearFileRecords);
    vsPopupMenu1->addSeparator();
    ID3Tag1 = vsPopupMenu1->addAction(QStringLiteral("ID3 Tag"), this, &Tfm_main::ID31Click);
    vsPopupMenu1->addSeparator();
    Plya1 = vsPopupMenu1->addAction(QStringLiteral("Play"), this, &Tfm_main::lv_playlistDblClick);
    Pause1 = vsPopupMenu1->addAction(QStringLiteral("Pause"), this, &Tfm_main::PauseResume);
    Stop1 = vsPopupMenu1->addAction(QStringLiteral("Stop"), this, &Tfm_main::StopPlayback);
    previous1 = vsPopupMenu1->addAction(QStringLiteral("Previous"), this, &Tfm_main::PlayPrevious);
    PlayNext1 = vsPopupMenu1->addAction(QStringLiteral("Next"), this, &Tfm_main::PlayNext);

    vsPopupMenu2 = NewPopupMenu(this);
    AddPlyalist1 = vsPopupMenu2->addAction(QStringLiteral("Add Playlist"), this, &Tfm_main::AddPlyalist1Click);
    DeletePlaylist1 = vsPopupMenu2->addAction(QStringLiteral("Delete Node"), this, &Tfm_main::DeleteFileRecords);
    Rescan2 = vsPopupMenu2->addAction(QStringLiteral("Rescan"), this, &Tfm_main::Rescan1Click);
    ApplySkinLook(1);
}

// ---------------------------------------------------------------- life cycle

void Tfm_main::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (formShown_) return;
    formShown_ = true;
    // After the event that shows the window, so that the skin may change
    // the frame of a window that exists.
    QTimer::singleShot(0, this, &Tfm_main::FormShow);
}

void Tfm_main::applyMainSkin() {
    Skin->setMainWindow(this);
    SkinNumber = IniFile().readInteger("basic", "skin", 1);
    if (SkinNumber == 1 || SkinNumber == 2) {
        const std::string skin = SkinNumber == 2 ? "skins/skin2.skn" : "skins/skin1.skn";
        Skin->loadSkin(QString::fromStdString(JoinPath(AssetRoot(), skin)));
    }
}

void Tfm_main::FormShow() {
    IniFile ini;
    applyMainSkin();
    WriteShellVerbEntry(QString::fromStdString(ProgramPath()));
    AudioFile21.readyFlag = true;

    Library = TrackLibrary(DataFolder(), PlaylistFolder());
    CreateFolderPath(Library.playlistFolder());
    CreateFolderPath(JoinPath(DataRoot(), "record"));
    RemoveStaleProgramTemporaries();
    loadLibraryTree();
    Library.ensureMusicFile();
    Skin->resetWindow(this);
    Skin->applySkinSection(this, QStringLiteral("Tunevale"));

    LoopPlaylist1->setChecked(ini.readBool(kFileManager, "loop playlist", true));
    RandomPlay1->setChecked(ini.readBool(kFileManager, "random play", false));
    ConfirmSaveonClose1->setChecked(ini.readBool(kFileManager, "confirm save", false));
    AutoSaveLoadLastPlaylist1->setChecked(ini.readBool(kFileManager, "auto save", true));
    if (fm_playlist) {
        fm_playlist->setSkinEngine(Skin);
        fm_playlist->setHost(this);
        fm_playlist->LoopPlay = LoopPlaylist1->isChecked();
        fm_playlist->RandomPlay = RandomPlay1->isChecked();
    }
    if (fm_mmain) {
        fm_mmain->setSkinEngine(Skin);
        connect(fm_mmain, &Tfm_mmain::closeRequested, this, &QWidget::close, Qt::UniqueConnection);
    }
    if (SkinNumber == 2) ApplySkinLook(2);

    if (fm_playlist) {
        fm_playlist->PlaylistIndex = -1;
        fm_playlist->PlayingPath.clear();
    }
    BindMainSkinObjects();
    if (SkinSoundbar) SkinSoundbar->setPosition(AudioPlayer21->volume());
    ClosingAfterError = false;
    MiniMode = false;
    addCommandLineFile();
    TreeView1->RefreshTreeImages();
    // The tree just read from its file is saved only when the save would
    // change the file: a large tree would otherwise be formatted and
    // compared on every start.
    if (!treeFileAsLoaded_ || !TreeView1->leavesUnmade()) SaveLibraryTree();
    treeFileAsLoaded_ = false;
    // The start-up benchmark times a start to here, then ends the program.
    if (qEnvironmentVariableIsSet("TUNEVALE_EXIT_WHEN_SHOWN")) {
        repaint();
        std::puts("shown");
        std::fflush(stdout);
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }
}

void Tfm_main::FormShowAfterMiniWindow() {
    applyMainSkin();
    Skin->resetWindow(this);
    Skin->applySkinSection(this, QStringLiteral("Tunevale"));
    ApplySkinLook(SkinNumber == 2 ? 2 : 1);
    BindMainSkinObjects();
    if (SkinSoundbar) SkinSoundbar->setPosition(AudioPlayer21->volume());
    ClosingAfterError = false;
    MiniMode = false;
    TreeView1->RefreshTreeImages();
    SaveLibraryTree();
}

void Tfm_main::loadLibraryTree() {
    std::optional<TreeTextLoad> load = Library.loadTree();
    treeFileAsLoaded_ = false;
    if (!load) return;
    if (load->leaves) TreeView1->setLeaves(std::move(*load->leaves));
    else TreeView1->setContent(std::move(load->content));
    treeFileAsLoaded_ = load->canonical;
    if (!load->levelError.empty()) ShowError(QString::fromStdString(load->levelError), this);
}

void Tfm_main::SaveLibraryTree() {
    if (!Library.saveTree(TreeView1->content()))
        ShowError(QStringLiteral("Cannot create file %1").arg(QString::fromStdString(Library.treeFile())), this);
}

bool Tfm_main::FormCloseQuery() {
    if (ClosingAfterError) return true;
    // A quit stops a tool's job: the question says which, and opens over
    // that tool's window (a modal one above all), so the tool stays in
    // sight instead of falling behind this window.
    QWidget* busy = Tools ? Tools->busyToolWindow() : nullptr;
    QString text = QStringLiteral("Are you sure to quit?");
    if (busy)
        text = QStringLiteral("The %1 window is still working: quitting stops its job.\n").arg(busy->windowTitle()) + text;
    QWidget* over = QApplication::activeModalWidget();
    if (!over) over = busy && busy->isVisible() ? busy : this;
    if (!AskConfirmation(text, over)) return false;
    // Its close stops the job as the tool's own Close does (a recording is
    // kept); a job running on this thread would otherwise go on to its end.
    // A tool that cannot stop its job now (a disc being written) refuses its
    // close and says why; the program then stays, or the disc would be lost.
    if (busy && !busy->close()) return false;
    SaveLibraryTree();
    return true;
}

void Tfm_main::FormClose() {
    // The playlist window keeps its list by its own close; the mini window
    // goes with the program.
    if (fm_playlist && fm_playlist->isVisible()) fm_playlist->close();
    if (fm_mmain) fm_mmain->hide();
    IniFile ini;
    ini.writeBool(kFileManager, "loop playlist", LoopPlaylist1->isChecked());
    ini.writeBool(kFileManager, "random play", RandomPlay1->isChecked());
    ini.writeBool(kFileManager, "confirm save", ConfirmSaveonClose1->isChecked());
    ini.writeBool(kFileManager, "auto save", AutoSaveLoadLastPlaylist1->isChecked());
}

void Tfm_main::closeEvent(QCloseEvent* event) {
    if (LibraryBusy) {
        // The loop lets this close through its event pump; it runs again
        // once the loop has finished its files.
        closeAfterLoop_ = true;
        event->ignore();
        return;
    }
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    FormClose();
    // The program ends with this window, not with the last visible one.
    QCoreApplication::quit();
}

void Tfm_main::Exit1Click() { close(); }

void Tfm_main::Content1Click() { showHelp(); }

void Tfm_main::showHelp() {
    const QString help = QString::fromStdString(JoinPath(AssetRoot(), "help/tunevale.html"));
    if (!OpenUrl(QUrl::fromLocalFile(help)))
        ShowError(QStringLiteral("The help cannot be shown: no web browser or program to open %1 is installed.").arg(help),
                  this);
}

// An open popup, or the menu bar that the keyboard walks, takes Escape to
// close itself: the press is the user's way out of the menu, not out of the
// program.
bool Tfm_main::menuTakesEscape() const {
    if (QApplication::activePopupWidget()) return true;
    const auto* bar = qobject_cast<QMenuBar*>(QApplication::focusWidget());
    return bar && bar->activeAction();
}

bool Tfm_main::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == TreeView1 || watched == lv_playlist) &&
        listKeyPress(watched, static_cast<QKeyEvent*>(event)))
        return true;
    // Keys arrive first at the window of the widget that has the focus,
    // once per press, whichever window of the program that is.
    if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape && QApplication::activeWindow() == this && !menuTakesEscape())
            QTimer::singleShot(0, this, [this] { close(); });
        else if (key == Qt::Key_F1) showHelp();
    } else if (event->type() == QEvent::MouseButtonPress) {
        if (watched == lv_playlist->viewport()) {
            TreeFocused = false;
        } else if (watched == TreeView1->viewport() &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            // A right press selects the node under the mouse and lists it
            // before its popup opens.
            if (QTreeWidgetItem* item = TreeView1->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint())) {
                TreeView1->clearSelection();
                TreeView1->setCurrentItem(item);
                TreeView1Click();
            }
        }
    }
    return false;
}

// The keyboard does what the mouse does: Enter or Space on the tree's node
// lists it as a click on it does, and Home and End in the track list go to
// its first and last row rather than to its first and last column.
bool Tfm_main::listKeyPress(QObject* watched, QKeyEvent* key) {
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (watched == TreeView1) {
        const bool activates = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
        if (!activates || modifiers != Qt::NoModifier || !TreeView1->currentItem()) return false;
        TreeView1Click();
        return true;
    }
    if ((key->key() != Qt::Key_Home && key->key() != Qt::Key_End) || (modifiers & ~Qt::ShiftModifier)) return false;
    const int rows = ListModel->rowCount();
    if (rows == 0) return true;
    const int target = key->key() == Qt::Key_Home ? 0 : rows - 1;
    const QModelIndex current = lv_playlist->currentIndex();
    const QModelIndex to = ListModel->index(target, std::max(0, current.column()));
    QItemSelectionModel* selection = lv_playlist->selectionModel();
    if (modifiers & Qt::ShiftModifier) {
        // Shift extends the selection from the current row, as the arrows do.
        const int from = current.isValid() ? current.row() : target;
        selection->select(QItemSelection(ListModel->index(std::min(from, target), 0), ListModel->index(std::max(from, target), 0)),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->setCurrentIndex(to, QItemSelectionModel::NoUpdate);
    } else {
        selection->setCurrentIndex(to, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    lv_playlist->scrollTo(to);
    return true;
}

void Tfm_main::ApplicationEvents1Exception(const QString& message, const QString& className) {
    if (IgnoreNextException) {
        IgnoreNextException = false;
        return;
    }
    ClosingAfterError = true;
    AppendErrorLog(QString::fromStdString(Library.errorLogFile()), message, className);
    const bool again =
        AskConfirmation(QStringLiteral("A system error occurs,click Yes to execute again,click No to exit!"), this);
    close();
    if (again) StartDetached(QString::fromStdString(ProgramPath()));
}

// ------------------------------------------------------ tree and track list

void Tfm_main::TreeView1Click() {
    if (TreeView1->hasFocus()) TreeFocused = true;
    QTreeWidgetItem* node = TreeView1->currentItem();
    std::vector<ListRow> rows;
    try {
        FillRows(TreeView1->fillOf(node), Library.musicFile(), Library.playlistFolder(), rows);
    } catch (const TunevaleError& e) {
        // A playlist file that cannot be read: the rows read before the
        // fault are shown.
        ListModel->setRows(std::move(rows));
        ShowError(QString::fromUtf8(e.what()), this);
        return;
    }
    ListModel->setRows(std::move(rows));
}

void Tfm_main::lv_playlistColumnClick(int column) {
    QTreeWidgetItem* node = TreeView1->currentItem();
    if (!node || node == TreeView1->myHabitNode() || ListModel->rowCount() == 0) return;
    if (column < 0 || column >= TrackListModel::kColumnCount) return;
    for (int c = 0; c < TrackListModel::kColumnCount; ++c) ListModel->setHeaderImage(c, -1);
    const bool ascending = ColumnSortFlags[static_cast<std::size_t>(column)];
    ListModel->sortByColumn(column, ascending);
    ListModel->setHeaderImage(column, ascending ? 0 : 1);
    ColumnSortFlags[static_cast<std::size_t>(column)] = !ascending;
}

void Tfm_main::TreeView1ContextPopup() {
    QTreeWidgetItem* node = TreeView1->currentItem();
    DeletePlaylist1->setEnabled(node && node->parent() && TreeView1->absoluteIndex(node) >= LibraryTree::kMyArtistIndex);
    AddPlyalist1->setEnabled(true);
    Rescan2->setEnabled(true);
}

std::vector<int> Tfm_main::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : lv_playlist->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void Tfm_main::SelectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    const int last = TrackListModel::kColumnCount - 1;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
        selection.select(ListModel->index(rows[i], 0), ListModel->index(rows[j], last));
        i = j + 1;
    }
    lv_playlist->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty())
        lv_playlist->selectionModel()->setCurrentIndex(ListModel->index(rows.front(), 0), QItemSelectionModel::NoUpdate);
}

// -------------------------------------------------------------- adding files

void Tfm_main::AddFilesToLibrary() {
    if (LibraryBusy) return;
    IniFile ini;
    FileDialogRequest request;
    request.mode = FileDialogMode::OpenMany;
    request.title = QStringLiteral("Add File(s) to Playlist");
    request.folder = StoredFolderOr(QString::fromStdString(ini.readString(kFileManager, "add path", "")),
                                    DialogStartFolder());
    request.filter = QStringLiteral(
        "All Supported Formats (*.mp3,*.wav,*.ogg,*.wma)|*.mp3;*.wav;*.ogg;*.wma|MP3 Files (*.mp3)|*.mp3|"
        "WAV Files (*.wav)|*.wav|OGG Files (*.ogg)|*.ogg|WMA Files (*.wma)|*.wma");
    request.parent = this;
    const FileDialogResult result = RunFileDialog(request);
    if (!result.accepted || result.files.isEmpty()) return;
    ini.writeString(kFileManager, "add path", QFileInfo(result.files.first()).absolutePath().toStdString());
    AddChosenFiles(result.files);
}

void Tfm_main::addOneFile(const std::string& path, AddTally& tally) {
    const AddResult added = Library.add(path, DateAddedNow());
    tally.count(added);
    TakeAddResult(added);
}

void Tfm_main::AddChosenFiles(const QStringList& files) {
    if (!BeginLibraryLoop()) return;
    AddTally tally;
    // A library file deleted behind our back is made again rather than
    // leaving every record of this add unwritten.
    Library.ensureMusicFile();
    // Temporaries that a killed tag writer left beside the files go first,
    // once for each folder.
    std::set<std::string> folders;
    for (const QString& file : files) folders.insert(ParentFolder(toPath(file)));
    for (const std::string& folder : folders) RemoveStaleTemporaries(folder);
    for (const QString& file : files) {
        addOneFile(toPath(file), tally);
        PumpLibraryLoop();
    }
    EndLibraryLoop();
    if (IsPlaying && ListModel->rowCount() > PlayIndex + 1) SelectRows({PlayIndex});
    TreeView1->RefreshTreeImages();
    TreeView1->viewport()->update();
    SaveLibraryTree();
    reportAddTally(tally);
    CloseIfAskedDuringLoop();
}

// The files skipped go under the message, one per line, for the user to find
// them.
void Tfm_main::reportAddTally(const AddTally& tally) {
    if (!tally.writeError.empty()) {
        ShowError(QString::fromStdString(tally.writeError), this);
    } else if (tally.skipped > 0) {
        QStringList names;
        for (const std::string& file : tally.skippedFiles) names << QString::fromStdString(file);
        ShowInformation(QStringLiteral("%1 file(s) could not be read and were skipped.").arg(tally.skipped),
                        names.join(QLatin1Char('\n')), this);
    }
}

void Tfm_main::addCommandLineFile() {
    if (Parameters.isEmpty() || AudioKindOfPath(toPath(Parameters.first())) == AudioKind::None) return;
    // A relative path names the file only from the folder the program was
    // started in; the record must name it from anywhere.
    const QString parameter = QFileInfo(Parameters.first()).absoluteFilePath();
    const std::string path = toPath(parameter);
    AddTally tally;
    if (!BeginLibraryLoop()) return;
    addOneFile(path, tally);
    EndLibraryLoop();
    reportAddTally(tally);

    TreeView1->setCurrentItem(TreeView1->allTitleNode());
    TreeView1Click();
    std::vector<int> matching;
    for (int row = 0; row < ListModel->rowCount(); ++row)
        if (ListModel->path(row) == path) matching.push_back(row);
    SelectRows(matching);
    if (matching.empty()) return;
    setFileNameText(QFileInfo(parameter).fileName());
    CurrentFile = path;
    PlayNodeText = TreeView1->currentItem()->text(0);
    PlayIndex = matching.front();
    lv_playlist->scrollTo(ListModel->index(PlayIndex, 0));
    Playback.open(CurrentFile);
    PlayCurrent();
}
