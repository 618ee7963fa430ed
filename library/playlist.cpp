#include "library/playlist.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTreeView>

#include <algorithm>
#include <limits>

#include "components/player/audioplayer.h"
#include "components/skin/skinengine.h"
#include "components/skin/skinobject.h"
#include "library/playlisthost.h"
#include "library/playlistmodel.h"
#include "library/playlistnavigation.h"
#include "library/playtime.h"
#include "library/playlists/m3u.h"
#include "library/playlists/playlistformat.h"
#include "library/playlists/pls.h"
#include "platform/eventpump.h"
#include "platform/filedialogs.h"
#include "platform/inifile.h"
#include "platform/keyboard.h"
#include "platform/messageboxes.h"
#include "platform/paths.h"
#include "platform/userfolders.h"

Tfm_playlist* fm_playlist = nullptr;

namespace {

constexpr const char* kSection = "PlayList";
constexpr const char* kFileDirectoryKey = "file directory";
constexpr const char* kListDirectoryKey = "list file directory";
constexpr const char* kListSaveDirectoryKey = "list file save directory";

const QString kAddTitle = QStringLiteral("Add File(s) to Playlist");
const QString kAddFilter = QStringLiteral(
    "All Supported Formats (*.mp3,*.wav,*.ogg,*.wma)|*.mp3;*.wav;*.ogg;*.wma|MP3 Files (*.mp3)|*.mp3|"
    "WAV Files (*.wav)|*.wav|OGG Files (*.ogg)|*.ogg|WMA Files (*.wma)|*.wma");
const QString kListTitle = QStringLiteral("Load From Playlist File..");
const QString kListFilter = QStringLiteral("m3u files(*.m3u)|*.m3u|pls files(*.pls)|*.pls");
// A burst of edits (a drag of moves, a long add) is written once.
constexpr int kWorkingListDelayMs = 300;

const QString kSaveFirst = QStringLiteral("The current playlist has not been saved. Save first?");

// The bar counts per mille; a position at or past this is the end of the track.
constexpr int kBarEnd = 996;

QString Text(const std::string& s) { return QString::fromStdString(s); }
std::string Bytes(const QString& s) { return s.toStdString(); }

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

std::string StoredFolder(const char* key) {
    return Bytes(StoredFolderOr(Text(IniFile().readString(kSection, key, "")), DialogStartFolder()));
}

// Runs a dialog that starts in the folder remembered under key; a dialog
// left without a file name counts as cancelled.
FileDialogResult RunDialogIn(FileDialogMode mode, const QString& title, const QString& filter, const char* key,
                             QWidget* parent) {
    FileDialogRequest request;
    request.mode = mode;
    request.title = title;
    request.filter = filter;
    request.folder = Text(StoredFolder(key));
    request.parent = parent;
    FileDialogResult chosen = RunFileDialog(request);
    if (chosen.files.isEmpty() || chosen.files.first().isEmpty()) chosen.accepted = false;
    return chosen;
}

}  // namespace

Tfm_playlist::Tfm_playlist(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ownHost_(std::make_unique<StandalonePlaylistHost>()) {
    setWindowTitle(QStringLiteral("Playlist"));
    resize(253, 321);

    model_ = new PlaylistModel(this);
    lv = new QTreeView(this);
    lv->setObjectName(QStringLiteral("lv"));
    lv->setModel(model_);
    lv->setHeaderHidden(true);
    lv->setRootIsDecorated(false);
    lv->setItemsExpandable(false);
    lv->setUniformRowHeights(true);
    lv->setAllColumnsShowFocus(true);
    lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv->setDragDropMode(QAbstractItemView::NoDragDrop);
    lv->setSortingEnabled(false);
    lv->header()->setStretchLastSection(false);
    lv->header()->setSectionResizeMode(QHeaderView::Fixed);
    // The two columns share 209 pixels; the time takes what "00:00" needs in
    // the list's font (at least 40), so that it is never cut to "01:...".
    const int timeWidth = std::max(40, lv->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 12);
    lv->setColumnWidth(PlaylistModel::NameColumn, 209 - timeWidth);
    lv->setColumnWidth(PlaylistModel::TimeColumn, timeWidth);
    lv->setColumnHidden(PlaylistModel::PathColumn, true);
    lv->setGeometry(6, 34, 241, 223);
    lv->installEventFilter(this);
    connect(lv, &QAbstractItemView::doubleClicked, this, [this] { lvDblClick(); });
    RunOnEnter(lv, [this] { lvDblClick(); });

    connect(&session_, &PlaybackSession::onPosition, this, &Tfm_playlist::AudioPlayerTimer);
    connect(&session_, &PlaybackSession::onEndPlay, this, &Tfm_playlist::AudioPlayerEndPlay);

    // Whatever changed the rows: an edit of the list, an add, a sort.
    workingListWrite_.setSingleShot(true);
    workingListWrite_.setInterval(kWorkingListDelayMs);
    connect(&workingListWrite_, &QTimer::timeout, this, &Tfm_playlist::writeWorkingList);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &Tfm_playlist::scheduleWorkingListWrite);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &Tfm_playlist::scheduleWorkingListWrite);
    connect(model_, &QAbstractItemModel::modelReset, this, &Tfm_playlist::scheduleWorkingListWrite);
    connect(model_, &QAbstractItemModel::layoutChanged, this, &Tfm_playlist::scheduleWorkingListWrite);
    connect(model_, &QAbstractItemModel::dataChanged, this, &Tfm_playlist::scheduleWorkingListWrite);
}

Tfm_playlist::~Tfm_playlist() = default;

void Tfm_playlist::setSkinEngine(SkinEngine* engine) {
    if (engine_) disconnect(engine_, nullptr, this, nullptr);
    engine_ = engine;
    if (!engine) return;
    connect(engine, &SkinEngine::onClick, this, &Tfm_playlist::onSkinClick);
    connect(engine, &SkinEngine::onMouseDown, this,
            [this](SkinObject* source, int button, int, int) { onSkinMouseDown(source, button); });
    connect(engine, &SkinEngine::onMouseUp, this,
            [this](SkinObject* source, int button, int, int) { onSkinMouseUp(source, button); });
}

void Tfm_playlist::setHost(PlaylistWindowHost* host) { host_ = host; }

void Tfm_playlist::setRandomDraw(std::function<int(int)> draw) { draw_ = std::move(draw); }

PlaylistWindowHost& Tfm_playlist::host() const { return host_ ? *host_ : *ownHost_; }

const std::vector<PlaylistRow>& Tfm_playlist::rows() const { return model_->rows(); }

int Tfm_playlist::rowCount() const { return model_->count(); }

std::string Tfm_playlist::LastPlaylistPath() { return JoinPath(PlaylistFolder(), kLastPlaylistName); }

// ---------------------------------------------------------------------------
// Selection

std::vector<int> Tfm_playlist::selectedRows() const {
    const std::vector<char> mask = SelectedRowMask(lv->selectionModel(), rowCount());
    std::vector<int> out;
    for (size_t i = 0; i < mask.size(); ++i)
        if (mask[i]) out.push_back(static_cast<int>(i));
    return out;
}

void Tfm_playlist::selectRows(const std::vector<int>& rows) {
    std::vector<char> mask(static_cast<size_t>(rowCount()), 0);
    for (int r : rows)
        if (model_->isRow(r)) mask[static_cast<size_t>(r)] = 1;
    ApplySelectedRowMask(lv->selectionModel(), mask);
}

bool Tfm_playlist::isRowSelected(int row) const {
    return model_->isRow(row) && lv->selectionModel()->isRowSelected(row, {});
}

void Tfm_playlist::selectRow(int row) {
    if (!model_->isRow(row)) return;
    const QModelIndex index = model_->index(row, 0);
    lv->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    lv->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void Tfm_playlist::deselectRow(int row) {
    if (!model_->isRow(row)) return;
    lv->selectionModel()->select(model_->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

// ---------------------------------------------------------------------------
// List editing

void Tfm_playlist::clearList() { model_->clear(); }

void Tfm_playlist::appendRows(std::vector<PlaylistRow> rows) { model_->appendRows(std::move(rows)); }

void Tfm_playlist::ClearPlaylist() {
    if (rowCount() == 0) return;
    const MessageAnswer answer = ShowMessage({MessageKind::Confirmation, QStringLiteral("Confirmation"),
                                              QStringLiteral("Are you sure to remove all the file records?\n"
                                                             "Your files will not be removed from your computer."),
                                              MessageButtons::YesNo, this, {}});
    if (answer == MessageAnswer::No) return;
    clearList();
    PlaylistIndex = -1;
    PlayingPath.clear();
    // The list no longer equals the file it came from: an automatic save must
    // write the empty list, or the cleared rows come back at the next show.
    PlaylistSaved = false;
}

void Tfm_playlist::RemoveSelectedEntries() {
    const std::vector<char> mask = SelectedRowMask(lv->selectionModel(), rowCount());
    if (std::find(mask.begin(), mask.end(), 1) == mask.end()) return;
    model_->removeRows(mask);
    PlaylistSaved = false;
}

void Tfm_playlist::MoveSelectedDown() { moveSelected(MoveRowsDown); }

void Tfm_playlist::MoveSelectedUp() { moveSelected(MoveRowsUp); }

void Tfm_playlist::moveSelected(bool (*move)(std::vector<PlaylistRow>&, std::vector<char>&, int&)) {
    model_->setSortByName(false);
    std::vector<PlaylistRow> rows = model_->rows();
    std::vector<char> selected = SelectedRowMask(lv->selectionModel(), rowCount());
    if (!move(rows, selected, PlaylistIndex)) return;
    model_->replaceContents(std::move(rows));
    ApplySelectedRowMask(lv->selectionModel(), selected);
    PlaylistSaved = false;
}

void Tfm_playlist::AddFilesToPlaylist() {
    if (adding_) return;
    const FileDialogResult chosen = RunDialogIn(FileDialogMode::OpenMany, kAddTitle, kAddFilter, kFileDirectoryKey, this);
    if (!chosen.accepted) return;

    IniFile().writeString(kSection, kFileDirectoryKey, ParentFolder(Bytes(chosen.files.first())));
    PlaylistSaved = false;

    // Rows go in by batches between repaints: a repaint per file would cost
    // more than reading the files.
    adding_ = true;
    const int closesAtStart = closes_;
    std::vector<PlaylistRow> batch;
    EventPump repaint;
    AudioFile probe;
    for (const QString& file : chosen.files) {
        const std::string path = Bytes(file);
        if (!FileExists(path)) {
            ShowInformation(file + QStringLiteral(" has been removed!"), this);
            continue;
        }
        if (repaint.pump([&] {
                appendRows(std::move(batch));
                batch.clear();
            })) {
            // Closed meanwhile: the list was saved and emptied, and what is
            // left of the batch belongs to no list.
            if (closes_ != closesAtStart) break;
        }
        // No line of a playlist file can hold a path with a line break.
        if (HasLineBreak(path) || !probe.open(path, 0, 1)) {
            probe.close();
            ShowInformation(file + QStringLiteral(" is an invalid audio file!"), this);
            continue;
        }
        if (probe.getLength() == 0) {
            probe.close();
            ShowInformation(file + QStringLiteral(" is an empty file!"), this);
            continue;
        }
        const int64_t seconds = probe.getDuration() / 1000;
        probe.close();
        batch.push_back({std::string(FileNamePart(path)),
                         TimeText(static_cast<int>(std::min<int64_t>(seconds, std::numeric_limits<int>::max()))), path});
    }
    if (closes_ == closesAtStart) appendRows(std::move(batch));
    adding_ = false;
}

// ---------------------------------------------------------------------------
// Playlist files

bool Tfm_playlist::readPlaylist(const std::string& fileName, PlaylistFormat format) {
    const PlaylistReadResult result = ReadPlaylistFile(fileName, format);
    if (!result.ok) {
        ShowError(Text(result.error), this);
        return false;
    }
    appendRows(result.rows());
    PlaylistSaved = true;
    return true;
}

bool Tfm_playlist::writePlaylist(const std::string& fileName, PlaylistFormat format, const std::string& chosenName) {
    const AtomicWriteResult result = format == PlaylistFormat::M3u
                                         ? WriteM3uPlaylist(fileName, rows())
                                         : WritePlsPlaylist(fileName, rows(), chosenName);
    if (!result) {
        ShowError(QStringLiteral("Cannot create file %1").arg(Text(fileName)), this);
        return false;
    }
    PlaylistSaved = true;
    return true;
}

void Tfm_playlist::OpenPlaylistFile() {
    if (adding_) return;
    if (rowCount() > 0 && !PlaylistSaved && AskConfirmation(kSaveFirst, this)) SavePlaylistAs();
    clearList();
    PlaylistIndex = -1;
    PlayingPath.clear();

    const FileDialogResult chosen =
        RunDialogIn(FileDialogMode::Open, kListTitle, kListFilter, kListDirectoryKey, this);
    if (!chosen.accepted) return;

    const std::string fileName = Bytes(chosen.files.first());
    IniFile().writeString(kSection, kListDirectoryKey, ParentFolder(fileName));
    readPlaylist(fileName, PlaylistFormatForFilterIndex(chosen.filterIndex));
}

void Tfm_playlist::SavePlaylistAs() {
    if (PlaylistSaved || rowCount() == 0) return;
    const FileDialogResult chosen =
        RunDialogIn(FileDialogMode::Save, kListTitle, kListFilter, kListDirectoryKey, this);
    if (!chosen.accepted) return;

    const std::string chosenName = Bytes(chosen.files.first());
    const std::string folder = ParentFolder(chosenName);
    IniFile ini;
    ini.writeString(kSection, kListDirectoryKey, folder);
    ini.writeString(kSection, kListSaveDirectoryKey, folder);

    const PlaylistFormat format = PlaylistFormatForFilterIndex(chosen.filterIndex);
    const std::string fileName = SavePlaylistFileName(chosenName, format);
    if (FileExists(fileName) && !AskConfirmation(Text(fileName) + QStringLiteral(" already exists. Overwrite it?"), this))
        return;
    if (!writePlaylist(fileName, format, chosenName)) return;
    host().RegisterSavedPlaylist(fileName, rows());
}

// ---------------------------------------------------------------------------
// Playing

SkinObject* Tfm_playlist::playButton() const { return PlaylistMinimized ? SkinMinbutton2 : SkinButton2; }

SkinToggle* Tfm_playlist::randomButton() const { return PlaylistMinimized ? SkinmListrandom : SkinListrandom; }

void Tfm_playlist::setPlayButtonIdle() {
    PlaylistButtonUp = true;
    if (SkinObject* button = playButton()) button->setButtonUp(true);
}

void Tfm_playlist::applyPlayButtonLook() {
    if (SkinObject* button = playButton()) button->setButtonUp(PlaylistButtonUp);
}

void Tfm_playlist::readRandomButton() {
    if (SkinToggle* toggle = randomButton()) RandomPlay = toggle->getState();
    host().SetRandomPlayChecked(RandomPlay);
}

void Tfm_playlist::setBarPosition(int perMille) {
    if (!PlaylistMinimized && ListMediabar) ListMediabar->setPosition(perMille);
}

void Tfm_playlist::resumePlayer() {
    session_.resume();
    PlaylistPlaying = true;
}

void Tfm_playlist::stopOnFailedStart() {
    session_.close();
    PlaylistPlaying = false;
    PlaylistPaused = false;
    setPlayButtonIdle();
}

void Tfm_playlist::PlayPlaylistItem() {
    if (host().MainPlayerPlaying()) host().StopMainPlayback();
    if (PlaylistPlaying) StopPlaylistPlayback();
    if (rowCount() == 0) return;

    const int first = FirstSelectedRow(lv->selectionModel());
    if (first >= 0) PlaylistIndex = first;
    if (!model_->isRow(PlaylistIndex)) {
        PlaylistIndex = 0;
        selectRow(0);
    }
    PlaylistPlaying = true;

    if (PlaylistPaused && audioPlayer()->getError() == 0 && session_.isOpen()) {
        resumePlayer();
        return;
    }

    PlayingPath = model_->row(PlaylistIndex).path;
    if (!FileExists(PlayingPath)) {
        ShowInformation(Text(PlayingPath) + QStringLiteral(" has been removed!"), this);
        stopOnFailedStart();
        model_->removeRowAt(PlaylistIndex);
        return;
    }
    if (!session_.open(PlayingPath)) {
        ShowInformation(Text(PlayingPath) + QStringLiteral(" is an invalid audio file!"), this);
        stopOnFailedStart();
        return;
    }
    session_.start(ResumePosition());
}

void Tfm_playlist::PlaylistPauseResume() {
    if (PlaylistPlaying) {
        session_.pause();
        PlaylistPaused = true;
        PlaylistPlaying = false;
        return;
    }
    // Stopped, there is nothing to resume: starting the player on a closed
    // file would end at once and skip to the next entry.
    if (!session_.isOpen()) return;
    resumePlayer();
}

void Tfm_playlist::StopPlaylistPlayback() {
    session_.close();
    setBarPosition(0);
    PlaylistPlaying = false;
    PlaylistPaused = false;
}

void Tfm_playlist::playNewRow(std::optional<int> row) {
    if (!row) return;
    deselectRow(PlaylistIndex);
    PlaylistIndex = *row;
    selectRow(*row);
    PlayPlaylistItem();
}

void Tfm_playlist::PlaylistPlayNext() {
    StopPlaylistPlayback();
    playNewRow(NextPlaylistRow(PlaylistIndex, rowCount(), LoopPlay));
}

void Tfm_playlist::PlaylistPlayPrevious() {
    StopPlaylistPlayback();
    playNewRow(PreviousPlaylistRow(PlaylistIndex, rowCount(), LoopPlay));
}

void Tfm_playlist::AudioPlayerEndPlay() {
    StopPlaylistPlayback();
    readRandomButton();
    const auto draw = draw_ ? draw_ : [](int n) { return static_cast<int>(QRandomGenerator::global()->bounded(n)); };
    const std::optional<int> row = EndOfPlayRow(PlaylistIndex, rowCount(), LoopPlay, RandomPlay, draw);
    if (!row) {
        setPlayButtonIdle();
        return;
    }
    playNewRow(row);
}

void Tfm_playlist::AudioPlayerTimer(qint64 heardFrame) {
    if (PlaylistMinimized) return;
    setBarPosition(PerMille(heardFrame, session_.length()));
}

void Tfm_playlist::lvDblClick() {
    StopPlaylistPlayback();
    PlaylistIndex = FirstSelectedRow(lv->selectionModel());
    PlayPlaylistSelection();
}

void Tfm_playlist::lvKeyDown() {
    if (!lv->selectionModel()->hasSelection() && lv->selectionModel()->currentIndex().isValid())
        lv->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

// ---------------------------------------------------------------------------
// The skin's buttons

void Tfm_playlist::PlayPlaylistSelection() {
    PlaylistButtonUp = false;
    if (SkinObject* button = playButton()) button->setButtonUp(false);
    PlayPlaylistItem();
}

void Tfm_playlist::ListplayClick() {
    if (rowCount() == 0) return;
    const int first = FirstSelectedRow(lv->selectionModel());
    PlaylistIndex = first >= 0 ? first : 0;
    PlayingPath = model_->row(PlaylistIndex).path;
    lv->setSelectionMode(QAbstractItemView::SingleSelection);
    lv->clearSelection();
    selectRow(PlaylistIndex);
    PlayPlaylistSelection();
}

void Tfm_playlist::ListstopClick() {
    setPlayButtonIdle();
    StopPlaylistPlayback();
    lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    selectRow(PlaylistIndex);
}

void Tfm_playlist::applySection(const QString& section) {
    if (!engine_) return;
    engine_->resetWindow(this);
    engine_->applySkinSection(this, section);
    BindPlaylistSkinObjects();
}

void Tfm_playlist::BindPlaylistSkinObjects() {
    auto find = [this](const char* name) -> SkinObject* {
        return engine_ ? engine_->findSkinObject(this, QString::fromLatin1(name)) : nullptr;
    };
    auto toggle = [&](const char* name) -> SkinToggle* {
        SkinObject* o = find(name);
        return o ? o->as<SkinToggle>() : nullptr;
    };
    SkinButton2 = find("button2");
    SkinMinbutton2 = find("Minbutton2");
    SkinListrandom = toggle("Listrandom");
    SkinmListrandom = toggle("mListrandom");
    SkinObject* bar = find("Listmediabar");
    ListMediabar = bar ? bar->as<SkinScrollBar>() : nullptr;
}

void Tfm_playlist::ShowMiniPlaylist() { switchForm(true); }

void Tfm_playlist::ShowFullPlaylist() { switchForm(false); }

void Tfm_playlist::ReapplyPlaylistSkin() { switchForm(PlaylistMinimized); }

void Tfm_playlist::switchForm(bool mini) {
    readRandomButton();
    if (mini) lv->hide();
    applySection(mini ? QStringLiteral("minPlaylist") : QStringLiteral("Playlist"));
    PlaylistMinimized = mini;
    applyPlayButtonLook();
    if (SkinToggle* toggle = randomButton()) toggle->setState(host().RandomPlayChecked());
    if (mini) return;
    lv->show();
    if (PlaylistIndex != -1 && model_->isRow(PlaylistIndex)) {
        lv->setFocus();
        selectRow(PlaylistIndex);
        PlayingPath = model_->row(PlaylistIndex).path;
    }
}

void Tfm_playlist::OpenPlaylistWindow(std::optional<QPoint> topRight) {
    if (isVisible()) return;
    applySection(QStringLiteral("Playlist"));
    PlaylistMinimized = false;
    PlaylistButtonUp = true;
    applyPlayButtonLook();
    if (SkinListrandom) SkinListrandom->setState(host().RandomPlayChecked());
    setBarPosition(0);
    // A window closed in its small form comes back in its full one.
    lv->show();
    if (topRight) move(topRight->x() - frameGeometry().width(), topRight->y());
    show();
}

void Tfm_playlist::ListMediabarMouseDown() {
    if (!PlaylistPlaying) return;
    session_.stop();
    PlaylistPaused = true;
    PlaylistPlaying = false;
}

void Tfm_playlist::ListMediabarMouseUp() {
    if (!PlaylistPaused || !ListMediabar) return;
    const int pos = ListMediabar->getPosition();
    if (pos < kBarEnd) {
        session_.moveTo(PositionAt(pos, session_.length()));
        PlayPlaylistItem();
    } else {
        AudioPlayerEndPlay();
    }
}

void Tfm_playlist::SortPlaylistByName() {
    model_->setSortByName(true);
    if (PlayingPath.empty()) return;
    const auto& all = rows();
    const auto found = std::find_if(all.begin(), all.end(), [this](const PlaylistRow& r) { return r.path == PlayingPath; });
    if (found != all.end()) PlaylistIndex = static_cast<int>(found - all.begin());
}

void Tfm_playlist::onSkinClick(SkinObject* source) {
    if (!source || source->window() != this) return;
    const QString name = source->getName();
    if (name == QLatin1String("Listopen")) OpenPlaylistFile();
    else if (name == QLatin1String("Listsave")) SavePlaylistAs();
    else if (name == QLatin1String("Listplay")) ListplayClick();
    else if (name == QLatin1String("Listadd")) AddFilesToPlaylist();
    else if (name == QLatin1String("Listdelete")) RemoveSelectedEntries();
    else if (name == QLatin1String("Listup")) MoveSelectedUp();
    else if (name == QLatin1String("Listdown")) MoveSelectedDown();
    else if (name == QLatin1String("Listclear")) ClearPlaylist();
    else if (name == QLatin1String("Listprevious")) PlaylistPlayPrevious();
    else if (name == QLatin1String("Listplay2")) PlayPlaylistItem();
    else if (name == QLatin1String("Listpause")) PlaylistPauseResume();
    else if (name == QLatin1String("Liststop")) ListstopClick();
    else if (name == QLatin1String("Listnext")) PlaylistPlayNext();
    else if (name == QLatin1String("Listmin")) ShowMiniPlaylist();
    else if (name == QLatin1String("Minlistmin")) ShowFullPlaylist();
}

void Tfm_playlist::onSkinMouseDown(SkinObject* source, int button) {
    if (button == 1 && source && source->window() == this && source->getName() == QLatin1String("Listmediabar"))
        ListMediabarMouseDown();
}

void Tfm_playlist::onSkinMouseUp(SkinObject* source, int button) {
    if (button == 1 && source && source->window() == this && source->getName() == QLatin1String("Listmediabar"))
        ListMediabarMouseUp();
}

// ---------------------------------------------------------------------------
// Show and close

void Tfm_playlist::FormShow() {
    resize(253, 321);
    session_.decoder().readyFlag = true;
    session_.close();
    PlaylistPlaying = false;
    PlaylistPaused = false;
    model_->setSortByName(false);
    clearList();
    const std::string last = LastPlaylistPath();
    if (host().AutoSaveLoadLastPlaylistChecked() && FileExists(last)) readPlaylist(last, PlaylistFormat::M3u);
}

void Tfm_playlist::scheduleWorkingListWrite() {
    // Started only when idle, so that a steady stream of changes is still
    // written every little while.
    if (!workingListWrite_.isActive()) workingListWrite_.start();
}

// Only the list that the close would write, and without marking it saved: a
// list the user has not saved to a file of their own is still unsaved.
void Tfm_playlist::writeWorkingList() {
    if (!formShown_ || PlaylistSaved || !host().AutoSaveLoadLastPlaylistChecked()) return;
    CreateFolderPath(PlaylistFolder());
    if (!WriteM3uPlaylist(LastPlaylistPath(), rows()))
        qWarning("The playlist window's list could not be written to %s", LastPlaylistPath().c_str());
}

void Tfm_playlist::FormClose() {
    workingListWrite_.stop();
    if (PlaylistPlaying || PlaylistPaused) StopPlaylistPlayback();
    readRandomButton();
    if (!PlaylistSaved) {
        if (host().AutoSaveLoadLastPlaylistChecked()) {
            CreateFolderPath(PlaylistFolder());
            writePlaylist(LastPlaylistPath(), PlaylistFormat::M3u, LastPlaylistPath());
        } else if (host().ConfirmSaveOnCloseChecked() && rowCount() > 0 && AskConfirmation(kSaveFirst, this)) {
            SavePlaylistAs();
        }
    }
    clearList();
}

void Tfm_playlist::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Dressing the window in another section shows it again; only a window
    // that was closed starts afresh.
    if (event->spontaneous() || formShown_) return;
    formShown_ = true;
    FormShow();
}

// Escape closes the window as it closes the tool windows.
void Tfm_playlist::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) close();
    else QWidget::keyPressEvent(event);
}

void Tfm_playlist::closeEvent(QCloseEvent* event) {
    if (formShown_) {
        formShown_ = false;
        ++closes_;
        FormClose();
    }
    event->accept();
}

bool Tfm_playlist::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lv && event->type() == QEvent::KeyPress) lvKeyDown();
    return QWidget::eventFilter(watched, event);
}
