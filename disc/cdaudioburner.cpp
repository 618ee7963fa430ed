#include "disc/cdaudioburner.h"

#include <QComboBox>
#include <QShowEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>

#include <algorithm>

#include "components/audio/audiofile.h"
#include "components/discwriter/audiodiscwriter.h"
#include "disc/audiocdsettings.h"
#include "disc/cdconversionjob.h"
#include "disc/cdfilelist.h"
#include "disc/discwindows.h"
#include "disc/erase.h"
#include "disc/option.h"
#include "platform/filedialogs.h"
#include "platform/folderwalk.h"
#include "platform/inifile.h"
#include "platform/keyboard.h"
#include "platform/messageboxes.h"
#include "platform/ownedfiles.h"
#include "platform/presenter.h"
#include "platform/userfolders.h"
#include "platform/keyboard.h"
#include "skin/menu.h"
#include "tags/audiokind.h"
#include "windowkit/disctoolservices.h"
#include "windowkit/toolcontrols.h"
#include "windowkit/toolskin.h"
#include "windowkit/toolwindow.h"

Tfm_cdaudioburner* fm_cdaudioburner = nullptr;

namespace {

constexpr int SecondsRole = Qt::UserRole + 1;

const QString AudioFilter = QStringLiteral(
    "All Supported Files (*.mp3,*.wav,*.ogg,*.wma)|*.mp3;*.wav;*.ogg;*.wma|MP3 Files (*.mp3)|*.mp3|WAV Files "
    "(*.wav)|*.wav|OGG Files (*.ogg)|*.ogg|WMA Files (*.wma)|*.wma");
const QString ListSaveFilter = QStringLiteral("CD Files List(*.cfl)|*.cfl");
const QString ListOpenFilter = QStringLiteral("Open CD Files List(*.cfl)|*.cfl");

QString TwoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

void Tell(QWidget* parent, const QString& title, const QString& text, const QString& details = {}) {
    MessageRequest request;
    request.kind = title == QLatin1String("Information") || title == QLatin1String("Infirmation")
                       ? MessageKind::Information
                       : MessageKind::Error;
    request.title = title;
    request.text = text;
    request.details = details;
    request.parent = parent;
    ShowMessage(request);
}

bool Ask(QWidget* parent, const QString& text) {
    MessageRequest request;
    request.kind = MessageKind::Confirmation;
    request.title = QStringLiteral("Confirmation");
    request.text = text;
    request.buttons = MessageButtons::YesNo;
    request.parent = parent;
    return ShowMessage(request) == MessageAnswer::Yes;
}

QString StoredFolder(const IniFile& ini, const char* key) {
    return StoredFolderOr(QString::fromStdString(ini.readString(AudioCdSection, key, "")), DialogStartFolder());
}

QAction* Item(QMenu* menu, const QString& caption) { return menu->addAction(caption); }

// One of the window's three file dialogs, starting in the folder kept
// under key; the chosen files, none when cancelled.
QStringList RunDialog(QWidget* parent, FileDialogMode mode, const QString& title, const char* key,
                      const QString& filter) {
    FileDialogRequest request;
    request.mode = mode;
    request.title = title;
    request.folder = StoredFolder(IniFile(), key);
    request.filter = filter;
    request.parent = parent;
    const FileDialogResult result = RunFileDialog(request);
    return result.accepted ? result.files : QStringList();
}

}  // namespace

QString AudioCdTotalText(int total) {
    const int hours = total / 3600, minutes = (total - hours * 3600) / 60, seconds = total % 60;
    return TwoDigits(hours) + ':' + TwoDigits(minutes) + ':' + TwoDigits(seconds) + QStringLiteral(" / 01:14:00");
}

QString AudioCdRowTime(int seconds) { return TwoDigits(seconds / 60) + ':' + TwoDigits(seconds % 60); }

Tfm_cdaudioburner::Tfm_cdaudioburner(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Audio CD Writer"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    MainMenu = new QMenuBar(this);
    MainMenu->setGeometry(0, 0, 428, 22);
    QMenu* file = MainMenu->addMenu(QStringLiteral("  File  "));
    New1 = Item(file, QStringLiteral("New"));
    Open1 = Item(file, QStringLiteral("Open"));
    Save1 = Item(file, QStringLiteral("Save"));
    file->addSeparator();
    WriteCD1 = Item(file, QStringLiteral("Write CD"));
    EraseCDRW1 = Item(file, QStringLiteral("Erase CD-RW"));
    EjectCD = Item(file, QStringLiteral("Eject CD"));
    CloseDriveTray1 = Item(file, QStringLiteral("Close Drive Tray"));
    EnableTestMode1 = Item(file, QStringLiteral("Only Test Write"));
    EnableTestMode1->setCheckable(true);
    file->addSeparator();
    Exit1 = Item(file, QStringLiteral("Exit"));
    QMenu* edit = MainMenu->addMenu(QStringLiteral("  Edit  "));
    Option1 = Item(edit, QStringLiteral("Option"));
    edit->addSeparator();
    AddFile1 = Item(edit, QStringLiteral("Add File(s)"));
    AddPath1 = Item(edit, QStringLiteral("Add Path"));
    RemoveFileRecord1 = Item(edit, QStringLiteral("Remove File Record"));
    RemoveAll1 = Item(edit, QStringLiteral("Clear File Record"));
    MoveUp1 = Item(edit, QStringLiteral("Move Up"));
    MoveDown1 = Item(edit, QStringLiteral("Move Down"));
    OpenMenusFromKeyboard(this, MainMenu);

    lv = FileList(this, "lv", {QStringLiteral("Track"), QStringLiteral("File Name"), QStringLiteral("Time")},
                  QAbstractItemView::ExtendedSelection);
    lv->setGeometry(8, 28, 412, 196);
    lv->setColumnWidth(0, 80);
    lv->setColumnWidth(1, 235);
    lv->horizontalHeader()->setStretchLastSection(true);
    pm = new ToolPopupMenu(this);
    QAction* pmAdd = Item(pm, QStringLiteral("Add File"));
    QAction* pmRemove = Item(pm, QStringLiteral("Remove"));
    QAction* pmClear = Item(pm, QStringLiteral("Clear"));
    pm->addSeparator();
    QAction* pmUp = Item(pm, QStringLiteral("Move UP"));
    QAction* pmDown = Item(pm, QStringLiteral("Move Down"));
    pm->addSeparator();
    QAction* pmWrite = Item(pm, QStringLiteral("Write CD"));
    lv->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lv, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (lv->contextMenuPolicy() == Qt::CustomContextMenu) pm->popup(lv->viewport()->mapToGlobal(at));
    });

    cb_drive = new ToolComboBox(this);
    cb_drive->setGeometry(8, 232, 300, 22);
    cb_writespeed = new ToolComboBox(this);
    cb_writespeed->setGeometry(316, 232, 104, 22);
    pgb_progress = new ToolProgressBar(this);
    pgb_progress->setGeometry(8, 262, 412, 16);
    // The lists and the bar have no label on the window to name them. A
    // combo box's name on Linux is its item, so the description says which
    // list it is.
    lv->setAccessibleName(QStringLiteral("Tracks"));
    for (auto [list, name] : {std::pair{cb_drive, QStringLiteral("Drive")},
                              std::pair{cb_writespeed, QStringLiteral("Write Speed")}}) {
        list->setAccessibleName(name);
        list->setAccessibleDescription(name);
    }
    pgb_progress->setAccessibleName(QStringLiteral("Write progress"));
    btn_file = ToolButton(this, "btn_file", QStringLiteral("Add"));
    btn_delete = ToolButton(this, "btn_delete", QStringLiteral("Remove"));
    btn_up = ToolButton(this, "btn_up", QStringLiteral("UP"));
    btn_down = ToolButton(this, "btn_down", QStringLiteral("Down"));
    btn_write = ToolButton(this, "btn_write", QStringLiteral("Write CD"));
    btn_cancel = ToolButton(this, "btn_cancel", QStringLiteral("Cancel"));
    btn_close = ToolButton(this, "btn_close", QStringLiteral("Close"));
    int x = 8;
    for (QPushButton* button : {btn_file, btn_delete, btn_up, btn_down, btn_write, btn_cancel, btn_close}) {
        button->setGeometry(x, 288, 56, 25);
        x += 59;
    }
    sb = new QStatusBar(this);
    sb->setSizeGripEnabled(false);
    sb->setGeometry(0, 338, 428, 22);

    connect(New1, &QAction::triggered, this, &Tfm_cdaudioburner::btn_newClick);
    connect(Open1, &QAction::triggered, this, &Tfm_cdaudioburner::btn_openClick);
    connect(Save1, &QAction::triggered, this, &Tfm_cdaudioburner::btn_saveClick);
    connect(WriteCD1, &QAction::triggered, this, &Tfm_cdaudioburner::btn_writeClick);
    connect(EraseCDRW1, &QAction::triggered, this, &Tfm_cdaudioburner::EraseCDRW1Click);
    connect(EjectCD, &QAction::triggered, this, &Tfm_cdaudioburner::EjectCDClick);
    connect(CloseDriveTray1, &QAction::triggered, this, &Tfm_cdaudioburner::CloseDriveTray1Click);
    connect(EnableTestMode1, &QAction::triggered, this, &Tfm_cdaudioburner::EnableTestMode1Click);
    connect(Exit1, &QAction::triggered, this, &Tfm_cdaudioburner::Exit1Click);
    connect(Option1, &QAction::triggered, this, &Tfm_cdaudioburner::Option1Click);
    connect(AddFile1, &QAction::triggered, this, &Tfm_cdaudioburner::btn_fileClick);
    connect(AddPath1, &QAction::triggered, this, &Tfm_cdaudioburner::AddPath1Click);
    connect(RemoveFileRecord1, &QAction::triggered, this, &Tfm_cdaudioburner::btn_deleteClick);
    connect(RemoveAll1, &QAction::triggered, this, &Tfm_cdaudioburner::RemoveAll1Click);
    connect(MoveUp1, &QAction::triggered, this, &Tfm_cdaudioburner::btn_upClick);
    connect(MoveDown1, &QAction::triggered, this, &Tfm_cdaudioburner::btn_downClick);
    connect(pmAdd, &QAction::triggered, this, &Tfm_cdaudioburner::btn_fileClick);
    connect(pmRemove, &QAction::triggered, this, &Tfm_cdaudioburner::btn_deleteClick);
    connect(pmClear, &QAction::triggered, this, &Tfm_cdaudioburner::RemoveAll1Click);
    connect(pmUp, &QAction::triggered, this, &Tfm_cdaudioburner::btn_upClick);
    connect(pmDown, &QAction::triggered, this, &Tfm_cdaudioburner::btn_downClick);
    connect(pmWrite, &QAction::triggered, this, &Tfm_cdaudioburner::btn_writeClick);
    connect(btn_file, &QPushButton::clicked, this, &Tfm_cdaudioburner::btn_fileClick);
    connect(btn_delete, &QPushButton::clicked, this, &Tfm_cdaudioburner::btn_deleteClick);
    connect(btn_up, &QPushButton::clicked, this, &Tfm_cdaudioburner::btn_upClick);
    connect(btn_down, &QPushButton::clicked, this, &Tfm_cdaudioburner::btn_downClick);
    connect(btn_write, &QPushButton::clicked, this, &Tfm_cdaudioburner::btn_writeClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_cdaudioburner::btn_cancelClick);
    connect(btn_close, &QPushButton::clicked, this, &Tfm_cdaudioburner::btn_closeClick);
    connect(cb_drive, QOverload<int>::of(&QComboBox::activated), this, &Tfm_cdaudioburner::cb_driveClick);

    // Exit goes with Close, whose button is off while the list is busy.
    listCommands_ = {New1,    Open1,    Save1,      WriteCD1, EraseCDRW1, Exit1,  AddFile1, AddPath1, RemoveFileRecord1,
                     RemoveAll1, MoveUp1, MoveDown1, pmAdd,  pmRemove,   pmClear, pmUp,    pmDown,   pmWrite};
    GiveListItsKeys(lv, RemoveFileRecord1);

    setWriter(new AudioDiscWriter(this));
    resize(428, 360);
}

Tfm_cdaudioburner::~Tfm_cdaudioburner() {
    // A conversion still running is stopped and waited for by its threads'
    // owner; the burn's folder goes with the window.
    if (AudioCDWriter) AudioCDWriter->abort();
}

void Tfm_cdaudioburner::setWriter(AudioDiscWriter* writer) {
    if (AudioCDWriter) {
        AudioCDWriter->disconnect(this);
        if (AudioCDWriter->parent() == this) delete AudioCDWriter;
    }
    AudioCDWriter = writer;
    if (!writer) return;
    if (!writer->parent()) writer->setParent(this);
    connect(writer, &DiscRecorder::onOperationProgress, this, &Tfm_cdaudioburner::AudioCDWriterOperationProgress);
    connect(writer, &DiscRecorder::onError, this, &Tfm_cdaudioburner::AudioCDWriterError);
    connect(writer, &DiscRecorder::onMediaChange, this, &Tfm_cdaudioburner::AudioCDWriterMediaChange);
    FollowDriveWaits(
        this, writer, [this] { return statusText(); }, [this](const QString& text) { setStatusText(text); });
}

QString Tfm_cdaudioburner::statusText() const { return sb->currentMessage(); }
void Tfm_cdaudioburner::setStatusText(const QString& text) { sb->showMessage(text); }

QStringList Tfm_cdaudioburner::listedPaths() const {
    QStringList paths;
    for (int row = 0; row < lv->rowCount(); ++row) paths << lv->item(row, 1)->text();
    return paths;
}

void Tfm_cdaudioburner::showEvent(QShowEvent* event) {
    // A window brought back from the task bar, or shown again while it
    // writes, keeps its state: starting over would hand back the controls
    // in the middle of a burn.
    if (!event->spontaneous() && !conversion_ && !IsWriting) FormShow();
    QDialog::showEvent(event);
}

void Tfm_cdaudioburner::FormShow() {
    setFixedSize(428, 360);
    DressToolWindow(this);
    IniFile ini;
    const bool secondSkin = ini.readInteger("basic", "skin", 1) == 2;
    pm->followSkin(secondSkin);
    QPalette bar = sb->palette();
    bar.setColor(QPalette::Window, ColorFromBgr(secondSkin ? 15199215 : 15063508));
    sb->setPalette(bar);
    sb->setAutoFillBackground(true);

    AudioCDWriter->initialize();
    cb_drive->clear();
    for (int i = 1; i <= AudioCDWriter->deviceCount(); ++i) {
        AudioCDWriter->setDeviceIndex(i);
        cb_drive->addItem(AudioCDWriter->deviceVendor() + AudioCDWriter->deviceProduct() + AudioCDWriter->deviceRevision());
    }
    if (AudioCDWriter->deviceCount() > 0) {
        int index = ini.readInteger(AudioCdSection, "drive", 0);
        if (index < 0) {
            ini.writeInteger(AudioCdSection, "drive", 0);
            index = 0;
        }
        cb_drive->setCurrentIndex(index < AudioCDWriter->deviceCount() ? index : 0);
        AudioCDWriter->setDeviceIndex(cb_drive->currentIndex() + 1);
    } else {
        AudioCDWriter->setDeviceIndex(1);
    }

    WriterError = false;
    AudioCDWriter->refresh();
    if (WriterError)
        Tell(this, QStringLiteral("Scanning IDE/SCSI buses error"),
             QStringLiteral("Compliant CD-RW recorders not found! (Some old recordres not supported)"),
             AudioCDWriter->lastErrorText());
    WriterError = false;

    // The window is kept between showings: its list, and so its total, too.
    if (!shown_) {
        TotalSeconds = 0;
        ListSaved = true;
    }
    shown_ = true;
    pgb_progress->setPosition(0);
    FillAudioWriteSpeeds();

    AudioCDWriter->setMediaPolling(true);
    EnableTestMode1->setChecked(ini.readBool(AudioCdSection, "test mode", false));
    SetMenusEnabled(true);
    setStatusText(QStringLiteral("Idle"));
    SetAudioControlsEnabled(true);
}

void Tfm_cdaudioburner::FillAudioWriteSpeeds() {
    cb_writespeed->clear();
    for (int speed = 64; speed >= 1; --speed) {
        AudioCDWriter->setWriteSpeed(speed);
        if (AudioCDWriter->writeSpeed() == speed) cb_writespeed->addItem(QString::number(speed));
    }
    if (cb_writespeed->count() == 0) {
        for (int speed = 64; speed >= 1; --speed) cb_writespeed->addItem(QString::number(speed));
        cb_writespeed->setCurrentIndex(10);
        return;
    }
    IniFile ini;
    int index = ini.readInteger(AudioCdSection, "write speed", 0);
    if (index < 0) {
        ini.writeInteger(AudioCdSection, "write speed", 0);
        index = 0;
    }
    cb_writespeed->setCurrentIndex(index < cb_writespeed->count() ? index : 0);
}

void Tfm_cdaudioburner::SetAudioControlsEnabled(bool Enabled) {
    for (QPushButton* button : {btn_file, btn_delete, btn_up, btn_down, btn_write, btn_close}) button->setEnabled(Enabled);
    for (QAction* command : listCommands_) command->setEnabled(Enabled);
    btn_cancel->setEnabled(!Enabled);
}

void Tfm_cdaudioburner::SetMenusEnabled(bool enabled) {
    for (QAction* menu : MainMenu->actions()) menu->setEnabled(enabled);
    lv->setContextMenuPolicy(enabled ? Qt::CustomContextMenu : Qt::NoContextMenu);
}

void Tfm_cdaudioburner::runAdd(const std::function<void()>& add) {
    SetAudioControlsEnabled(false);
    CancelAdding = false;
    adding_ = true;
    addPump_.restart();
    add();
    adding_ = false;
    SetAudioControlsEnabled(true);
}

void Tfm_cdaudioburner::appendRow(const QString& path, int seconds) {
    const int row = lv->rowCount();
    lv->insertRow(row);
    lv->setItem(row, 0, new QTableWidgetItem(QStringLiteral("Track ") + TwoDigits(row + 1)));
    lv->setItem(row, 1, new QTableWidgetItem(path));
    auto* time = new QTableWidgetItem(AudioCdRowTime(seconds));
    time->setData(SecondsRole, seconds);
    lv->setItem(row, 2, time);
    TotalSeconds += seconds;
}

void Tfm_cdaudioburner::renumber() {
    for (int row = 0; row < lv->rowCount(); ++row) lv->item(row, 0)->setText(QStringLiteral("Track ") + TwoDigits(row + 1));
}

void Tfm_cdaudioburner::updateTotalText() { setStatusText(AudioCdTotalText(TotalSeconds)); }

void Tfm_cdaudioburner::tellPassedOver() {
    if (problems_.passedOver() > 0) setStatusText(problems_.withPassedOver(AudioCdTotalText(TotalSeconds)));
}

void Tfm_cdaudioburner::addListedFile(const QString& path, AddKind kind) {
    const QString removedTitle = kind == AddKind::Files ? QStringLiteral("Error") : QStringLiteral("Information");
    // A list or a walk may hold thousands of names that fail alike: the
    // first of a kind asks once, and No stops the add.
    auto passOver = [&](AddProblem problem, const QString& text) {
        MessageRequest request;
        request.kind = kind == AddKind::Files ? MessageKind::Error : MessageKind::Information;
        request.title = removedTitle;
        request.text = text;
        request.parent = this;
        if (!problems_.pass(static_cast<int>(problem), request)) CancelAdding = true;
    };
    const ListedEntryKind entry = InspectListedEntry(QFile::encodeName(path).toStdString());
    if (entry == ListedEntryKind::Missing) {
        passOver(AddProblem::Missing, path + QStringLiteral(" has been removed!"));
        return;
    }
    if (entry == ListedEntryKind::Folder && kind != AddKind::List) return;
    const QString invalid =
        kind == AddKind::Files ? QStringLiteral(" is an invalid audio file!") : QStringLiteral(" is an invalid Audio file!");
    // A FIFO or a device is never opened: it would block or never end.
    if (entry != ListedEntryKind::RegularFile) {
        passOver(AddProblem::Unreadable, path + invalid);
        return;
    }
    AudioFile reader;
    if (!reader.open(QFile::encodeName(path).toStdString(), 0, 1)) {
        passOver(AddProblem::Unreadable, path + invalid);
        return;
    }
    if (reader.getLength() == 0) {
        passOver(AddProblem::Unreadable,
                 path + (kind == AddKind::List ? QStringLiteral(" is an invalid file!") : QStringLiteral(" is an empty file!")));
        return;
    }
    appendRow(path, int(reader.getDuration() / 1000));
    reader.close();
    updateTotalText();
}

void Tfm_cdaudioburner::btn_fileClick() {
    const QStringList files =
        RunDialog(this, FileDialogMode::OpenMany, QStringLiteral("Add files to CD Filelist"), "file directory", AudioFilter);
    if (files.isEmpty()) return;
    IniFile().writeString(AudioCdSection, "file directory", QFileInfo(files.first()).absolutePath().toStdString());
    ListSaved = false;
    runAdd([&] {
        problems_.begin(files.size() > 1);
        for (const QString& file : files) {
            if (CancelAdding) break;
            problems_.setLast(&file == &files.last());
            addListedFile(file, AddKind::Files);
            addPump_.pump();
        }
        tellPassedOver();
    });
}

void Tfm_cdaudioburner::AddPath1Click() {
    const DiscToolServices* services = CurrentDiscToolServices();
    if (!services) return;
    const DiscFolderChoice choice =
        services->chooseFolderToAdd(this, QStringLiteral("Please select the folder you want to add."));
    if (choice.folder.isEmpty()) return;
    IniFile().writeString(AudioCdSection, "add path", choice.folder.toStdString());
    AddStartRow = lv->rowCount();
    runAdd([&] {
        problems_.begin(true);
        AddAudioFolderRecursive(choice.folder, choice.includeSubfolders);
        tellPassedOver();
    });
    ListSaved = false;
}

void Tfm_cdaudioburner::AddAudioFolderRecursive(const QString& Folder, bool Recurse) {
    FolderWalk walk;
    walk.entry = [this](const std::string&) {
        addPump_.pump();
        return !CancelAdding;
    };
    walk.enter = [Recurse](std::string_view) { return Recurse; };
    walk.file = [this](const std::string& path, std::string_view name, bool regular) {
        if (AudioKindOfPath(name) == AudioKind::None) return;
        addListedFile(QFile::decodeName(QByteArray::fromStdString(path)), AddKind::Folder);
    };
    WalkFolder(QFile::encodeName(Folder).toStdString(), walk);
}

void Tfm_cdaudioburner::btn_deleteClick() {
    SetAudioControlsEnabled(false);
    for (int row = lv->rowCount() - 1; row >= 0; --row) {
        if (!lv->item(row, 0)->isSelected()) continue;
        TotalSeconds -= lv->item(row, 2)->data(SecondsRole).toInt();
        lv->removeRow(row);
    }
    renumber();
    updateTotalText();
    ListSaved = false;
    SetAudioControlsEnabled(true);
}

void Tfm_cdaudioburner::RemoveAll1Click() {
    if (lv->rowCount() == 0 || !ConfirmClearList(this)) return;
    lv->setRowCount(0);
    TotalSeconds = 0;
    setStatusText(QStringLiteral("00:00:00/ 01:14:00"));
}

void Tfm_cdaudioburner::moveSelection(int step) {
    QList<int> rows;
    for (int row = 0; row < lv->rowCount(); ++row)
        if (lv->item(row, 0)->isSelected()) rows << row;
    if (rows.isEmpty()) return;
    if ((step < 0 && rows.first() == 0) || (step > 0 && rows.last() == lv->rowCount() - 1)) return;
    // The block moves one place: each selected row swaps with its
    // neighbour, nearest the direction of travel first.
    if (step > 0) std::reverse(rows.begin(), rows.end());
    for (const int row : rows) {
        const int other = row + step;
        for (int column = 1; column <= 2; ++column) {
            QTableWidgetItem* a = lv->takeItem(row, column);
            QTableWidgetItem* b = lv->takeItem(other, column);
            lv->setItem(row, column, b);
            lv->setItem(other, column, a);
        }
    }
    lv->clearSelection();
    for (const int row : rows)
        lv->selectionModel()->select(lv->model()->index(row + step, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    renumber();
    ListSaved = false;
}

void Tfm_cdaudioburner::btn_upClick() { moveSelection(-1); }
void Tfm_cdaudioburner::btn_downClick() { moveSelection(1); }

void Tfm_cdaudioburner::btn_newClick() {
    if (lv->rowCount() > 0 && !ListSaved &&
        Ask(this, QStringLiteral("The current CD playlist has not been saved. Would you like to save first?")))
        btn_saveClick();
    lv->setRowCount(0);
    TotalSeconds = 0;
    setStatusText(QStringLiteral("00:00:00 / 01:14:00"));
}

void Tfm_cdaudioburner::btn_saveClick() {
    if (lv->rowCount() == 0) return;
    const QStringList files = RunDialog(this, FileDialogMode::Save, QStringLiteral("Save CD Files List"),
                                        "list file save directory", ListSaveFilter);
    if (files.isEmpty()) return;
    const std::string folder = QFileInfo(files.first()).absolutePath().toStdString();
    IniFile ini;
    ini.writeString(AudioCdSection, "list file directory", folder);
    ini.writeString(AudioCdSection, "list file save directory", folder);
    const QString name = QString::fromStdString(CdFileListName(files.first().toStdString()));
    if (QFileInfo::exists(name) && !Ask(this, name + QStringLiteral(" already exists. Overwrite?"))) return;
    std::vector<std::string> paths;
    for (const QString& path : listedPaths()) paths.push_back(QFile::encodeName(path).toStdString());
    std::string error;
    if (!WriteCdFileList(QFile::encodeName(name).toStdString(), paths, &error)) {
        Tell(this, QStringLiteral("Error"), QStringLiteral("Cannot write %1: %2").arg(name, QString::fromStdString(error)));
        return;
    }
    ListSaved = true;
}

void Tfm_cdaudioburner::btn_openClick() {
    if (lv->rowCount() > 0 && !ListSaved &&
        Ask(this, QStringLiteral("The current CD playlist has not been saved. Save first?")))
        btn_saveClick();
    const QStringList files = RunDialog(this, FileDialogMode::Open, QString(), "list file directory", ListOpenFilter);
    if (files.isEmpty()) return;
    lv->setRowCount(0);
    TotalSeconds = 0;
    updateTotalText();
    IniFile().writeString(AudioCdSection, "list file directory", QFileInfo(files.first()).absolutePath().toStdString());
    runAdd([&] {
        std::vector<std::string> paths;
        std::string error;
        if (!ReadCdFileList(QFile::encodeName(files.first()).toStdString(), &paths, &error))
            Tell(this, QStringLiteral("Error"),
                 QStringLiteral("Cannot read %1: %2").arg(files.first(), QString::fromStdString(error)));
        problems_.begin(paths.size() > 1);
        for (const std::string& path : paths) {
            if (CancelAdding) break;
            problems_.setLast(&path == &paths.back());
            addListedFile(QFile::decodeName(QByteArray::fromStdString(path)), AddKind::List);
            addPump_.pump();
        }
        tellPassedOver();
    });
    ListSaved = lv->rowCount() > 0;
}

QString Tfm_cdaudioburner::refreshForUse() {
    // Why a recorder cannot be used (a mounted disc, missing rights) goes
    // with the message as its details.
    WriterError = false;
    AudioCDWriter->refresh();
    const QString reason = WriterError ? AudioCDWriter->lastErrorText() : QString();
    WriterError = false;
    return reason;
}

void Tfm_cdaudioburner::btn_writeClick() {
    const QString reason = refreshForUse();
    if (AudioCDWriter->discStatus() == DiscRecorder::StatusUnknown) {
        Tell(this, QStringLiteral("Information"),
             QStringLiteral("Disc is not writable by this control! Please insert the CD-R or CD-RW disc."), reason);
        return;
    }
    if (lv->rowCount() == 0) {
        Tell(this, QStringLiteral("Information"), QStringLiteral("No file to burn!"));
        return;
    }
    if (TotalSeconds > AudioCdMaxSeconds) {
        Tell(this, QStringLiteral("Information"),
             QStringLiteral("The current files exceed the disc space. Please remove some files to continue."));
        return;
    }
    // Found before any track is converted for it.
    if (AudioCDWriter->discStatus() == DiscRecorder::Closed) {
        Tell(this, QStringLiteral("Information"), ClosedDiscText());
        return;
    }
    SetAudioControlsEnabled(false);
    SetMenusEnabled(false);
    WriterError = false;
    if (IniFile().readBool(AudioCdSection, "cache", true)) {
        cacheFolder_ = std::make_unique<OwnedTemporaryFolder>(kAudioCdCachePrefix);
        if (!cacheFolder_->isValid()) {
            cacheFolder_.reset();
            Tell(this, QStringLiteral("ERROR!"), QStringLiteral("Failed to create CD quality WAV file!"));
            SetMenusEnabled(true);
            SetAudioControlsEnabled(true);
            return;
        }
        auto* handler = new BoxJobHandler(this);
        conversion_ = new CdConversionJob(listedPaths(), QFile::decodeName(QByteArray::fromStdString(cacheFolder_->path())), handler, this);
        connect(conversion_, &ToolJob::percent, pgb_progress, &TvsProgressBar::setPosition);
        connect(conversion_, &ToolJob::infoMessage, this, &Tfm_cdaudioburner::setStatusText);
        connect(conversion_, &CdConversionJob::converted, this,
                [this](const QStringList& files, const QStringList& sources, bool stopped) {
                    conversionEnded(files, sources, stopped);
                });
        connect(conversion_, &QObject::destroyed, this, [handler] { delete handler; });
        jobs_.start(conversion_);
        return;
    }
    PushTracksToWriter(listedPaths(), listedPaths());
    startBurn();
}

void Tfm_cdaudioburner::PushTracksToWriter(const QStringList& paths, const QStringList& textSources) {
    AudioCDWriter->clearTracks();
    for (int i = 0; i < paths.size(); ++i) AudioCDWriter->addTrack(paths[i], textSources.value(i));
}

void Tfm_cdaudioburner::conversionEnded(const QStringList& converted, const QStringList& sources, bool stopped) {
    conversion_ = nullptr;
    TempWavNames = converted;
    if (!stopped && !converted.isEmpty()) {
        setStatusText(QStringLiteral("Preparing for CD writing..."));
        PushTracksToWriter(converted, sources);
        startBurn();
        return;
    }
    // Stopped (the job has deleted what it made) or nothing converted.
    DeleteTempWavFiles();
    pgb_progress->setPosition(0);
    if (stopped) {
        setStatusText(QStringLiteral("Idle"));
        AudioCDWriter->unlockTray();
    }
    SetMenusEnabled(true);
    SetAudioControlsEnabled(true);
}

void Tfm_cdaudioburner::startBurn() {
    IsWriting = false;
    BurnTrackNumber = 1;
    TrackCloseLatch = false;
    btn_write->setEnabled(false);
    testWrite_ = EnableTestMode1->isChecked();
    AudioCDWriter->setTestMode(testWrite_);
    AudioCDWriter->setFinalize(true);
    WriterError = false;
    AudioCDWriter->setWriteSpeed(cb_writespeed->currentText().toInt());
    ProgressSeen = false;
    AudioCDWriter->write();
    if (WriterError) {
        // Refused before it started: say why, and keep the list.
        Tell(this, QStringLiteral("Information"), WriterErrorText(AudioCDWriter->lastErrorText()), AudioCDWriter->lastErrorText());
        ResetAudioWriterUi(false);
        AudioCDWriter->refresh();
        AudioCDWriter->unlockTray();
        burnEnded();
        WriterError = false;
        return;
    }
    IsWriting = true;
}

void Tfm_cdaudioburner::burnEnded() {
    SetMenusEnabled(true);
    SetAudioControlsEnabled(true);
    DeleteTempWavFiles();
}

void Tfm_cdaudioburner::ResetAudioWriterUi(bool clearList) {
    if (clearList) {
        lv->setRowCount(0);
        TotalSeconds = 0;
        ListSaved = true;
    }
    pgb_progress->setPosition(0);
    setStatusText(QStringLiteral("Idle"));
    AudioCDWriter->refresh();
    IsWriting = false;
    WriterError = false;
    SetAudioControlsEnabled(true);
}

void Tfm_cdaudioburner::DeleteTempWavFiles() {
    for (const QString& name : TempWavNames) QFile::remove(name);
    TempWavNames.clear();
    cacheFolder_.reset();
}

void Tfm_cdaudioburner::AudioCDWriterOperationProgress(int Percent) {
    ProgressSeen = true;
    if (AudioCDWriter->currentOperation() == DiscRecorder::EraseOperation) {
        ErasePercent = Percent;
        emit eraseNotifier_.changed();
        return;
    }
    if (WriterError || !IsWriting) {
        ResetAudioWriterUi(false);
        if (IniFile().readBool(AudioCdSection, "auto eject", true))
            AudioCDWriter->eject();
        else
            AudioCDWriter->unlockTray();
        burnEnded();
        return;
    }
    if (AudioCDWriter->currentOperation() == DiscRecorder::WriteOperation) {
        switch (AudioCDWriter->writePhase()) {
        case DiscRecorder::FillingBuffer:
            setStatusText(QStringLiteral("Filling buffer..."));
            TrackCloseLatch = false;
            break;
        case DiscRecorder::WritingTrack:
            setStatusText(QStringLiteral("Writing Track ") + TwoDigits(BurnTrackNumber));
            break;
        case DiscRecorder::ClosingTrack:
            setStatusText(QStringLiteral("Closing Track ") + TwoDigits(BurnTrackNumber));
            if (!TrackCloseLatch) {
                ++BurnTrackNumber;
                TrackCloseLatch = true;
            }
            break;
        }
        pgb_progress->setPosition(Percent);
        return;
    }
    setStatusText(QStringLiteral("Finalising Disc..."));
    btn_cancel->setEnabled(false);
    pgb_progress->setPosition(Percent);
    if (Percent < 100) return;
    pgb_progress->setPosition(100);
    // Only a real write empties the list: a test write changed no disc.
    ResetAudioWriterUi(!testWrite_);
    // The cache goes before the box: a program ended while the box waits
    // leaves no CD-sized WAVs in the temporary folder.
    DeleteTempWavFiles();
    setStatusText(QStringLiteral("Complete the CD Burn progress!"));
    Tell(this, QStringLiteral("Information"), QStringLiteral("Complete the CD Burn progress!"));
    AudioCDWriter->refresh();
    if (IniFile().readBool(AudioCdSection, "auto eject", true))
        AudioCDWriter->eject();
    else
        AudioCDWriter->unlockTray();
    burnEnded();
}

void Tfm_cdaudioburner::AudioCDWriterError(int errCode) {
    if (errCode == -101 || errCode == -103 || errCode == -104) {
        // A warning in the middle of a burn would make the next progress
        // event put the window back while the disc is still being written.
        if (!IsWriting) WriterError = true;
        emit eraseNotifier_.changed();
        return;
    }
    WriterError = true;
    emit eraseNotifier_.changed();
    if (!IsWriting) return;
    AudioCDWriter->abort();
    AudioCDWriter->refresh();
    Tell(this, QStringLiteral("Information"), WriterErrorText(AudioCDWriter->lastErrorText()), AudioCDWriter->lastErrorText());
    setStatusText(QStringLiteral("Error!"));
    pgb_progress->setPosition(0);
    IsWriting = false;
    AudioCDWriter->refresh();
    AudioCDWriter->unlockTray();
    burnEnded();
    WriterError = true;
}

void Tfm_cdaudioburner::btn_cancelClick() {
    if (!conversion_ && !IsWriting) {
        CancelAdding = true;
        return;
    }
    if (!Ask(this, QStringLiteral("Are you sure to cancel your writing?"))) return;
    // The work goes on while the question waits: by the answer the
    // conversion may have handed its tracks to the burn, or the burn ended.
    if (conversion_) {
        // The job deletes what it made and reports; the window puts itself
        // back then.
        conversion_->stop();
        return;
    }
    if (IsWriting) {
        AudioCDWriter->abort();
        IsWriting = false;
        pgb_progress->setPosition(0);
        setStatusText(QStringLiteral("Idle"));
        AudioCDWriter->refresh();
        AudioCDWriter->unlockTray();
        burnEnded();
    }
}

void Tfm_cdaudioburner::btn_closeClick() { close(); }
void Tfm_cdaudioburner::Exit1Click() { close(); }

void Tfm_cdaudioburner::Option1Click() {
    if (!fm_option) fm_option = new Tfm_option(this);
    CentreOver(fm_option, this);
    ShowModal(fm_option);
}

void Tfm_cdaudioburner::EraseCDRW1Click() {
    const QString reason = refreshForUse();
    if (AudioCDWriter->discStatus() == DiscRecorder::StatusUnknown) {
        Tell(this, QStringLiteral("Infirmation"),
             QStringLiteral("Disc is not erasable by this control! Please insert the CD-R or CD-RW disc."), reason);
        return;
    }
    if (AudioCDWriter->discType() != DiscRecorder::Erasable) {
        Tell(this, QStringLiteral("Infirmation"), QStringLiteral("The CD does not support rewriting!"));
        return;
    }
    // The erase dialog waits for this erase's own 100 %, not an old one.
    ErasePercent = 0;
    if (!fm_erase) return;
    fm_erase->UseAudioWriter = true;
    fm_erase->AudioWriterSide = this;
    CentreOver(fm_erase, this);
    ShowModal(fm_erase);
}

void Tfm_cdaudioburner::eraseDisc(bool quick) { AudioCDWriter->erase(quick); }
void Tfm_cdaudioburner::refreshWriter() { AudioCDWriter->refresh(); }

QString Tfm_cdaudioburner::writerErrorReason() const { return AudioCDWriter->lastErrorText(); }

void Tfm_cdaudioburner::EjectCDClick() { AudioCDWriter->eject(); }
void Tfm_cdaudioburner::CloseDriveTray1Click() { AudioCDWriter->closeTray(); }

void Tfm_cdaudioburner::EnableTestMode1Click() {
    IniFile().writeBool(AudioCdSection, "test mode", EnableTestMode1->isChecked());
}

void Tfm_cdaudioburner::cb_driveClick() {
    AudioCDWriter->setDeviceIndex(cb_drive->currentIndex() + 1);
    AudioCDWriter->refresh();
}

void Tfm_cdaudioburner::AudioCDWriterMediaChange() {
    // A disc change during a conversion must not hand the controls back.
    const bool busy = conversion_ || IsWriting || adding_;
    if (!busy) SetAudioControlsEnabled(false);
    AudioCDWriter->refresh();
    FillAudioWriteSpeeds();
    if (!busy) SetAudioControlsEnabled(true);
}

bool Tfm_cdaudioburner::FormCloseQuery() {
    if (conversion_ || IsWriting) {
        Tell(this, QStringLiteral("Information"), QStringLiteral("Please stop your writing first!"));
        return false;
    }
    CancelAdding = true;
    IniFile ini;
    ini.writeInteger(AudioCdSection, "write speed", cb_writespeed->currentIndex());
    ini.writeInteger(AudioCdSection, "drive", cb_drive->currentIndex());
    AudioCDWriter->setMediaPolling(false);
    AudioCDWriter->release();
    return true;
}

void Tfm_cdaudioburner::reject() {
    // The frame's close, Escape, Close and Exit all come here; a window
    // that stays open keeps the close from happening.
    if (FormCloseQuery()) QDialog::reject();
}
