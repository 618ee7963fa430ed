#include "tools/cut.h"

#include <QAction>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "components/audio/audioinformation.h"
#include "platform/inifile.h"
#include "platform/keyboard.h"
#include "platform/launcher.h"
#include "platform/messageboxes.h"
#include "platform/userfolders.h"
#include "skin/progressbar.h"
#include "tools/directory.h"
#include "jobs/toolfiles.h"
#include "skin/trackbar.h"
#include "windowkit/toolskin.h"
#include "windowkit/toolwindow.h"

Tfm_cut* fm_cut = nullptr;

namespace {

constexpr int kMoveStep = 3;

// "<" steps back only above the step, ">" forward only while it stays below
// the end.
void MoveBack(TvsTrackBar* bar) {
    if (bar->position() > kMoveStep) bar->setPosition(bar->position() - kMoveStep);
}

void MoveForward(TvsTrackBar* bar) {
    if (bar->position() + kMoveStep < bar->max()) bar->setPosition(bar->position() + kMoveStep);
}

}  // namespace

Tfm_cut::Tfm_cut(QWidget* parent) : QDialog(parent), boxes_(this) {
    setWindowTitle(QStringLiteral("Cut"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);

    lv = FileList(this, "lv",
                  {QStringLiteral("Name"), QStringLiteral("Path"), QStringLiteral("Size"), QStringLiteral("Time")},
                  QAbstractItemView::SingleSelection);

    btn_select = ToolButton(this, "btn_select", QStringLiteral("Add"));
    btn_delete = ToolButton(this, "btn_delete", QStringLiteral("Delete"));
    btn_clear = ToolButton(this, "btn_clear", QStringLiteral("Clear"));
    btn_play = ToolButton(this, "btn_play", QStringLiteral("Play"));
    btn_cut = ToolButton(this, "btn_cut", QStringLiteral("Cut"));
    btn_stop = ToolButton(this, "btn_stop", QStringLiteral("Stop"));
    btn_close = ToolButton(this, "btn_close", QStringLiteral("Close"));
    btn_selectdir = ToolButton(this, "btn_selectdir", QStringLiteral("Select directory"));
    Button1 = ToolButton(this, "Button1", QStringLiteral("<"));
    Button2 = ToolButton(this, "Button2", QStringLiteral(">"));
    Button3 = ToolButton(this, "Button3", QStringLiteral("<"));
    Button4 = ToolButton(this, "Button4", QStringLiteral(">"));
    for (QPushButton* b : {Button1, Button2, Button3, Button4}) b->setFixedWidth(28);

    edt_directory = new QLineEdit(this);
    edt_directory->setObjectName(QStringLiteral("edt_directory"));
    edt_directory->setReadOnly(true);
    edt_directory->setEnabled(false);
    edt_info = new QLineEdit(this);
    edt_info->setObjectName(QStringLiteral("edt_info"));
    edt_info->setReadOnly(true);

    tb_start = new TvsTrackBar(this);
    tb_start->setObjectName(QStringLiteral("tb_start"));
    tb_end = new TvsTrackBar(this);
    tb_end->setObjectName(QStringLiteral("tb_end"));
    for (TvsTrackBar* bar : {tb_start, tb_end}) {
        bar->setMax(1000);
        bar->setFrequency(100);
        bar->setPageSize(100);
        bar->setMinimumWidth(200);
    }
    st_times = new QLabel(QStringLiteral("00:00:00"), this);
    st_times->setObjectName(QStringLiteral("st_times"));
    st_timee = new QLabel(QStringLiteral("00:00:00"), this);
    st_timee->setObjectName(QStringLiteral("st_timee"));

    pb = new TvsProgressBar(this);
    pb->setObjectName(QStringLiteral("pb"));
    pb->setMax(100);
    pb->setPosition(0);
    pb->setShowCaption(true);

    auto* menuBar = new QMenuBar(this);
    QMenu* file = menuBar->addMenu(QStringLiteral("File"));
    mi_addfile = file->addAction(QStringLiteral("Add File"));
    mi_delete = file->addAction(QStringLiteral("Delete File Record"));
    mi_clear = file->addAction(QStringLiteral("Clear Files Record"));
    file->addSeparator();
    mi_exit = file->addAction(QStringLiteral("Exit"));
    QMenu* action = menuBar->addMenu(QStringLiteral("Action"));
    mi_play = action->addAction(QStringLiteral("Play"));
    mi_startcut = action->addAction(QStringLiteral("Start Cut"));
    mi_stop = action->addAction(QStringLiteral("Stop "));

    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(btn_select);
    listButtons->addWidget(btn_delete);
    listButtons->addWidget(btn_clear);
    listButtons->addStretch();
    auto* range = new QGridLayout;
    // The labels name the bars for assistive technologies too.
    auto* startLabel = new QLabel(QStringLiteral("Start:"), this);
    startLabel->setBuddy(tb_start);
    auto* endLabel = new QLabel(QStringLiteral("End:"), this);
    endLabel->setBuddy(tb_end);
    range->addWidget(startLabel, 0, 0);
    range->addWidget(Button1, 0, 1);
    range->addWidget(tb_start, 0, 2);
    range->addWidget(Button2, 0, 3);
    range->addWidget(st_times, 0, 4);
    range->addWidget(endLabel, 1, 0);
    range->addWidget(Button3, 1, 1);
    range->addWidget(tb_end, 1, 2);
    range->addWidget(Button4, 1, 3);
    range->addWidget(st_timee, 1, 4);
    range->setColumnStretch(2, 1);
    auto* folder = new QHBoxLayout;
    folder->addWidget(edt_directory, 1);
    folder->addWidget(btn_selectdir);
    auto* jobButtons = new QHBoxLayout;
    jobButtons->addStretch();
    for (QPushButton* b : {btn_play, btn_cut, btn_stop, btn_close}) jobButtons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    OpenMenuBarOnF10(this, menuBar);
    layout->addWidget(lv, 1);
    layout->addLayout(listButtons);
    layout->addLayout(range);
    layout->addWidget(edt_info);
    layout->addLayout(folder);
    layout->addWidget(pb);
    layout->addLayout(jobButtons);
    resize(520, 460);

    const std::pair<QPushButton*, QAction*> commands[] = {
        {btn_select, mi_addfile}, {btn_delete, mi_delete}, {btn_clear, mi_clear}, {btn_play, mi_play},
        {btn_cut, mi_startcut},   {btn_stop, mi_stop},     {btn_close, mi_exit}};
    const std::function<void()> handlers[] = {
        [this] { btn_selectClick(); }, [this] { btn_deleteClick(); }, [this] { btn_clearClick(); },
        [this] { btn_playClick(); },   [this] { btn_cutClick(); },    [this] { btn_stopClick(); },
        [this] { btn_closeClick(); }};
    for (size_t i = 0; i < std::size(commands); ++i) {
        connect(commands[i].first, &QPushButton::clicked, this, handlers[i]);
        connect(commands[i].second, &QAction::triggered, this, handlers[i]);
    }
    connect(btn_selectdir, &QPushButton::clicked, this, &Tfm_cut::btn_selectdirClick);
    connect(lv, &QTableWidget::cellClicked, this, &Tfm_cut::lvClick);
    connect(tb_start, &TvsTrackBar::changed, this, &Tfm_cut::tb_startChange);
    tb_start->installEventFilter(this);
    connect(&preview_, &PlaybackSession::onPosition, this, &Tfm_cut::previewPosition);
    connect(&preview_, &PlaybackSession::onEndPlay, this, [this] {
        if (PreviewPlaying) stopPreview();
    });
    connect(tb_end, &TvsTrackBar::changed, this, &Tfm_cut::tb_endChange);
    connect(Button1, &QPushButton::clicked, this, [this] { MoveBack(tb_start); });
    connect(Button2, &QPushButton::clicked, this, [this] { MoveForward(tb_start); });
    connect(Button3, &QPushButton::clicked, this, [this] { MoveBack(tb_end); });
    connect(Button4, &QPushButton::clicked, this, [this] { MoveForward(tb_end); });
}

// Closing the program during a cut: the job ends at its next block (a stop
// answers its questions) and drops its output; its thread is waited for.
Tfm_cut::~Tfm_cut() = default;

// ---------------------------------------------------------------- show, close

void Tfm_cut::showEvent(QShowEvent* event) {
    for (QPushButton* b : {Button1, Button2, Button3, Button4, btn_stop, btn_play, btn_cut}) b->setEnabled(false);
    enableRangeControls(false);
    for (QAction* a : {mi_play, mi_startcut, mi_stop}) a->setEnabled(false);
    PreviewPlaying = false;
    DressToolWindow(this);
    edt_directory->setText(StoredFolderOr(
        QString::fromStdString(IniFile().readString("Cut", "output directory", "")), MusicFolder()));
    QDialog::showEvent(event);
}

void Tfm_cut::done(int result) {
    btn_stopClick();
    lv->setRowCount(0);
    resetWindow();
    IniFile().writeString("Cut", "output directory", edt_directory->text().toStdString());
    QDialog::done(result);
}

void Tfm_cut::btn_closeClick() { close(); }

// ---------------------------------------------------------------- the list

void Tfm_cut::btn_selectClick() {
    const QStringList files = ChooseAudioFiles(this, QStringLiteral("Add File(s) to Playlist"), "Cut");
    if (!files.isEmpty()) addFiles(files);
}

void Tfm_cut::addFiles(const QStringList& files) {
    const int before = lv->rowCount();
    // A file that does not open ends the whole add.
    AddAudioRows(lv, files, this, [this](const QString&) {
        ShowError(QStringLiteral("File read error"), this);
        return false;
    });
    if (lv->rowCount() == before) return;
    tb_start->setPosition(0);
    tb_end->setPosition(0);
}

void Tfm_cut::lvClick() {
    const int row = lv->currentRow();
    if (row < 0) return;
    // The file being cut stays the chosen one until its cut has ended.
    if (job_) {
        for (int r = 0; r < lv->rowCount(); ++r)
            if (lv->item(r, PathColumn)->text() == CutSource) lv->setCurrentCell(r, NameColumn);
        return;
    }
    if (PreviewPlaying) stopPreview();
    const QString path = lv->item(row, PathColumn)->text();
    if (!NameTaken(path)) {
        ShowInformation(QStringLiteral("The file has been removed."), this);
        lv->removeRow(row);
        return;
    }
    AudioInformation facts;
    facts.load(LocalPathString(path));
    edt_info->setText(QString::number(facts.infoFrequency) + QStringLiteral("Hz ") +
                      QString::number(facts.infoBitrate / 1000) + QStringLiteral("KBit ") +
                      (facts.infoChannels == 2 ? QStringLiteral("Stereo") : QStringLiteral("mono")));
    preview_.open(LocalPathString(path));
    durationMs_ = RowDurationMs(lv, row);
    CutSource = path;
    tb_start->setPosition(0);
    tb_end->setPosition(1000);
    st_times->setText(QStringLiteral("00:00:00"));
    st_timee->setText(lv->item(row, TimeColumn)->text());
    Enable(btn_play, mi_play, true);
    Enable(btn_cut, mi_startcut, true);
    enableRangeControls(true);
    mi_stop->setEnabled(false);
}

void Tfm_cut::btn_deleteClick() {
    const int row = lv->currentRow();
    if (row < 0) return;
    if (lv->item(row, PathColumn)->text() == CutSource) {
        btn_stopClick();
        resetWindow();
    }
    lv->removeRow(row);
}

void Tfm_cut::btn_clearClick() {
    if (lv->rowCount() == 0) return;
    if (!ConfirmClearList(this)) return;
    btn_stopClick();
    lv->setRowCount(0);
    resetWindow();
}

void Tfm_cut::resetWindow() {
    preview_.close();
    CutSource.clear();
    durationMs_ = 0;
    tb_start->setPosition(0);
    tb_end->setPosition(0);
    enableRangeControls(false);
    for (QAction* a : {mi_play, mi_startcut, mi_stop}) a->setEnabled(false);
    for (QPushButton* b : {btn_play, btn_cut, btn_stop}) b->setEnabled(false);
    st_times->setText(QStringLiteral("00:00:00"));
    st_timee->setText(QStringLiteral("00:00:00"));
    edt_info->clear();
    pb->setPosition(0);
}

void Tfm_cut::btn_selectdirClick() {
    const QString folder = ChooseFolder(this);
    if (!folder.isEmpty()) edt_directory->setText(folder);
}

// ---------------------------------------------------------------- the range

QString Tfm_cut::timeTextAt(int permille) const { return TimeText(MulDiv64(permille, durationMs_, 1000)); }

void Tfm_cut::tb_startChange() { st_times->setText(timeTextAt(tb_start->position())); }

void Tfm_cut::tb_endChange() { st_timee->setText(timeTextAt(tb_end->position())); }

void Tfm_cut::enableRangeControls(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{tb_start, tb_end, Button1, Button2, Button3, Button4})
        w->setEnabled(on);
}

// ---------------------------------------------------------------- preview

void Tfm_cut::btn_playClick() {
    if (lv->currentRow() < 0 || CutSource.isEmpty()) return;
    PreviewPlaying = true;
    Enable(btn_cut, mi_startcut, false);
    Enable(btn_play, mi_play, false);
    Enable(btn_select, mi_addfile, false);
    Enable(btn_stop, mi_stop, true);
    if (!preview_.open(LocalPathString(CutSource))) {
        stopPreview();
        return;
    }
    PreviewStart = CutFrameAt(tb_start->position(), preview_.length());
    PreviewEnd = CutFrameAt(tb_end->position(), preview_.length());
    if (PreviewStart > PreviewEnd) {
        ShowInformation(QStringLiteral("The start-time must be smaller than end-time"), this);
        stopPreview();
        return;
    }
    // A device that does not play ends the preview at once.
    if (!startPreview()) stopPreview();
}

bool Tfm_cut::startPreview() {
    PreviewStart = CutFrameAt(tb_start->position(), preview_.length());
    return preview_.start(PreviewStart);
}

void Tfm_cut::previewPosition(qint64 frame) {
    if (!PreviewPlaying) return;
    st_times->setText(TimeText(MulDiv64(frame, preview_.durationMs(), preview_.length())));
    PreviewEnd = CutFrameAt(tb_end->position(), preview_.length());
    if (frame > PreviewEnd) stopPreview();
}

void Tfm_cut::stopPreview() {
    preview_.stop();
    PreviewPlaying = false;
    Enable(btn_play, mi_play, true);
    Enable(btn_cut, mi_startcut, true);
    Enable(btn_select, mi_addfile, true);
    Enable(btn_stop, mi_stop, false);
}

bool Tfm_cut::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == tb_start && PreviewPlaying &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (type == QEvent::MouseButtonPress) {
            preview_.stop();
        } else {
            // Once the bar has taken the release and its last position.
            QMetaObject::invokeMethod(
                this, [this] {
                    if (PreviewPlaying && !startPreview()) stopPreview();
                },
                Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- the cut

void Tfm_cut::btn_cutClick() {
    if (lv->currentRow() < 0 || CutSource.isEmpty() || job_) return;
    if (PreviewPlaying) stopPreview();
    CutSettings settings;
    settings.source = CutSource;
    settings.startPermille = tb_start->position();
    settings.endPermille = tb_end->position();
    settings.outputFolder = edt_directory->text().isEmpty() ? MusicFolder() : edt_directory->text();
    auto* job = new CutJob(settings, &boxes_, this);
    job_ = job;
    // The rows and the range stay as they are until the job has ended, its
    // questions included.
    setCuttingControls();
    const QString folder = settings.outputFolder;
    connect(job, &ToolJob::percent, pb, &TvsProgressBar::setPosition);
    connect(job, &ToolJob::ended, this, [this, job, folder](bool endStep) { jobEnded(job, folder, endStep); });
    // WMA sources are cut here, between the window's events.
    if (QFileInfo(CutSource).suffix().prepend(QLatin1Char('.')) == QLatin1String(".wma")) {
        threads_.start(job, JobPlace::GuiThread);
        return;
    }
    threads_.start(job);
}

bool Tfm_cut::cutOnWorker() const {
    return job_ && job_->place() == JobPlace::Worker && !job_->stopRequested();
}

void Tfm_cut::jobEnded(CutJob* job, const QString& folder, bool endStep) {
    if (job != job_) return;
    job_ = nullptr;
    if (endStep) {
        OpenLocalPath(folder);
        pb->setPosition(0);
    }
    setIdleControls();
}

void Tfm_cut::setCuttingControls() {
    lv->setEnabled(false);
    enableRangeControls(false);
    Enable(btn_play, mi_play, false);
    Enable(btn_select, mi_addfile, false);
    Enable(btn_cut, mi_startcut, false);
    Enable(btn_stop, mi_stop, true);
}

void Tfm_cut::setIdleControls() {
    lv->setEnabled(true);
    Enable(btn_select, mi_addfile, true);
    if (PreviewPlaying) return;
    Enable(btn_stop, mi_stop, false);
    // A row deleted meanwhile leaves nothing to play or cut.
    const bool source = !CutSource.isEmpty();
    Enable(btn_play, mi_play, source);
    Enable(btn_cut, mi_startcut, source);
    enableRangeControls(source);
}

// The job goes on to its next block, drops its output and then ends as
// every cut does; the window does not wait for it.
void Tfm_cut::abortCut() {
    if (job_) job_->stop();
    Enable(btn_select, mi_addfile, true);
    Enable(btn_play, mi_play, true);
    Enable(btn_stop, mi_stop, false);
}

void Tfm_cut::btn_stopClick() {
    const bool onWorker = cutOnWorker();
    if (job_ && !onWorker) job_->stop();
    if (PreviewPlaying) stopPreview();
    if (onWorker) abortCut();
    // A stopped cut gives the range back once it has ended.
    if (!CutSource.isEmpty() && !job_) enableRangeControls(true);
}
