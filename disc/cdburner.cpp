#include "disc/cdburner.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>
#include <sys/stat.h>

#include "disc/cdfilelist.h"
#include "disc/cdrecsett.h"
#include "disc/discinformation.h"
#include "disc/discwindows.h"
#include "disc/newfolder.h"
#include "platform/filedialogs.h"
#include "platform/inifile.h"
#include "platform/messageboxes.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/presenter.h"
#include "platform/userfolders.h"
#include "platform/keyboard.h"
#include "windowkit/disctoolservices.h"
#include "skin/menu.h"
#include "skin/trackbar.h"
#include "windowkit/toolcontrols.h"
#include "windowkit/toolskin.h"

Tfm_burner* fm_burner = nullptr;

namespace {

constexpr int kFolderRole = Qt::UserRole + 1;
// A list row's staged file: the caption shows what the user typed, which
// after a rename may lack the extension the copy kept.
constexpr int kStagedRole = Qt::UserRole + 2;

QString StagedName(const QTreeWidgetItem* row) { return row->data(0, kStagedRole).toString(); }

QString StoredFolder(const IniFile& ini, const char* key)
{
    return StoredFolderOr(QString::fromStdString(ini.readString(kDataCdSection, key, "")), DialogStartFolder());
}

QString ShortDate(const QDateTime& date) { return QLocale::system().toString(date.date(), QLocale::ShortFormat); }

QString ShortDateLongTime(const QDateTime& date)
{
    // The long time with its seconds, without the zone's name, which the
    // list has no room for and which is the same on every row.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return ShortDate(date) + QLatin1Char(' ') + QLocale::system().toString(date.time(), format.trimmed());
}

}  // namespace

std::string Tfm_burner::DataCdStagingFolder() { return JoinPath(DataRoot(), "burnquilltemp"); }

Tfm_burner::Tfm_burner(QWidget* parent)
    : QDialog(parent), compilation_(DataCdStagingFolder()), adder_(compilation_, *this)
{
    setWindowTitle(QStringLiteral("Data CD Writer"));
    setAcceptDrops(true);
    buildMenus();

    // The drive has a row of its own: a recorder's vendor, product and
    // revision, or the image recorder's folder, need the width.
    // Each label names its control to screen readers.
    auto* driveLabel = PlaceControl(new QLabel(QStringLiteral("Drive:")), this, 8, 28, 48, 21);
    cb_drive = PlaceControl(new ToolComboBox, this, 58, 28, 485, 21);
    driveLabel->setBuddy(cb_drive);
    auto* idLabel = PlaceControl(new QLabel(QStringLiteral("Volume ID:")), this, 8, 54, 70, 21);
    edt_id = PlaceControl(new QLineEdit, this, 80, 54, 170, 21);
    idLabel->setBuddy(edt_id);
    auto* speedLabel = PlaceControl(new QLabel(QStringLiteral("Write Speed:")), this, 266, 54, 90, 21);
    cb_writespeed = PlaceControl(new ToolComboBox, this, 358, 54, 80, 21);
    speedLabel->setBuddy(cb_writespeed);
    StatusBar1 = PlaceControl(new QLabel(QStringLiteral("Image Files - Drag and  Drop Files or Folders")), this, 8, 80, 535, 18);

    tv = PlaceControl(new QTreeWidget, this, 8, 100, 160, 178);
    tv->setHeaderHidden(true);
    tv->setMinimumWidth(100);
    tv->setContextMenuPolicy(Qt::CustomContextMenu);
    tv->setAccessibleName(QStringLiteral("Folders"));
    tv->setHeaderLabel(QStringLiteral("Folder"));  // read out, though not shown
    lv = PlaceControl(new QTreeWidget, this, 172, 100, 371, 178);
    lv->setRootIsDecorated(false);
    lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv->setHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Size"), QStringLiteral("Date")});
    // The date takes what the name and size leave, so it is never pushed
    // out of sight; Add Path's rows show the time as well.
    lv->setColumnWidth(0, 140);
    lv->setColumnWidth(1, 70);
    lv->header()->setStretchLastSection(true);
    lv->header()->setMinimumSectionSize(40);
    lv->header()->setSectionsClickable(false);
    lv->setContextMenuPolicy(Qt::CustomContextMenu);
    lv->setAccessibleName(QStringLiteral("Files"));
    lv->viewport()->installEventFilter(this);
    edt_name = new QLineEdit(lv->viewport());
    edt_name->hide();
    edt_name->setAccessibleName(QStringLiteral("File Name"));
    edt_name->installEventFilter(this);

    btn_addfile = PlaceControl(new QPushButton(QStringLiteral("Add File")), this, 172, 282, 80, 23);
    btn_adddir = PlaceControl(new QPushButton(QStringLiteral("Add Path")), this, 258, 282, 80, 23);
    btn_delete = PlaceControl(new QPushButton(QStringLiteral("Remove")), this, 344, 282, 80, 23);
    btn_clear = PlaceControl(new QPushButton(QStringLiteral("Clear")), this, 430, 282, 80, 23);

    tb = PlaceControl(new TvsTrackBar, this, 8, 310, 535, 22);
    tb->setMin(0);
    tb->setMax(800);
    tb->setFrequency(50);
    tb->setShowTick(true);
    tb->setEnabled(false);
    tb->setAccessibleName(QStringLiteral("Disc usage (MB)"));
    const char* marks[] = {"0MB", "200MB", "400MB", "600MB", "700MB", "800MB"};
    for (int i = 0; i < 6; ++i)
        sizeMarks_[i] = PlaceControl(new QLabel(QString::fromLatin1(marks[i])), this, 0, 332, 45, 16);

    auto* writtenLabel = PlaceControl(new QLabel(QStringLiteral("Written:")), this, 8, 354, 50, 20);
    prb_write = PlaceControl(new ToolProgressBar, this, 60, 354, 220, 20);
    writtenLabel->setBuddy(prb_write);
    btn_write = PlaceControl(new QPushButton(QStringLiteral("Write Disc")), this, 290, 352, 80, 25);
    btn_cancel = PlaceControl(new QPushButton(QStringLiteral("Cancel")), this, 376, 352, 80, 25);
    btn_close = PlaceControl(new QPushButton(QStringLiteral("Close")), this, 462, 352, 80, 25);
    stbPanel0 = PlaceControl(new QLabel(QStringLiteral("Status: ")), this, 0, 410, 300, 20);
    stbPanel1 = PlaceControl(new QLabel(QStringLiteral("Data Image Size:0.00MB")), this, 300, 410, 251, 20);

    connect(tv, &QTreeWidget::itemClicked, this, [this] { tvClick(); });
    connect(tv, &QTreeWidget::currentItemChanged, this, [this] { tvClick(); });
    connect(tv, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QTreeWidgetItem* item = tv->itemAt(pos)) {
            tv->setCurrentItem(item);
            tvClick();
        }
        MenuEnabling();
        if (PopupsEnabled)
            pm_tv->popup(tv->viewport()->mapToGlobal(pos));
    });
    connect(lv, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        MenuEnabling();
        if (PopupsEnabled)
            pm_cd->popup(lv->viewport()->mapToGlobal(pos));
    });
    connect(lv, &QTreeWidget::itemDoubleClicked, this, [this] { lvDblClick(); });
    GiveListItsKeys(lv, RemoveFileRecord1);
    connect(edt_id, &QLineEdit::editingFinished, this, &Tfm_burner::edt_idExit);
    connect(btn_addfile, &QPushButton::clicked, this, &Tfm_burner::btn_addfileClick);
    connect(btn_adddir, &QPushButton::clicked, this, &Tfm_burner::Adddir1Click);
    connect(btn_delete, &QPushButton::clicked, this, &Tfm_burner::btn_deleteClick);
    connect(btn_clear, &QPushButton::clicked, this, &Tfm_burner::btn_clearClick);
    connect(btn_write, &QPushButton::clicked, this, &Tfm_burner::btn_writeClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_burner::btn_cancelClick);
    connect(btn_close, &QPushButton::clicked, this, &QDialog::close);
    connect(cb_drive, QOverload<int>::of(&QComboBox::activated), this, [this] { cb_driveClick(); });

    connect(&DataCDWriter, &DataDiscWriter::onOperationProgress, this, &Tfm_burner::DataCDWriterOperationProgress);
    connect(&DataCDWriter, &DataDiscWriter::onError, this, &Tfm_burner::DataCDWriterError);
    connect(&DataCDWriter, &DataDiscWriter::onMediaChange, this, &Tfm_burner::DataCDWriterMediaChange);
    FollowDriveWaits(
        this, &DataCDWriter, [this] { return stbPanel0->text(); }, [this](const QString& text) { setStatus(text); });
    setFixedSize(551, 431);
    placeSizeMarks();
}

Tfm_burner::~Tfm_burner() { DataCDWriter.abort(); }

void Tfm_burner::buildMenus()
{
    MainMenu1 = new QMenuBar(this);
    File1 = MainMenu1->addMenu(QStringLiteral("  File  "));
    File1->addAction(QStringLiteral("New CD Layout"), this, &Tfm_burner::btn_newClick);
    File1->addAction(QStringLiteral("Open CD Layout"), this, &Tfm_burner::btn_openClick);
    File1->addAction(QStringLiteral("Save CD layout"), this, &Tfm_burner::btn_saveClick);
    File1->addSeparator();
    File1->addAction(QStringLiteral("Add File"), this, &Tfm_burner::btn_addfileClick);
    File1->addAction(QStringLiteral("Add Path"), this, &Tfm_burner::Adddir1Click);
    RemoveFileRecord1 = File1->addAction(QStringLiteral("Remove File Record"), this, &Tfm_burner::btn_deleteClick);
    File1->addAction(QStringLiteral("Clear File Record"), this, &Tfm_burner::btn_clearClick);
    RenameFile1 = File1->addAction(QStringLiteral("Rename File"), this, &Tfm_burner::RenameFile2Click);
    RenameFile1->setEnabled(false);
    File1->addSeparator();
    File1->addAction(QStringLiteral("Create New Folder"), this, &Tfm_burner::CreateNewFolder1Click);
    RemoveFolder1 = File1->addAction(QStringLiteral("Remove Folder"), this, &Tfm_burner::RemoveFolder1Click);
    RenameFolder1 = File1->addAction(QStringLiteral("Rename Folder"), this, &Tfm_burner::RenameFolder1Click);
    File1->addSeparator();
    TestWrite1 = File1->addAction(QStringLiteral("Only Test Write"), this, &Tfm_burner::TestWrite1Click);
    TestWrite1->setCheckable(true);
    File1->addSeparator();
    File1->addAction(QStringLiteral("Exit"), this, &QDialog::close);
    connect(File1, &QMenu::aboutToShow, this, &Tfm_burner::MenuEnabling);

    CDRecorder1 = MainMenu1->addMenu(QStringLiteral("  CD-Burner"));
    CDRecorder1->addAction(QStringLiteral("Option"), this, &Tfm_burner::Setting1Click);
    CDRecorder1->addAction(QStringLiteral("Disc Information"), this, &Tfm_burner::DiscInformation1Click);
    CDRecorder1->addSeparator();
    CDRecorder1->addAction(QStringLiteral("Write Disc"), this, &Tfm_burner::btn_writeClick);
    CDRecorder1->addAction(QStringLiteral("Erase Disc"), this, &Tfm_burner::EraseDisc1Click);
    CDRecorder1->addSeparator();
    CDRecorder1->addAction(QStringLiteral("Eject "), this, &Tfm_burner::Eject1Click);
    CDRecorder1->addAction(QStringLiteral("Close Tray"), this, &Tfm_burner::CloseTray1Click);
    OpenMenusFromKeyboard(this, MainMenu1);

    pm_tv = new TvsPopupMenu(this);
    pm_tv->addAction(QStringLiteral("Add New Folder"), this, &Tfm_burner::CreateNewFolder1Click);
    RemoveFolder2 = pm_tv->addAction(QStringLiteral("Remove Folder"), this, &Tfm_burner::RemoveFolder1Click);
    RenameFolder2 = pm_tv->addAction(QStringLiteral("Rename Folder"), this, &Tfm_burner::RenameFolder1Click);

    pm_cd = new TvsPopupMenu(this);
    pm_cd->addAction(QStringLiteral("New CD Layout"), this, &Tfm_burner::btn_newClick);
    pm_cd->addAction(QStringLiteral("Open CD Layout"), this, &Tfm_burner::btn_openClick);
    pm_cd->addAction(QStringLiteral("Save CD Layout"), this, &Tfm_burner::btn_saveClick);
    pm_cd->addSeparator();
    pm_cd->addAction(QStringLiteral("Add File(s)"), this, &Tfm_burner::btn_addfileClick);
    pm_cd->addAction(QStringLiteral("Add path"), this, &Tfm_burner::Adddir1Click);
    pm_cd->addAction(QStringLiteral("Remove File Record"), this, &Tfm_burner::btn_deleteClick);
    pm_cd->addAction(QStringLiteral("Clear Files Record"), this, &Tfm_burner::btn_clearClick);
    RenameFile2 = pm_cd->addAction(QStringLiteral("Rename File"), this, &Tfm_burner::RenameFile2Click);
    RenameFile2->setEnabled(false);
}

void Tfm_burner::placeSizeMarks()
{
    static const int kMarks[] = {0, 200, 400, 600, 700, 800};
    for (int i = 0; i < 6; ++i) {
        QLabel* label = sizeMarks_[i];
        const int width = label->fontMetrics().horizontalAdvance(label->text()) + 4;
        const int centre = tb->x() + tb->tickAt(kMarks[i]);
        const int left = std::clamp(centre - width / 2, 0, this->width() - width);
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(left, label->y(), width, label->height());
    }
}

// ---- the compilation's views -------------------------------------------

void Tfm_burner::setStatus(const QString& text) { stbPanel0->setText(text); }

void Tfm_burner::totalChanged()
{
    tb->setPosition(static_cast<int>(std::min<int64_t>(compilation_.TotalSize / 1024 / 1024, 800)));
    stbPanel1->setText(TotalSizeText(compilation_.TotalSize));
}

void Tfm_burner::pump() { events_.pump(); }

void Tfm_burner::fillRow(QTreeWidgetItem* row, const CompilationFileRecord& record, bool withTime)
{
    row->setText(0, QString::fromStdString(record.StagedName));
    row->setData(0, kStagedRole, QString::fromStdString(record.StagedName));
    row->setText(1, FileSizeText(record.Size));
    row->setText(2, withTime ? ShortDateLongTime(record.FileDate) : ShortDate(record.FileDate));
}

void Tfm_burner::rowAdded(int record, bool withTime)
{
    auto* row = new QTreeWidgetItem(lv);
    fillRow(row, compilation_.records()[static_cast<size_t>(record)], withTime);
}

void Tfm_burner::rowChanged(int record, bool withTime)
{
    const auto& r = compilation_.records()[static_cast<size_t>(record)];
    for (int i = 0; i < lv->topLevelItemCount(); ++i) {
        if (StagedName(lv->topLevelItem(i)) == QString::fromStdString(r.StagedName)) {
            fillRow(lv->topLevelItem(i), r, withTime);
            return;
        }
    }
}

void Tfm_burner::foldersChanged() { rebuildTree(selectedFolder()); }

QTreeWidgetItem* Tfm_burner::itemOf(CompilationFolder* folder) const
{
    QList<QTreeWidgetItem*> stack;
    for (int i = 0; i < tv->topLevelItemCount(); ++i)
        stack << tv->topLevelItem(i);
    while (!stack.isEmpty()) {
        QTreeWidgetItem* item = stack.takeLast();
        if (item->data(0, kFolderRole).value<quintptr>() == reinterpret_cast<quintptr>(folder))
            return item;
        for (int i = 0; i < item->childCount(); ++i)
            stack << item->child(i);
    }
    return nullptr;
}

void Tfm_burner::rebuildTree(CompilationFolder* select)
{
    const QSignalBlocker blocker(tv);
    tv->clear();
    std::function<void(CompilationFolder*, QTreeWidgetItem*)> add = [&](CompilationFolder* folder,
                                                                        QTreeWidgetItem* item) {
        item->setData(0, kFolderRole, QVariant::fromValue(reinterpret_cast<quintptr>(folder)));
        item->setIcon(0, style()->standardIcon(folder->parent ? QStyle::SP_DirIcon : QStyle::SP_DriveCDIcon));
        for (const auto& child : folder->children)
            add(child.get(), new QTreeWidgetItem(item, {QString::fromStdString(child->name)}));
    };
    auto* root = new QTreeWidgetItem(tv, {edt_id->text()});
    add(compilation_.root(), root);
    tv->expandAll();
    if (QTreeWidgetItem* item = select ? itemOf(select) : nullptr)
        tv->setCurrentItem(item);
}

CompilationFolder* Tfm_burner::selectedFolder()
{
    QTreeWidgetItem* item = tv->currentItem();
    if (!item || !item->isSelected())
        return compilation_.root();
    auto* folder = reinterpret_cast<CompilationFolder*>(item->data(0, kFolderRole).value<quintptr>());
    return compilation_.absoluteIndex(folder) >= 0 ? folder : compilation_.root();
}

void Tfm_burner::selectFolder(CompilationFolder* folder)
{
    if (QTreeWidgetItem* item = itemOf(folder)) {
        tv->setCurrentItem(item);
        item->setSelected(true);
    }
    tvClick();
}

// ---- show and close --------------------------------------------------------

void Tfm_burner::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void Tfm_burner::FormShow()
{
    DressToolWindow(this);
    placeSizeMarks();
    // The light skin has its own panel colour.
    const bool light = IniFile().readInteger("basic", "skin", 1) == 2;
    const QColor panel = ColorFromBgr(light ? 0xE7EBEF : 0xE5D9D4);
    for (QLabel* label : {StatusBar1, stbPanel0, stbPanel1}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, panel);
        label->setPalette(palette);
        label->setAutoFillBackground(true);
    }
    if (light)
        tb->setColor(panel);
    for (QMenu* menu : {pm_tv, pm_cd})
        static_cast<TvsPopupMenu*>(menu)->setBarColor(ColorFromBgr(light ? 0xE7EBEF : 0xD6C3BD));
    static_cast<TvsPopupMenu*>(pm_cd)->setSeparatorColor(ColorFromBgr(light ? 0xC5C9CD : 0xBD9A8C));
    compilation_.reset();
    const IniFile ini;

    // Recorders, the drive and the speeds.
    cb_drive->clear();
    DataCDWriter.initialize();
    for (int i = 1; i <= DataCDWriter.deviceCount(); ++i) {
        DataCDWriter.setDeviceIndex(i);
        cb_drive->addItem(DataCDWriter.deviceVendor() + DataCDWriter.deviceProduct() + DataCDWriter.deviceRevision());
    }
    if (cb_drive->count() > 0) {
        int d = ini.readInteger(kDataCdSection, "drive", 0);
        if (d < 0) {
            IniFile().writeInteger(kDataCdSection, "drive", 0);
            d = 0;
        }
        cb_drive->setCurrentIndex(d < DataCDWriter.deviceCount() ? d : 0);
        DataCDWriter.setDeviceIndex(cb_drive->currentIndex() + 1);
    } else {
        DataCDWriter.setDeviceIndex(1);
    }
    WriterError = false;
    IsWriting = false;
    DataCDWriter.refresh();
    FillDataWriteSpeeds();
    if (WriterError) {
        TellDisc(QStringLiteral("Compliant CD-RW recorders not found! (Some old recordres not supported)"),
                 QStringLiteral("Scanning IDE/SCSI buses error"), this, MessageKind::Information,
                 DataCDWriter.lastErrorText());
        WriterError = false;
    }

    LayoutSaved = true;
    SetDataControlsEnabled(true);
    setMenusEnabled(true);
    openFolder_ = StoredFolder(ini, "file directory");
    listFolder_ = StoredFolder(ini, "list file directory");
    saveFolder_ = StoredFolder(ini, "list file save directory");
    TestWrite1->setChecked(ini.readBool(kDataCdSection, "test mode", false));
    edt_id->setText(QString::fromStdString(ini.readString(kDataCdSection, "volume id", "New Disc")));

    lv->clear();
    rebuildTree(nullptr);
    prb_write->setPosition(0);
    tb->setPosition(0);
    setStatus(QStringLiteral("Idle"));
    stbPanel1->setText(QStringLiteral("0 MB"));
    adder_.OutOfDiskSpace = false;
    adder_.measureFreeSpace();
    DataCDWriter.setMediaPolling(true);
}

bool Tfm_burner::FormCloseQuery()
{
    if (IsWriting) {
        TellDisc(QStringLiteral("Please stop your writing first!"), QStringLiteral("Information"), this);
        return false;
    }
    adder_.StopAdding = true;
    return true;
}

void Tfm_burner::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    // Ends the modal run without coming back through reject().
    QDialog::reject();
    event->accept();
}

void Tfm_burner::FormClose()
{
    IniFile ini;
    ini.writeString(kDataCdSection, "volume id", edt_id->text().toStdString());
    ini.writeInteger(kDataCdSection, "write speed", cb_writespeed->currentIndex());
    ini.writeInteger(kDataCdSection, "drive", cb_drive->currentIndex());
    DataCDWriter.setMediaPolling(false);
    DataCDWriter.clearImage();
    DataCDWriter.release();
    DeleteFolderContents(compilation_.stagingFolder());
    compilation_.TotalSize = 0;
}

// ---- folders ---------------------------------------------------------------

void Tfm_burner::tvClick()
{
    const int index = compilation_.absoluteIndex(selectedFolder());
    lv->setUpdatesEnabled(false);
    lv->clear();
    for (int record : compilation_.recordsOf(index))
        rowAdded(record, false);
    lv->setUpdatesEnabled(true);
}

void Tfm_burner::MenuEnabling()
{
    QTreeWidgetItem* item = tv->currentItem();
    const bool folder = item && item->isSelected() && item->parent();
    RemoveFolder1->setEnabled(folder);
    RemoveFolder2->setEnabled(folder);
    RenameFolder1->setEnabled(folder);
    RenameFolder2->setEnabled(folder);
    const bool row = !lv->selectedItems().isEmpty();
    RenameFile1->setEnabled(row);
    RenameFile2->setEnabled(row);
}

void Tfm_burner::SetDataControlsEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(tv), static_cast<QWidget*>(lv), static_cast<QWidget*>(btn_addfile),
                       static_cast<QWidget*>(btn_adddir), static_cast<QWidget*>(btn_delete),
                       static_cast<QWidget*>(btn_clear), static_cast<QWidget*>(btn_write),
                       static_cast<QWidget*>(btn_close)})
        w->setEnabled(enabled);
    btn_cancel->setEnabled(!enabled);
}

void Tfm_burner::setMenusEnabled(bool enabled)
{
    File1->setEnabled(enabled);
    CDRecorder1->setEnabled(enabled);
    PopupsEnabled = enabled;
}

void Tfm_burner::setBusy(bool busy, bool cancellable)
{
    busy_ = busy;
    SetDataControlsEnabled(!busy);
    setMenusEnabled(!busy);
    btn_cancel->setEnabled(busy && cancellable);
    if (busy)
        events_.restart();
}

void Tfm_burner::CreateNewFolder1Click()
{
    if (!idle())
        return;
    CompilationFolder* parent = selectedFolder();
    fm_newfolder->setWindowTitle(QStringLiteral("Create New Folder"));
    fm_newfolder->sl_name->setText(QStringLiteral("Please enter the name of your new folder:"));
    fm_newfolder->FolderName.clear();
    fm_newfolder->edt_name->clear();
    fm_newfolder->TakenNames.clear();
    for (const auto& child : parent->children)
        fm_newfolder->TakenNames << QString::fromStdString(child->name);
    CentreOver(fm_newfolder, this);
    ShowModal(fm_newfolder);
    const QString name = fm_newfolder->FolderName;
    if (name.isEmpty())
        return;
    if (compilation_.childNamed(parent, name.toStdString())) {
        TellDisc(QStringLiteral("Same-named-folder already exists! Please rename your file!"), QStringLiteral("Information"),
             this);
        return;
    }
    struct stat st {};
    if (::lstat((compilation_.TempPathOfNode(parent) + name.toStdString()).c_str(), &st) == 0) {
        TellDisc(QStringLiteral("Same-named-file already exists! Please rename your folder!"),
                 QStringLiteral("Information"), this);
        return;
    }
    CompilationFolder* folder = compilation_.createFolder(parent, name.toStdString());
    if (!folder) {
        TellDisc(QStringLiteral("Please enter the name of your new folder!"), QStringLiteral("Information"), this);
        return;
    }
    rebuildTree(parent);
    tvClick();
}

void Tfm_burner::RenameFolder1Click()
{
    if (!idle())
        return;
    QTreeWidgetItem* item = tv->currentItem();
    if (!item || !item->isSelected()) {
        TellDisc(QStringLiteral("Please selete the folder you want to rename!"), QStringLiteral("Confirmation"), this);
        return;
    }
    CompilationFolder* folder = selectedFolder();
    if (!folder->parent)
        return;
    fm_newfolder->setWindowTitle(QStringLiteral("Rename your folder"));
    fm_newfolder->sl_name->setText(QStringLiteral("Please enter the name of your new folder:"));
    fm_newfolder->FolderName = QString::fromStdString(folder->name);
    fm_newfolder->edt_name->setText(fm_newfolder->FolderName);
    fm_newfolder->TakenNames.clear();
    for (const auto& child : folder->children)
        fm_newfolder->TakenNames << QString::fromStdString(child->name);
    CentreOver(fm_newfolder, this);
    ShowModal(fm_newfolder);
    const std::string name = fm_newfolder->FolderName.toStdString();
    if (name.empty() || name == folder->name)
        return;
    if (compilation_.childNamed(folder->parent, name)) {
        TellDisc(QStringLiteral("Same-named-folder already exists! Please rename your file!"), QStringLiteral("Information"),
             this);
        return;
    }
    if (!compilation_.renameFolder(folder, name)) {
        TellDisc(QStringLiteral("Same-named-file already exists! Please rename your folder!"),
                 QStringLiteral("Information"), this);
        return;
    }
    rebuildTree(folder);
}

void Tfm_burner::RemoveFolder1Click()
{
    if (!idle())
        return;
    QTreeWidgetItem* item = tv->currentItem();
    if (!item || !item->isSelected()) {
        TellDisc(QStringLiteral("Please selete the folder you want to remove!"), QStringLiteral("Information"), this);
        return;
    }
    CompilationFolder* folder = selectedFolder();
    if (!folder->parent)
        return;  // the root holds the whole disc
    setBusy(true, false);
    setStatus(QStringLiteral("Deleting..."));
    adder_.OutOfDiskSpace = false;
    CompilationFolder* parent = folder->parent;
    compilation_.removeFolder(
        folder,
        [this](const std::string& name) {
            setStatus(QStringLiteral("Delete file ") + QString::fromStdString(name));
            pump();
        },
        [this](const std::string& path) {
            TellDisc(QStringLiteral("Delete file ") + QString::fromStdString(path) + QStringLiteral(" error!"),
                 QStringLiteral("Error"), this, MessageKind::Error);
            setStatus(QStringLiteral("Delete file error."));
        });
    totalChanged();
    rebuildTree(parent);
    tvClick();
    setStatus(QStringLiteral("Finish deleting"));
    setBusy(false, false);
}

// ---- files -----------------------------------------------------------------

void Tfm_burner::removeRows(bool onlySelected)
{
    CompilationFolder* folder = selectedFolder();
    const int index = compilation_.absoluteIndex(folder);
    setBusy(true, false);
    for (int i = 0; i < lv->topLevelItemCount();) {
        pump();
        QTreeWidgetItem* row = lv->topLevelItem(i);
        if (onlySelected && !row->isSelected()) {
            ++i;
            continue;
        }
        const std::string name = StagedName(row).toStdString();
        const int record = compilation_.findRecord(index, name);
        setStatus(QStringLiteral("Delete file ") + row->text(0));
        if (record >= 0 && compilation_.removeRecord(record)) {
            delete row;
            totalChanged();
            stbPanel1->setText(TotalSizeNumber(compilation_.TotalSize));
            continue;
        }
        if (record >= 0)
            TellDisc(QStringLiteral("Delete file ") + QString::fromStdString(compilation_.TempPathOfNode(folder) + name) +
                     QStringLiteral(" error!"),
                 QStringLiteral("Error"), this, MessageKind::Error);
        ++i;
    }
    setBusy(false, false);
}

void Tfm_burner::btn_deleteClick()
{
    if (!idle() || lv->topLevelItemCount() == 0)
        return;
    const bool any = !lv->selectedItems().isEmpty();
    removeRows(true);
    if (any) {
        LayoutSaved = false;
        adder_.OutOfDiskSpace = false;
    }
    setStatus(QStringLiteral("Finish deleting files."));
}

void Tfm_burner::btn_clearClick()
{
    if (!idle() || lv->topLevelItemCount() == 0)
        return;
    if (!AskConfirmation(QStringLiteral("Are you sure to remove all the file records?\rYour files will not be removed from your "
                            "computer."),
             this))
        return;
    removeRows(false);
    adder_.OutOfDiskSpace = false;
    setStatus(QStringLiteral("Finish clearing."));
}

void Tfm_burner::btn_newClick()
{
    if (!idle())
        return;
    if (lv->topLevelItemCount() > 0 && !LayoutSaved &&
        AskConfirmation(QStringLiteral("The current CD playlist has not been saved. Save first?"), this))
        btn_saveClick();
    // A new layout is a new disc: a file the window no longer shows must
    // not be written with it.
    compilation_.reset();
    lv->clear();
    rebuildTree(nullptr);
    totalChanged();
    adder_.OutOfDiskSpace = false;
    adder_.measureFreeSpace();
    LayoutSaved = true;
}

bool Tfm_burner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lv->viewport() && event->type() == QEvent::MouseButtonPress) {
        ListMouseX = static_cast<QMouseEvent*>(event)->position().toPoint().x();
    }
    if (watched == edt_name) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                edt_nameExit();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut && !edt_name->isHidden()) {
            edt_nameExit();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tfm_burner::lvDblClick()
{
    if (ListMouseX >= 0 && ListMouseX <= lv->columnWidth(0))
        RenameFile2Click();
}

void Tfm_burner::RenameFile2Click()
{
    if (!idle())
        return;
    QList<QTreeWidgetItem*> rows = lv->selectedItems();
    if (rows.isEmpty())
        return;
    renameRow_ = rows.first();
    const QRect rect = lv->visualItemRect(renameRow_);
    edt_name->setGeometry(0, rect.top() - 1, lv->columnWidth(0) + 1, 19);
    edt_name->setText(renameRow_->text(0));
    edt_name->show();
    edt_name->setFocus();
}

void Tfm_burner::edt_nameExit()
{
    if (!renameRow_ || edt_name->isHidden())
        return;
    const QString old = renameRow_->text(0);
    const QString text = edt_name->text();
    // The copy keeps its extension, as the row shows only the typed name.
    const QString suffix = QFileInfo(StagedName(renameRow_)).suffix();
    const QString newName =
        (QFileInfo(text).suffix().isEmpty() ? text : QFileInfo(text).completeBaseName()) +
        (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    bool taken = !text.isEmpty() && text != old && compilation_.childNamed(selectedFolder(), newName.toStdString());
    for (int i = 0; i < lv->topLevelItemCount() && !taken; ++i)
        taken = lv->topLevelItem(i) != renameRow_ && lv->topLevelItem(i)->text(0) == text;
    if (taken) {
        TellDisc(QStringLiteral("Same-named-folder already exists! Please rename your file!"),
                 QStringLiteral("Information"), this);
        edt_name->setText(old);
        return;
    }
    QTreeWidgetItem* row = renameRow_;
    renameRow_ = nullptr;
    edt_name->hide();
    if (text.isEmpty() || text == old)
        return;
    const int index = compilation_.absoluteIndex(selectedFolder());
    const int record = compilation_.findRecord(index, StagedName(row).toStdString());
    if (record < 0 || !compilation_.renameRecord(record, newName.toStdString())) {
        TellDisc(QStringLiteral("Failed to rename!"), QStringLiteral("Error"), this, MessageKind::Error);
        return;
    }
    row->setText(0, text);
    row->setData(0, kStagedRole, newName);
}

void Tfm_burner::edt_idExit()
{
    if (tv->topLevelItemCount() > 0)
        tv->topLevelItem(0)->setText(0, edt_id->text());
}

// ---- adding ----------------------------------------------------------------

void Tfm_burner::beginAdding()
{
    setBusy(true, true);
    adder_.StopAdding = false;
}

void Tfm_burner::finishAdding(const QString& status)
{
    setBusy(false, true);
    if (!status.isEmpty() && !adder_.OutOfDiskSpace)
        setStatus(adder_.Problems.withPassedOver(status));
}

void Tfm_burner::btn_addfileClick()
{
    if (!idle() || adder_.OutOfDiskSpace)
        return;
    FileDialogRequest request;
    request.mode = FileDialogMode::OpenMany;
    request.title = QStringLiteral("Add files to CD Filelist");
    request.folder = StoredFolder(IniFile(), "list file directory");
    request.filter = QStringLiteral("All Supported Files (*.*)|*.*");
    request.parent = this;
    const FileDialogResult result = RunFileDialog(request);
    if (!result.accepted || result.files.isEmpty())
        return;
    listFolder_ = QFileInfo(result.files.first()).absolutePath();
    IniFile().writeString(kDataCdSection, "list file directory", listFolder_.toStdString());
    LayoutSaved = false;
    beginAdding();
    adder_.addFiles(result.files, selectedFolder());
    finishAdding(QStringLiteral("Finish adding files."));
}

void Tfm_burner::Adddir1Click()
{
    const DiscToolServices* services = CurrentDiscToolServices();
    if (!idle() || adder_.OutOfDiskSpace || !services)
        return;
    const DiscFolderChoice choice =
        services->chooseFolderToAdd(this, QStringLiteral("Please select the folder you want to add."));
    if (choice.folder.isEmpty())
        return;
    IniFile().writeString(kDataCdSection, "add path", choice.folder.toStdString());
    beginAdding();
    adder_.addPath(QFile::encodeName(choice.folder).toStdString(), choice.includeSubfolders, selectedFolder());
    finishAdding(QStringLiteral("Finish adding files."));
    LayoutSaved = false;
}

void Tfm_burner::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void Tfm_burner::dropEvent(QDropEvent* event)
{
    QStringList names;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            names << url.toLocalFile();
    event->acceptProposedAction();
    dropNames(names);
}

void Tfm_burner::dropNames(const QStringList& names)
{
    activateWindow();
    if (!idle() || adder_.OutOfDiskSpace)
        return;
    setStatus(QStringLiteral("Draging.."));
    beginAdding();
    CompilationFolder* target = selectedFolder();
    adder_.drop(names, target);
    selectFolder(target);
    finishAdding(QStringLiteral("Finish draging files."));
}

void Tfm_burner::loadLayoutFile(const QString& path)
{
    std::vector<std::string> lines;
    std::string error;
    if (!ReadCdFileList(QFile::encodeName(path).toStdString(), &lines, &error)) {
        TellDisc(path + QStringLiteral(": ") + QString::fromStdString(error), QStringLiteral("Error"), this,
             MessageKind::Error);
        return;
    }
    setStatus(QStringLiteral("Load from file.."));
    beginAdding();
    if (adder_.loadLayout(lines, selectedFolder()))
        LayoutSaved = false;
    finishAdding(QStringLiteral("Finish loading from file."));
}

// ---- writing ---------------------------------------------------------------

void Tfm_burner::FillDataWriteSpeeds()
{
    cb_writespeed->clear();
    for (int s = 64; s >= 1; --s) {
        DataCDWriter.setWriteSpeed(s);
        if (DataCDWriter.writeSpeed() == s)
            cb_writespeed->addItem(QString::number(s));
    }
    if (cb_writespeed->count() == 0) {
        for (int s = 64; s >= 1; --s)
            cb_writespeed->addItem(QString::number(s));
        cb_writespeed->setCurrentIndex(10);
        return;
    }
    int index = IniFile().readInteger(kDataCdSection, "write speed", 0);
    if (index < 0) {
        IniFile().writeInteger(kDataCdSection, "write speed", 0);
        index = 0;
    }
    cb_writespeed->setCurrentIndex(index < cb_writespeed->count() ? index : 0);
}

void Tfm_burner::CycleWriterIndexes()
{
    for (int i = 1; i <= DataCDWriter.lockCount(); ++i) {
        DataCDWriter.setLockIndex(i);
        DataCDWriter.unlockTray();
    }
}

void Tfm_burner::btn_writeClick()
{
    if (!idle())
        return;
    DataCDWriter.refresh();
    if (DataCDWriter.discStatus() == 3) {
        TellDisc(QStringLiteral("Disc is not writable by this control! Please insert the CD-R or CD-RW disc."),
                 QStringLiteral("Information"), this);
        return;
    }
    if (compilation_.FileCount() < 1) {
        TellDisc(QStringLiteral("No file to burn!"), QStringLiteral("Information"), this);
        return;
    }
    if (compilation_.TotalSize > DataCdCapacity) {
        TellDisc(QStringLiteral("The current files exceed the disc space. Please remove some files to continue."),
             QStringLiteral("Information"), this);
        return;
    }
    if (!compilation_.stagingExists()) {
        TellDisc(QStringLiteral("The temp folder has been removed!"), QStringLiteral("Error"), this, MessageKind::Error);
        return;
    }
    setStatus(QString());
    setStatus(QStringLiteral("Preparing.."));
    SetDataControlsEnabled(false);
    setMenusEnabled(false);

    DataCDWriter.clearImage();
    QDir staging(QString::fromStdString(compilation_.stagingFolder()));
    const QStringList entries =
        staging.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    // Every entry, whatever its name: a file picked by name may begin with
    // a dot, and the staging folder holds only what the compilation lists.
    for (const QString& name : entries)
        DataCDWriter.addPath(staging.filePath(name));
    DataCDWriter.setVolumeLabel(edt_id->text());
    const IniFile ini;
    DataCDWriter.setFileSystem(ini.readBool(kDataCdSection, "joliet", true) ? 3 : 2);
    DataCDWriter.setWriteMode(ini.readBool(kDataCdSection, "mode", true) ? 2 : 1);
    DataCDWriter.setTestMode(TestWrite1->isChecked());
    DataCDWriter.setFinalize(ini.readBool(kDataCdSection, "finalize", false));
    WriterError = false;
    DataCDWriter.setWriteSpeed(cb_writespeed->currentText().toInt());
    ProgressSeen = false;
    DataCDWriter.write();
    if (WriterError) {
        // Refused before it started (a link at the image's name): say why.
        if (!DataCDWriter.lastErrorText().isEmpty())
            TellDisc(WriterErrorText(DataCDWriter.lastErrorText()), QStringLiteral("Error"), this, MessageKind::Error);
        setStatus(QStringLiteral("Error when writing"));
        ResetDataWriterUi(false);
        WriterError = false;
        return;
    }
    IsWriting = true;
}

void Tfm_burner::ResetDataWriterUi(bool compilationCleared)
{
    prb_write->setPosition(0);
    // The tree and the list keep a compilation that is still staged (after
    // a test write, a cancel or an error), so it can be seen and written
    // again; only a finished real write empties them.
    if (compilationCleared) {
        lv->clear();
        tv->clear();
        stbPanel1->setText(QStringLiteral("Total Size: 0 MB"));
        tb->setPosition(0);
    }
    setStatus(QStringLiteral("Idle"));
    DataCDWriter.refresh();
    IsWriting = false;
    WriterError = false;
    SetDataControlsEnabled(true);
    setMenusEnabled(true);
}

void Tfm_burner::DataCDWriterOperationProgress(int percent)
{
    ProgressSeen = true;
    const int operation = DataCDWriter.currentOperation();
    if (operation == DiscRecorder::EraseOperation) {
        ErasePercent = percent;
        emit eraseNotifier_.changed();
        return;
    }
    if (WriterError || !IsWriting) {
        // A writer still going must not be left running behind an idle window.
        DataCDWriter.abort();
        setStatus(QStringLiteral("Error when writing.."));
        ResetDataWriterUi(false);
        return;
    }
    if (operation == DiscRecorder::WriteOperation) {
        switch (DataCDWriter.writePhase()) {
        case 1: setStatus(QStringLiteral("Filling Buffer...")); break;
        case 2: setStatus(QStringLiteral("Writing Track...")); break;
        case 3: setStatus(QStringLiteral("Closing Track...")); break;
        default: break;
        }
        prb_write->setPosition(percent);
        return;
    }
    setStatus(QStringLiteral("Finalising Session..."));
    btn_cancel->setEnabled(false);
    prb_write->setPosition(percent);
    if (percent != 100)
        return;
    prb_write->setPosition(100);
    setStatus(QStringLiteral("Finish writing."));
    CycleWriterIndexes();
    IsWriting = false;
    TellDisc(QStringLiteral("CD burn Complete!"), QStringLiteral("Information"), this);
    const bool realWrite = !TestWrite1->isChecked();
    if (realWrite && compilation_.stagingExists())
        compilation_.reset();
    ResetDataWriterUi(realWrite);
    if (realWrite)
        rebuildTree(nullptr);
}

void Tfm_burner::DataCDWriterError(int code)
{
    if (code != -101 && code != -103 && code != -104 && IsWriting) {
        DataCDWriter.abort();
        TellDisc(WriterErrorText(DataCDWriter.lastErrorText()), QStringLiteral("Error"), this, MessageKind::Error,
                 DataCDWriter.lastErrorText());
        IsWriting = false;
        setStatus(QString());
        setStatus(QStringLiteral("Error!"));
        prb_write->setPosition(0);
        SetDataControlsEnabled(true);
        setMenusEnabled(true);
        DataCDWriter.clearImage();
    }
    WriterError = true;
    emit eraseNotifier_.changed();
}

void Tfm_burner::DataCDWriterMediaChange()
{
    // Nothing may be changed while the writer works; a loop that adds or
    // deletes keeps its commands off until it ends.
    if (IsWriting)
        return;
    if (busy_) {
        DataCDWriter.refresh();
        return;
    }
    SetDataControlsEnabled(false);
    btn_cancel->setEnabled(false);
    CycleWriterIndexes();
    DataCDWriter.refresh();
    FillDataWriteSpeeds();
    SetDataControlsEnabled(true);
    setMenusEnabled(true);
}

void Tfm_burner::btn_cancelClick()
{
    if (!IsWriting) {
        adder_.StopAdding = true;
        return;
    }
    if (!AskConfirmation(QStringLiteral("Are you sure to cancel your writing?"), this))
        return;
    DataCDWriter.abort();
    IsWriting = false;
    setStatus(QString());
    setStatus(QStringLiteral("Cancel operation."));
    prb_write->setPosition(0);
    SetDataControlsEnabled(true);
    setMenusEnabled(true);
    DataCDWriter.clearImage();
}

void Tfm_burner::TestWrite1Click()
{
    IniFile().writeBool(kDataCdSection, "test mode", TestWrite1->isChecked());
}

void Tfm_burner::cb_driveClick()
{
    DataCDWriter.setDeviceIndex(cb_drive->currentIndex() + 1);
    CycleWriterIndexes();
    DataCDWriter.refresh();
}

void Tfm_burner::Eject1Click()
{
    CycleWriterIndexes();
    DataCDWriter.eject();
}

void Tfm_burner::CloseTray1Click() { DataCDWriter.closeTray(); }

void Tfm_burner::Setting1Click()
{
    CentreOver(fm_recsett, this);
    ShowModal(fm_recsett);
}

void Tfm_burner::DiscInformation1Click()
{
    fm_discinfo->Writer = &DataCDWriter;
    CentreOver(fm_discinfo, this);
    ShowModal(fm_discinfo);
}

void Tfm_burner::EraseDisc1Click()
{
    if (!idle())
        return;
    DataCDWriter.refresh();
    if (DataCDWriter.discStatus() == 3) {
        TellDisc(QStringLiteral("Disc is not erasable by this control! Please insert the CD-R or CD-RW disc."),
             QStringLiteral("Information"), this);
        return;
    }
    if (DataCDWriter.discType() != 2) {
        TellDisc(QStringLiteral("The CD does not support rewriting!"), QStringLiteral("Information"), this);
        return;
    }
    fm_erase->UseAudioWriter = false;
    fm_erase->DataWriterSide = this;
    CentreOver(fm_erase, this);
    ShowModal(fm_erase);
}

void Tfm_burner::setEraseStatus(const QString& text)
{
    setStatus(QString());
    setStatus(text);
}

// ---- layouts ---------------------------------------------------------------

void Tfm_burner::btn_saveClick()
{
    if (!idle() || lv->topLevelItemCount() == 0)
        return;
    FileDialogRequest request;
    request.mode = FileDialogMode::Save;
    request.title = QStringLiteral("Save CD Files List");
    request.folder = saveFolder_;
    request.filter = QStringLiteral("CD Files List(*.cfl)|*.cfl");
    request.parent = this;
    const FileDialogResult result = RunFileDialog(request);
    if (!result.accepted || result.files.isEmpty() || result.files.first().isEmpty()) {
        LayoutSaved = true;
        return;
    }
    adder_.StopAdding = false;
    const QFileInfo chosen(result.files.first());
    saveFolder_ = listFolder_ = chosen.absolutePath();
    IniFile().writeString(kDataCdSection, "list file directory", listFolder_.toStdString());
    IniFile().writeString(kDataCdSection, "list file save directory", saveFolder_.toStdString());
    const QString name = QFile::decodeName(QByteArray::fromStdString(CdFileListName(QFile::encodeName(chosen.absoluteFilePath()).toStdString())));
    if (QFileInfo::exists(name) && !AskConfirmation(name + QStringLiteral(" already exists. Overwrite?"), this))
        return;
    const int index = compilation_.absoluteIndex(selectedFolder());
    std::vector<std::string> paths;
    for (int i = 0; i < lv->topLevelItemCount() && !adder_.StopAdding; ++i) {
        const int record = compilation_.findRecord(index, StagedName(lv->topLevelItem(i)).toStdString());
        if (record >= 0)
            paths.push_back(compilation_.records()[static_cast<size_t>(record)].SourcePath);
    }
    std::string error;
    if (!WriteCdFileList(QFile::encodeName(name).toStdString(), paths, &error)) {
        TellDisc(QStringLiteral("Cannot create file %1").arg(name), QStringLiteral("Error"), this, MessageKind::Error);
        return;
    }
    LayoutSaved = true;
}

void Tfm_burner::btn_openClick()
{
    if (!idle() || adder_.OutOfDiskSpace)
        return;
    FileDialogRequest request;
    request.mode = FileDialogMode::Open;
    request.folder = listFolder_;
    request.filter = QStringLiteral("Open CD Files List(*.cfl)|*.cfl");
    request.parent = this;
    const FileDialogResult result = RunFileDialog(request);
    if (!result.accepted || result.files.isEmpty() || result.files.first().isEmpty())
        return;
    listFolder_ = QFileInfo(result.files.first()).absolutePath();
    IniFile().writeString(kDataCdSection, "list file directory", listFolder_.toStdString());
    loadLayoutFile(result.files.first());
}
