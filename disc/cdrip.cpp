#include "disc/cdrip.h"

#include <algorithm>
#include <array>

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "components/skin/skinlabel.h"
#include "disc/ripjob.h"
#include "disc/ripperjobs.h"
#include "disc/ripsettings.h"
#include "platform/launcher.h"
#include "windowkit/disctoolservices.h"
#include "windowkit/toolcontrols.h"
#include "windowkit/toolskin.h"
#include "platform/inifile.h"
#include "platform/messageboxes.h"
#include "platform/texthelpers.h"
#include "platform/keyboard.h"
#include "skin/combobox.h"
#include "skin/progressbar.h"
#include "tags/mpeg/id3genres.h"

Tfm_cdripper* fm_cdripper = nullptr;

namespace {

constexpr const char* kSection = "cd ripper";
constexpr int kOtherGenre = 12;
// Marks a title the user typed.
constexpr int kTypedRole = Qt::UserRole + 1;

QPushButton* button(const QString& text, QWidget* parent, int x, int y, int w = 60, int h = 23) {
    auto* b = new QPushButton(text, parent);
    b->setGeometry(x, y, w, h);
    return b;
}

}  // namespace

QString FormatTwoDigits(int value) { return QString::fromStdString(PadTwoDigits(value)); }

Tfm_cdripper::Tfm_cdripper(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("CD Ripper"));
    setFixedSize(400, 380);
    buildControls();
    buildMenus();
    connect(&AudioGrabber, &CdGrabber::mediaChange, this, &Tfm_cdripper::AudioGrabberMediaChange);
    connect(&AudioPlayer, &PlaybackSession::onEndPlay, this, [this] { btn_stopClick(); });
}

Tfm_cdripper::~Tfm_cdripper() {
    AudioGrabber.setMediaPolling(false);
    AudioPlayer.close();
}

void Tfm_cdripper::buildControls() {
    const int top = 24;  // below the menu bar
    auto* driveLabel = new QLabel(QStringLiteral("CD-ROM:"), this);
    driveLabel->setGeometry(8, top + 4, 58, 20);
    cbx_cdrom = new QComboBox(this);
    cbx_cdrom->setGeometry(66, top + 2, 326, 22);
    driveLabel->setBuddy(cbx_cdrom);
    connect(cbx_cdrom, &QComboBox::activated, this, [this] { cbx_cdromChange(); });

    lv = new QTreeWidget(this);
    lv->setGeometry(8, top + 30, 384, 170);
    lv->setColumnCount(4);
    lv->setHeaderLabels({QStringLiteral("No"), QStringLiteral("Track Name"), QStringLiteral("Length"),
                         QStringLiteral("Size")});
    lv->setColumnWidth(0, 70);
    lv->setColumnWidth(1, 166);
    lv->setColumnWidth(2, 50);
    lv->setColumnWidth(3, 70);
    lv->setRootIsDecorated(false);
    lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv->setSelectionMode(QAbstractItemView::SingleSelection);
    lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv->setContextMenuPolicy(Qt::CustomContextMenu);
    lv->setAccessibleName(QStringLiteral("Tracks"));
    connect(lv, &QTreeWidget::itemDoubleClicked, this, [this] { lvDblClick(); });
    // Enter on a row edits its title as a double click does, rather than
    // pressing the default button and starting a preview.
    RunOnEnter(lv, [this] { lvDblClick(); });
    // Shift+F10 and the Menu key open the popup menu at the selected row, as
    // in the writers' lists; the list has no rows to delete.
    GiveListItsKeys(lv, nullptr);
    lv->installEventFilter(this);
    connect(lv, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(lv->viewport()->mapToGlobal(at)); });

    Edit1 = new QLineEdit(lv->viewport());
    Edit1->hide();
    Edit1->setAccessibleName(QStringLiteral("Track Name"));
    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::editingFinished, this, [this] {
        if (Edit1->isVisible()) Edit1Exit();
    });

    auto* artistLabel = new QLabel(QStringLiteral("Artist:"), this);
    artistLabel->setGeometry(8, top + 206, 44, 20);
    edt_artist = new QLineEdit(this);
    edt_artist->setGeometry(52, top + 206, 140, 21);
    artistLabel->setBuddy(edt_artist);
    connect(edt_artist, &QLineEdit::editingFinished, this, [this] { edt_artistExit(); });
    connect(edt_artist, &QLineEdit::textEdited, this, [this] { artistTyped_ = true; });
    edt_artist->installEventFilter(this);
    auto* albumLabel = new QLabel(QStringLiteral("Album:"), this);
    albumLabel->setGeometry(200, top + 206, 44, 20);
    edt_album = new QLineEdit(this);
    edt_album->setGeometry(244, top + 206, 148, 21);
    albumLabel->setBuddy(edt_album);
    connect(edt_album, &QLineEdit::editingFinished, this, [this] { edt_albumExit(); });
    connect(edt_album, &QLineEdit::textEdited, this, [this] { albumTyped_ = true; });
    edt_album->installEventFilter(this);
    auto* genreLabel = new QLabel(QStringLiteral("Genre:"), this);
    genreLabel->setGeometry(8, top + 240, 44, 20);
    cb_genre = new ToolComboBox(this);
    cb_genre->setGeometry(52, top + 240, 110, 21);
    genreLabel->setBuddy(cb_genre);
    connect(cb_genre, &QComboBox::activated, this, [this] { genreChosen_ = true; });

    auto* formats = new QGroupBox(QStringLiteral("Select Format"), this);
    formats->setGeometry(168, top + 230, 224, 42);
    rb_wav = new QRadioButton(QStringLiteral("WAV"), formats);
    rb_mp3 = new QRadioButton(QStringLiteral("MP3"), formats);
    rb_ogg = new QRadioButton(QStringLiteral("OGG"), formats);
    rb_wma = new QRadioButton(QStringLiteral("WMA"), formats);
    int x = 8;
    for (QRadioButton* rb : {rb_wav, rb_mp3, rb_ogg, rb_wma}) {
        rb->setGeometry(x, 18, 54, 18);
        x += 54;
    }
    auto* group = new QButtonGroup(this);
    for (QRadioButton* rb : {rb_wav, rb_mp3, rb_ogg, rb_wma}) group->addButton(rb);
    connect(rb_wav, &QRadioButton::clicked, this, [this] { rb_wavClick(); });
    connect(rb_mp3, &QRadioButton::clicked, this, [this] { rb_mp3Click(); });
    connect(rb_ogg, &QRadioButton::clicked, this, [this] { rb_oggClick(); });
    connect(rb_wma, &QRadioButton::clicked, this, [this] { rb_wmaClick(); });

    pb = new ToolProgressBar(this);
    pb->setGeometry(8, top + 280, 330, 16);
    pb->setAccessibleName(QStringLiteral("Rip progress"));
    st = new SkinLabel(QStringLiteral("00/00"), this);
    st->setGeometry(344, top + 278, 48, 20);
    st_wait = new SkinLabel(QString(), this);
    st_wait->setGeometry(8, top + 332, 384, 20);

    const int row = top + 306;
    btn_play = button(QStringLiteral("Play"), this, 8, row, 44);
    btn_refresh = button(QStringLiteral("Refresh"), this, 54, row, 52);
    btn_freedb = button(QStringLiteral("FreeDB"), this, 108, row, 50);
    btn_rip = button(QStringLiteral("Rip CD"), this, 160, row, 50);
    btn_pause = button(QStringLiteral("Pause"), this, 212, row, 50);
    btn_stop = button(QStringLiteral("Stop"), this, 264, row, 40);
    btn_option = button(QStringLiteral("Option"), this, 306, row, 44);
    btn_close = button(QStringLiteral("Close"), this, 352, row, 40);
    connect(btn_play, &QPushButton::clicked, this, [this] { btn_playClick(); });
    connect(btn_refresh, &QPushButton::clicked, this, [this] { btn_refreshClick(); });
    connect(btn_freedb, &QPushButton::clicked, this, [this] { btn_freedbClick(); });
    connect(btn_rip, &QPushButton::clicked, this, [this] { btn_ripClick(); });
    connect(btn_pause, &QPushButton::clicked, this, [this] { btn_pauseClick(); });
    connect(btn_stop, &QPushButton::clicked, this, [this] { btn_stopClick(); });
    connect(btn_option, &QPushButton::clicked, this, [this] { btn_optionClick(); });
    connect(btn_close, &QPushButton::clicked, this, [this] { btn_closeClick(); });
}

void Tfm_cdripper::buildMenus() {
    auto* bar = new QMenuBar(this);
    bar->setGeometry(0, 0, 400, 22);
    QMenu* file = bar->addMenu(QStringLiteral("  File  "));
    Options1 = file->addAction(QStringLiteral("Options"), this, [this] { btn_optionClick(); });
    Exit1 = file->addAction(QStringLiteral("Exit"), this, [this] { btn_closeClick(); });
    QMenu* action = bar->addMenu(QStringLiteral("  Action  "));
    EditFileName1 = action->addAction(QStringLiteral("Edit FileName"), this, [this] { lvDblClick(); });
    QMenu* rip = action->addMenu(QStringLiteral("Rip"));
    Rip1 = rip->menuAction();
    StartRip1 = rip->addAction(QStringLiteral("Start Rip"), this, [this] { btn_ripClick(); });
    PauseRip1 = rip->addAction(QStringLiteral("Pause Rip"), this, [this] { btn_pauseClick(); });
    StopRip1 = rip->addAction(QStringLiteral("Stop Rip"), this, [this] { btn_stopClick(); });
    QMenu* play = action->addMenu(QStringLiteral("Play"));
    Play1 = play->menuAction();
    StartPlay1 = play->addAction(QStringLiteral("Start Play"), this, [this] { btn_playClick(); });
    PausePlay1 = play->addAction(QStringLiteral("Pause Play"), this, [this] { btn_pauseClick(); });
    StopPlay1 = play->addAction(QStringLiteral("Stop Play"), this, [this] { btn_stopClick(); });
    SelectAll1 = action->addAction(QStringLiteral("Select All"), this, [this] { SelectAll1Click(); });
    UneslectAll1 = action->addAction(QStringLiteral("Uneslect All"), this, [this] { UneslectAll1Click(); });

    PopupMenu1 = new ToolPopupMenu(this);
    EditFilename2 = PopupMenu1->addAction(QStringLiteral("Edit Filename"), this, [this] { lvDblClick(); });
    QMenu* rip2 = PopupMenu1->addMenu(QStringLiteral("Rip"));
    Rip2 = rip2->menuAction();
    PauseRip2 = rip2->addAction(QStringLiteral("Pause Rip"), this, [this] { btn_pauseClick(); });
    StopRip2 = rip2->addAction(QStringLiteral("Stop Rip"), this, [this] { btn_stopClick(); });
    QMenu* play2 = PopupMenu1->addMenu(QStringLiteral("Play"));
    Play2 = play2->menuAction();
    PausePlay2 = play2->addAction(QStringLiteral("Pause Play"), this, [this] { btn_pauseClick(); });
    StopPlay2 = play2->addAction(QStringLiteral("Stop Play"), this, [this] { btn_stopClick(); });
    SelectAll2 = PopupMenu1->addAction(QStringLiteral("Select All"), this, [this] { SelectAll1Click(); });
    UnselectAll2 = PopupMenu1->addAction(QStringLiteral("Unselect All"), this, [this] { UneslectAll1Click(); });
    OpenMenusFromKeyboard(this, bar);
}

void Tfm_cdripper::setPlayGroup(bool on) {
    btn_play->setEnabled(on);
    Play1->setEnabled(on);
    Play2->setEnabled(on);
}

void Tfm_cdripper::setRipGroup(bool on) {
    btn_rip->setEnabled(on);
    Rip1->setEnabled(on);
    Rip2->setEnabled(on);
    StartRip1->setEnabled(on);
}

void Tfm_cdripper::setStopGroup(bool on) {
    btn_stop->setEnabled(on);
    for (QAction* a : {StopRip1, StopPlay1, StopRip2, StopPlay2}) a->setEnabled(on);
}

void Tfm_cdripper::setPauseGroup(bool on) {
    btn_pause->setEnabled(on);
    for (QAction* a : {PauseRip1, PausePlay1, PauseRip2, PausePlay2}) a->setEnabled(on);
}

void Tfm_cdripper::disableDiscControls() {
    setPlayGroup(false);
    btn_freedb->setEnabled(false);
    setStopGroup(false);
    btn_rip->setEnabled(false);
    Rip1->setEnabled(false);
    setPauseGroup(false);
}

void Tfm_cdripper::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void Tfm_cdripper::reject() {
    // Escape, the frame's close, Close and Exit all end here, so none of
    // them leaves a rip or a lookup running behind a hidden window.
    StopLookup();
    FormCloseQuery();
    QDialog::reject();
}

void Tfm_cdripper::waitForDriveUsers() {
    if (RipThread) {
        RipThread->stop();
        // A WMA rip runs below this call on the same thread: it ends when
        // control returns to it, and its end hands the controls back.
        if (RipThread->place() == JobPlace::GuiThread) return;
    }
    while (RipThread || driveJob_)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
}

void Tfm_cdripper::showWaiting(const QString& text) {
    st_wait->setText(text);
    if (text.isEmpty())
        unsetCursor();
    else
        setCursor(Qt::BusyCursor);
}

void Tfm_cdripper::runOnDrive(std::function<void()> call, std::function<void()> done) {
    // The grabber is the worker's until it has answered: no watch of the
    // images may touch it meanwhile.
    AudioGrabber.setMediaPolling(false);
    auto* job = new CdDriveJob(&jobHandler_, this, std::move(call));
    driveJob_ = job;
    showWaiting(QStringLiteral("Waiting for the drive..."));
    setPlayGroup(false);
    setRipGroup(false);
    btn_freedb->setEnabled(false);
    btn_refresh->setEnabled(false);
    cbx_cdrom->setEnabled(false);
    connect(job, &ToolJob::ended, this, [this, job, done = std::move(done)] {
        if (driveJob_ != job) return;
        driveJob_ = nullptr;
        showWaiting({});
        // A window closed meanwhile watches nothing.
        if (isVisible()) AudioGrabber.setMediaPolling(true);
        cbx_cdrom->setEnabled(true);
        btn_refresh->setEnabled(true);
        done();
        if (mediaChangedWhileBusy_ && !driveJob_) AudioGrabberMediaChange();
    });
    jobThreads_.start(job, JobPlace::Worker);
}

void Tfm_cdripper::FormShow() {
    // A rip stopped when the window closed may still be ending its last
    // block, and a drive may still be answering: the drive list is read,
    // and the controls reset, only after them.
    waitForDriveUsers();
    if (RipThread || driveJob_) return;
    DressToolWindow(this);
    const IniFile ini;
    const bool secondSkin = ini.readInteger("basic", "skin", 1) == 2;
    PopupMenu1->followSkin(secondSkin);
    // No genre is shown until a disc says one; a genre chosen for the disc
    // shown stays while it is shown.
    if (cb_genre->count() != static_cast<int>(Id3GenreNames.size())) {
        cb_genre->clear();
        for (std::string_view name : Id3GenreNames)
            cb_genre->addItem(QString::fromUtf8(name.data(), static_cast<int>(name.size())));
        cb_genre->setCurrentIndex(-1);
    }
    Edit1->hide();
    setFormat(ini.readInteger(kSection, "cdrip type", 1));
    setPauseGroup(false);
    setStopGroup(false);
    CdPlaying = false;
    LastJobIsPlay = true;
    Ripping = false;
    WmaRipRunning = false;

    // Naming a drive opens it and reading its table may wait for the disc:
    // both happen on the worker.
    auto names = std::make_shared<QStringList>();
    auto selection = std::make_shared<int>(0);
    runOnDrive(
        [this, names, selection] {
            AudioGrabber.refreshDrives();
            for (int i = 0; i < AudioGrabber.driveCount(); ++i) {
                AudioGrabber.setDriveIndex(i + 1);
                AudioGrabber.readToc();
                if (AudioGrabber.trackCount() > 1) *selection = i;
                *names << "(" + AudioGrabber.driveShortName() + ")  " + AudioGrabber.driveName();
            }
            if (names->isEmpty()) return;
            AudioGrabber.setDriveIndex(*selection + 1);
            if (AudioGrabber.readToc()) AudioGrabber.cddbQuery(2);
        },
        [this, names, selection] { DrivesRead(*names, *selection); });
}

void Tfm_cdripper::DrivesRead(const QStringList& names, int selection) {
    if (!names.isEmpty()) {
        cbx_cdrom->clear();
        cbx_cdrom->addItems(names);
        cbx_cdrom->setCurrentIndex(selection);
        FillDiscList();
        return;
    }
    ShowInformation(QStringLiteral("CD-Rom is not ready!"), this);
    disableDiscControls();
    btn_refresh->setEnabled(false);
}

void Tfm_cdripper::setFormat(int format) {
    RipFormat = format;
    const std::array<QRadioButton*, 4> buttons{rb_wav, rb_mp3, rb_ogg, rb_wma};
    if (format >= 0 && format < 4) {
        buttons[static_cast<std::size_t>(format)]->setChecked(true);
        return;
    }
    // An unknown stored format checks none, until the user chooses one.
    QButtonGroup* group = rb_wav->group();
    group->setExclusive(false);
    for (QRadioButton* rb : buttons) rb->setChecked(false);
    group->setExclusive(true);
}

void Tfm_cdripper::rb_wavClick() { setFormat(0); }
void Tfm_cdripper::rb_mp3Click() { setFormat(1); }
void Tfm_cdripper::rb_oggClick() { setFormat(2); }
void Tfm_cdripper::rb_wmaClick() { setFormat(3); }

void Tfm_cdripper::ReadDiscToc() {
    disableDiscControls();
    runOnDrive(
        [this] {
            if (AudioGrabber.readToc()) AudioGrabber.cddbQuery(2);
        },
        [this] { FillDiscList(); });
}

void Tfm_cdripper::FillDiscList() {
    // What the user typed for the disc shown, kept when the same disc comes
    // back (a media change, Refresh, the end of a rip).
    const bool hasDisc = AudioGrabber.trackCount() >= 1;
    const QString disc =
        hasDisc ? QString::fromStdString(CddbDiscIdText(CddbDiscId(AudioGrabber.tableOfContents()))) : QString();
    const bool sameDisc = hasDisc && disc == shownDisc_;
    const QString artist = edt_artist->text();
    const QString album = edt_album->text();
    const int genre = cb_genre->currentIndex();
    std::vector<std::pair<Qt::CheckState, QString>> rows;
    for (int i = 0; i < lv->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lv->topLevelItem(i);
        rows.emplace_back(item->checkState(0), item->data(1, kTypedRole).toBool() ? item->text(1) : QString());
    }
    if (!sameDisc) artistTyped_ = albumTyped_ = genreChosen_ = false;
    shownDisc_ = disc;

    disableDiscControls();
    edt_artist->clear();
    edt_album->clear();
    cb_genre->setCurrentIndex(-1);
    lv->clear();
    if (!hasDisc) return;
    setPlayGroup(true);
    setRipGroup(true);
    setStopGroup(false);
    btn_freedb->setEnabled(true);

    edt_artist->setText(AudioGrabber.cddbArtist());
    edt_album->setText(AudioGrabber.cddbAlbum());
    int found = kOtherGenre;
    const std::string wanted = AudioGrabber.cddbGenre().toStdString();
    for (std::size_t i = 0; i < Id3GenreNames.size(); ++i)
        if (Id3GenreNames[i] == wanted) {
            found = static_cast<int>(i);
            break;
        }
    cb_genre->setCurrentIndex(found);
    if (edt_artist->text().isEmpty()) edt_artist->setText(QStringLiteral("Unknown Artist"));
    if (edt_album->text().isEmpty()) edt_album->setText(QStringLiteral("Unknown Album"));
    if (artistTyped_) edt_artist->setText(artist);
    if (albumTyped_) edt_album->setText(album);
    if (genreChosen_) cb_genre->setCurrentIndex(genre);

    lv->setUpdatesEnabled(false);
    for (int i = 1; i <= AudioGrabber.trackCount(); ++i) {
        AudioGrabber.setTrack(i);
        QString title = AudioGrabber.cddbTrackTitle();
        if (title.isEmpty()) title = "Track " + FormatTwoDigits(i);
        const int64_t ms = AudioGrabber.trackDuration();
        const int64_t m = ms / 60000;
        const int64_t s = ms / 1000 - 60 * m;
        const double mb = static_cast<double>(AudioGrabber.trackLength()) / 1024 / 1024 * 4;
        auto* item = new QTreeWidgetItem(lv, {FormatTwoDigits(i), title,
                                              FormatTwoDigits(static_cast<int>(m)) + ":" + FormatTwoDigits(static_cast<int>(s)),
                                              QString::number(mb, 'f', 2) + "MB"});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
        const std::size_t row = static_cast<std::size_t>(i - 1);
        if (sameDisc && row < rows.size()) {
            item->setCheckState(0, rows[row].first);
            if (!rows[row].second.isEmpty()) {
                item->setText(1, rows[row].second);
                item->setData(1, kTypedRole, true);
            }
        }
    }
    lv->setUpdatesEnabled(true);
}

void Tfm_cdripper::btn_refreshClick() {
    // The grabber belongs to the rip, or to the worker, until they end.
    if (RipThread || driveJob_ || lookupJob_) return;
    ReadDiscToc();
}

void Tfm_cdripper::cbx_cdromChange() {
    if (Ripping || WmaRipRunning || RipThread || driveJob_ || lookupJob_) return;
    if (CdPlaying) StopCdPlay();
    AudioGrabber.setDriveIndex(cbx_cdrom->currentIndex() + 1);
    ReadDiscToc();
}

void Tfm_cdripper::AudioGrabberMediaChange() {
    // The table is read again once the worker has answered: the lookup's
    // answer is for the disc it asked about.
    if (driveJob_ || lookupJob_) {
        mediaChangedWhileBusy_ = true;
        return;
    }
    mediaChangedWhileBusy_ = false;
    // The rip owns the grabber until it ends; the list is read again then.
    if (Ripping || WmaRipRunning || RipThread) return;
    if (CdPlaying) StopCdPlay();
    ReadDiscToc();
}

QString Tfm_cdripper::rowTitle(int row) const {
    QTreeWidgetItem* item = lv->topLevelItem(row);
    return item ? item->text(1) : QString();
}

bool Tfm_cdripper::rowChecked(int row) const {
    QTreeWidgetItem* item = lv->topLevelItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

void Tfm_cdripper::SelectAll1Click() {
    for (int i = 0; i < AudioGrabber.trackCount() && i < lv->topLevelItemCount(); ++i)
        lv->topLevelItem(i)->setCheckState(0, Qt::Checked);
}

void Tfm_cdripper::UneslectAll1Click() {
    for (int i = 0; i < AudioGrabber.trackCount() && i < lv->topLevelItemCount(); ++i)
        lv->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
}

void Tfm_cdripper::lvDblClick() {
    QTreeWidgetItem* item = lv->currentItem();
    if (!item || !item->isSelected()) return;
    const QRect rect = lv->visualItemRect(item);
    Edit1->setGeometry(70, rect.top() - 1, lv->columnWidth(1) + 1, 21);
    Edit1->setText(item->text(1));
    EditedRow = lv->indexOfTopLevelItem(item);
    Edit1->show();
    Edit1->setFocus();
}

void Tfm_cdripper::Edit1Exit() {
    const QString text = QString::fromStdString(RemoveInvalidFileNameChars(Edit1->text().toStdString()));
    Edit1->hide();
    if (text.isEmpty()) return;
    if (QTreeWidgetItem* item = lv->topLevelItem(EditedRow)) {
        if (item->text(1) != text) item->setData(1, kTypedRole, true);
        item->setText(1, text);
    }
}

bool Tfm_cdripper::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::FocusOut && Edit1->isVisible()) Edit1Exit();
    // Enter ends the typing in a text field and Escape gives up a title
    // being edited; neither goes on to the window, where Enter would press
    // the default button (a preview) and Escape would close the window with
    // the titles typed so far.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (watched == Edit1 && Edit1->isVisible() && (enter || key == Qt::Key_Escape)) {
            if (!enter) Edit1->clear();  // an empty text keeps the title
            Edit1Exit();
            lv->setFocus();
            return true;
        }
        // Space checks or unchecks the current row wherever in it the
        // mouse last clicked, not only when the check box's column holds
        // the focus.
        if (watched == lv && key == Qt::Key_Space &&
            (static_cast<QKeyEvent*>(event)->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            QTreeWidgetItem* item = lv->currentItem();
            if (!item || !(item->flags() & Qt::ItemIsUserCheckable)) return false;
            item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            return true;
        }
        if (enter && watched == edt_artist) {
            edt_artistExit();
            return true;
        }
        if (enter && watched == edt_album) {
            edt_albumExit();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tfm_cdripper::edt_artistExit() {
    edt_artist->setText(QString::fromStdString(RemoveInvalidFileNameChars(edt_artist->text().toStdString())));
}

void Tfm_cdripper::edt_albumExit() {
    edt_album->setText(QString::fromStdString(RemoveInvalidFileNameChars(edt_album->text().toStdString())));
}

void Tfm_cdripper::btn_freedbClick() {
    if (RipThread || lookupJob_ || driveJob_ || AudioGrabber.trackCount() < 1) return;
    const IniFile ini;
    CddbServer server;
    const RipLookupSettings lookup = ReadRipLookupSettings(ini);
    server.host = QString::fromStdString(lookup.server).trimmed().toStdString();
    server.port = CddbPortOfText(QString::fromStdString(lookup.port).trimmed().toStdString());
    server.timeoutMs = std::clamp(lookup.timeoutMs, 1, 600000);
    server.script = "/~cddb/cddb.cgi";

    // The lookup asks the server on a worker with a copy of the table; the
    // window stays usable for Close, which ends the lookup at once.
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isEnabled() && w != btn_close && w != st_wait && !qobject_cast<QMenuBar*>(w)) {
            w->setEnabled(false);
            disabledForLookup_ << w;
        }
    for (QAction* a : {EditFileName1, Rip1, Play1, SelectAll1, UneslectAll1})
        if (a->isEnabled()) {
            a->setEnabled(false);
            disabledActionsForLookup_ << a;
        }
    auto* job = new CddbLookupJob(&jobHandler_, this, server, AudioGrabber.tableOfContents(),
                                  AudioGrabber.cddbCacheFolder());
    lookupJob_ = job;
    showWaiting(QStringLiteral("Asking the CD database..."));
    connect(job, &ToolJob::ended, this, [this, job] { LookupEnded(job); });
    jobThreads_.start(job, JobPlace::Worker);
}

void Tfm_cdripper::StopLookup() {
    if (!lookupJob_) return;
    lookupJob_->stop();
    LookupEnded(nullptr);
}

void Tfm_cdripper::LookupEnded(CddbLookupJob* job) {
    // A lookup stopped by Close ends here at once; its worker's late end
    // finds nothing more to do.
    if (job != lookupJob_ && job) return;
    CddbLookupJob* const ended = lookupJob_;
    lookupJob_ = nullptr;
    showWaiting({});
    for (QWidget* w : std::as_const(disabledForLookup_)) w->setEnabled(true);
    for (QAction* a : std::as_const(disabledActionsForLookup_)) a->setEnabled(true);
    disabledForLookup_.clear();
    disabledActionsForLookup_.clear();
    if (!job || !ended) return;
    if (!job->lookup().record) {
        ShowInformation(QStringLiteral("Can not find freedb info!"), this);
    } else {
        // The texts found replace the shown ones, typed or not: the user
        // asked for them. The checks stay.
        AudioGrabber.setCddbAnswer(*job->lookup().record);
        artistTyped_ = albumTyped_ = genreChosen_ = false;
        for (int i = 0; i < lv->topLevelItemCount(); ++i) lv->topLevelItem(i)->setData(1, kTypedRole, false);
        FillDiscList();
    }
    if (mediaChangedWhileBusy_) AudioGrabberMediaChange();
}

void Tfm_cdripper::btn_optionClick() {
    if (const DiscToolServices* services = CurrentDiscToolServices()) services->showEncoderSettings(this);
}

void Tfm_cdripper::btn_closeClick() { close(); }

void Tfm_cdripper::FormCloseQuery() {
    btn_stopClick();
    WmaRipRunning = false;
    AudioGrabber.setMediaPolling(false);
    IniFile().writeInteger(kSection, "cdrip type", RipFormat);
}

void Tfm_cdripper::btn_playClick() {
    if (RipThread || driveJob_ || lookupJob_) return;
    if (AudioGrabber.trackOpen()) AudioGrabber.closeTrack();
    QTreeWidgetItem* item = lv->currentItem();
    const int row = item && item->isSelected() ? lv->indexOfTopLevelItem(item) : -1;
    // The disc may have gone since the list was filled; opening the track
    // takes the drive. Both may wait, so they happen on the worker.
    runOnDrive(
        [this, row] {
            if (!AudioGrabber.readToc() || row < 0 || row >= AudioGrabber.trackCount()) return;
            AudioGrabber.setGrabMode(CdGrabber::GrabBurst);
            AudioGrabber.openTrack(row + 1);
        },
        [this, row] {
            if (AudioGrabber.trackCount() < 1) {
                FillDiscList();
                return;
            }
            setPlayGroup(true);
            setRipGroup(true);
            btn_freedb->setEnabled(true);
            if (row < 0) {
                ShowInformation(QStringLiteral("Please select the track you want to play!"), this);
                return;
            }
            PlayTrackNumber = row + 1;
            btn_play->setEnabled(false);
            PlayCdTrack();
        });
}

void Tfm_cdripper::PlayCdTrack() {
    StartPlay1->setEnabled(false);
    btn_refresh->setEnabled(false);
    btn_stop->setEnabled(true);
    if (!AudioPlayer.open(previewTrack_, std::to_string(PlayTrackNumber))) return;
    // The session queues two blocks and one more each time the player asks.
    if (!AudioPlayer.start(0)) {
        AudioPlayer.close();
        return;
    }
    CdPlayPaused = false;
    CdPlaying = true;
    LastJobIsPlay = true;
    for (QAction* a : {PausePlay1, PausePlay2, StopPlay1, StopPlay2}) a->setEnabled(true);
    btn_pause->setEnabled(true);
    setRipGroup(false);
    btn_refresh->setEnabled(false);
    btn_freedb->setEnabled(false);
}

void Tfm_cdripper::StopCdPlay() {
    AudioPlayer.close();
    CdPlaying = false;
    setPlayGroup(true);
}

void Tfm_cdripper::btn_pauseClick() {
    if (!LastJobIsPlay)
        ToggleRipPause();
    else
        TogglePlayPause();
}

void Tfm_cdripper::TogglePlayPause() {
    if (!CdPlaying) return;
    CdPlayPaused = !CdPlayPaused;
    if (CdPlayPaused)
        AudioPlayer.pause();
    else
        AudioPlayer.resume();
}

void Tfm_cdripper::ToggleRipPause() {
    if (!RipThread || !Ripping) return;
    if (btn_pause->text() == QLatin1String("Pause")) {
        btn_pause->setText(QStringLiteral("Resume"));
        RipThread->pause();
    } else {
        btn_pause->setText(QStringLiteral("Pause"));
        RipThread->resume();
    }
}

void Tfm_cdripper::btn_ripClick() {
    // A rip asked to stop is still reading until its end: a second one
    // would share the drive with it.
    if (Ripping || WmaRipRunning || RipThread || driveJob_ || lookupJob_) return;
    if (CdPlaying) StopCdPlay();
    if (AudioGrabber.trackOpen()) AudioGrabber.closeTrack();
    AudioGrabber.setDriveIndex(cbx_cdrom->currentIndex() + 1);
    // The rip reads the table again on its own thread before it starts.
    if (AudioGrabber.trackCount() < 1) {
        ReadDiscToc();
        return;
    }
    const IniFile ini;
    const RipSettings settings = ReadRipSettings(ini);
    ApplyGrabSettings(settings, AudioGrabber);
    const OutputKind kind = RipFormat >= 0 && RipFormat <= 3 ? static_cast<OutputKind>(RipFormat) : OutputKind::Mp3;
    const OutputFormat format = ReadRipFormat(ini, kind);

    const bool wma = kind == OutputKind::Wma;
    setStopGroup(true);
    // A WMA rip runs on the GUI thread and cannot be paused.
    setPauseGroup(!wma);
    btn_rip->setEnabled(false);
    Rip1->setEnabled(false);
    StartRip1->setEnabled(false);
    LastJobIsPlay = false;
    setPlayGroup(false);
    btn_freedb->setEnabled(false);
    btn_refresh->setEnabled(false);
    cbx_cdrom->setEnabled(false);

    auto* job = new TRipcdThread(&jobHandler_, this, AudioGrabber, settings, format, [this](int row) {
        RipRowTexts texts;
        texts.checked = rowChecked(row);
        texts.title = rowTitle(row);
        texts.artist = edt_artist->text();
        texts.album = edt_album->text();
        texts.genre = cb_genre->currentText();
        return texts;
    });
    connect(job, &ToolJob::subPercent, pb, [this](int p) { pb->setPosition(p); });
    connect(job, &ToolJob::nextItem, st, [this](int begun, int checked) {
        st->setCaption(FormatTwoDigits(begun) + "/" + FormatTwoDigits(checked));
    });
    connect(job, &TRipcdThread::ripEnded, this, &Tfm_cdripper::RipEnded);
    // A job that ended on an exception sends no ripEnded: the window gets
    // its controls back all the same.
    connect(job, &ToolJob::ended, this, [this, job] {
        if (RipThread == job) RipEnded(false, {});
    });
    RipThread = job;
    // The rip's thread owns the grabber: no watch of the images touches it
    // until the rip has ended, and the disc's table is read again then.
    AudioGrabber.setMediaPolling(false);
    if (wma) {
        WmaRipRunning = true;
        jobThreads_.start(job, JobPlace::GuiThread);
    } else {
        Ripping = true;
        jobThreads_.start(job, JobPlace::Worker);
    }
}

void Tfm_cdripper::RipEnded(bool anyChecked, const QString& lastFolder) {
    RipThread = nullptr;
    const bool wma = WmaRipRunning;
    pb->setPosition(0);
    if (anyChecked && !lastFolder.isEmpty()) OpenLocalPath(lastFolder);
    st->setCaption(QStringLiteral("00/00"));
    btn_rip->setEnabled(true);
    Rip1->setEnabled(true);
    Rip2->setEnabled(true);
    StartRip1->setEnabled(true);
    setStopGroup(false);
    setPauseGroup(false);
    btn_pause->setText(QStringLiteral("Pause"));
    setPlayGroup(true);
    btn_refresh->setEnabled(true);
    btn_freedb->setEnabled(true);
    cbx_cdrom->setEnabled(true);
    Ripping = false;
    LastJobIsPlay = true;
    if (wma) {
        WmaRipRunning = false;
        btn_stopClick();
    }
    if (isVisible()) ReadDiscToc();
}

void Tfm_cdripper::btn_stopClick() {
    if (WmaRipRunning && RipThread) RipThread->stop();
    WmaRipRunning = false;
    if (Ripping) {
        Ripping = false;
        if (btn_pause->text() == QLatin1String("Resume")) {
            if (RipThread) RipThread->resume();
            btn_pause->setText(QStringLiteral("Pause"));
        }
        LastJobIsPlay = true;
        // Stop never waits: the rip ends at its next block, and its end
        // gives the window its controls back.
        if (RipThread) RipThread->stop();
    }
    if (CdPlaying) StopCdPlay();
    setPauseGroup(false);
    setStopGroup(false);
    st->setCaption(QStringLiteral("00/00"));
    // Until then what would use the drive stays off: a rip, preview or
    // table read started now would share the grabber with the ending rip.
    if (RipThread) return;
    StartPlay1->setEnabled(true);
    btn_refresh->setEnabled(true);
    btn_freedb->setEnabled(true);
    setRipGroup(true);
    setPlayGroup(true);
}
