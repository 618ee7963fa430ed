#include "tools/combine.h"

#include <QAction>
#include <QButtonGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "platform/texthelpers.h"
#include "platform/inifile.h"
#include "platform/keyboard.h"
#include "platform/launcher.h"
#include "platform/messageboxes.h"
#include "platform/presenter.h"
#include "platform/userfolders.h"
#include "skin/progressbar.h"
#include "tools/directory.h"
#include "jobs/encodertables.h"
#include "tools/setting.h"
#include "windowkit/toolskin.h"
#include "windowkit/toolwindow.h"

Tfm_combine* fm_combine = nullptr;


Tfm_combine::Tfm_combine(QWidget* parent) : QDialog(parent), boxes_(this) {
    setWindowTitle(QStringLiteral("Combine"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);

    vslv_mp3file = FileList(
        this, "vslv_mp3file",
        {QStringLiteral("File Name"), QStringLiteral("Full Path"), QStringLiteral("Size"), QStringLiteral("Time")},
        QAbstractItemView::ExtendedSelection);

    btn_add = ToolButton(this, "btn_add", QStringLiteral("Add"));
    btn_delete = ToolButton(this, "btn_delete", QStringLiteral("Delete"));
    btn_clear = ToolButton(this, "btn_clear", QStringLiteral("Clear"));
    btn_up = ToolButton(this, "btn_up", QStringLiteral("Up"));
    btn_down = ToolButton(this, "btn_down", QStringLiteral("Down"));
    btn_combine = ToolButton(this, "btn_combine", QStringLiteral("Combine"));
    btn_stop = ToolButton(this, "btn_stop", QStringLiteral("Stop"));
    btn_close = ToolButton(this, "btn_close", QStringLiteral("Close"));
    btn_selectdir = ToolButton(this, "btn_selectdir", QStringLiteral("Select directory"));
    btn_option = ToolButton(this, "btn_option", QStringLiteral("Option"));

    edt_directory = new QLineEdit(this);
    edt_directory->setObjectName(QStringLiteral("edt_directory"));
    edt_directory->setReadOnly(true);
    edt_directory->setEnabled(false);
    edt_file = new QLineEdit(this);
    edt_file->setObjectName(QStringLiteral("edt_file"));
    st_time = new QLabel(QStringLiteral("00:00:00"), this);
    st_time->setObjectName(QStringLiteral("st_time"));

    pb_current = new TvsProgressBar(this);
    pb_current->setObjectName(QStringLiteral("pb_current"));
    pb_total = new TvsProgressBar(this);
    pb_total->setObjectName(QStringLiteral("pb_total"));
    for (TvsProgressBar* bar : {pb_current, pb_total}) {
        bar->setMax(100);
        bar->setPosition(0);
        bar->setShowCaption(true);
    }

    auto* formats = new QGroupBox(QStringLiteral("Select Format"), this);
    auto* formatRow = new QHBoxLayout(formats);
    auto* formatGroup = new QButtonGroup(this);
    const QString formatTexts[] = {QStringLiteral("WAV"), QStringLiteral("MP3"), QStringLiteral("OGG"),
                                   QStringLiteral("WMA")};
    for (int i = 0; i < 4; ++i) {
        rb_format[i] = new QRadioButton(formatTexts[i], formats);
        formatGroup->addButton(rb_format[i], i);
        formatRow->addWidget(rb_format[i]);
    }
    connect(formatGroup, &QButtonGroup::idClicked, this, [this](int id) { CombineFormat = id; });

    auto* menuBar = new QMenuBar(this);
    QMenu* file = menuBar->addMenu(QStringLiteral("File"));
    mi_add = file->addAction(QStringLiteral("Add"));
    mi_delete = file->addAction(QStringLiteral("Delete File Record"));
    mi_clear = file->addAction(QStringLiteral("Clear File Record"));
    mi_up = file->addAction(QStringLiteral("Up"));
    mi_down = file->addAction(QStringLiteral("Down"));
    mi_option = file->addAction(QStringLiteral("Option"));
    file->addSeparator();
    mi_exit = file->addAction(QStringLiteral("Exit"));
    QMenu* action = menuBar->addMenu(QStringLiteral("Action"));
    mi_start = action->addAction(QStringLiteral("Start Combine"));
    mi_stop = action->addAction(QStringLiteral("Stop"));

    auto* listButtons = new QHBoxLayout;
    for (QPushButton* b : {btn_add, btn_delete, btn_clear, btn_up, btn_down}) listButtons->addWidget(b);
    listButtons->addStretch();
    listButtons->addWidget(new QLabel(QStringLiteral("Total time:"), this));
    listButtons->addWidget(st_time);
    auto* folder = new QHBoxLayout;
    folder->addWidget(edt_directory, 1);
    folder->addWidget(btn_selectdir);
    auto* name = new QHBoxLayout;
    name->addWidget(new QLabel(QStringLiteral("File name:"), this));
    name->addWidget(edt_file, 1);
    name->addWidget(btn_option);
    auto* bars = new QGridLayout;
    bars->addWidget(new QLabel(QStringLiteral("Current:"), this), 0, 0);
    bars->addWidget(pb_current, 0, 1);
    bars->addWidget(new QLabel(QStringLiteral("Total:"), this), 1, 0);
    bars->addWidget(pb_total, 1, 1);
    bars->setColumnStretch(1, 1);
    auto* jobButtons = new QHBoxLayout;
    jobButtons->addStretch();
    for (QPushButton* b : {btn_combine, btn_stop, btn_close}) jobButtons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    OpenMenuBarOnF10(this, menuBar);
    layout->addWidget(vslv_mp3file, 1);
    layout->addLayout(listButtons);
    layout->addWidget(formats);
    layout->addLayout(name);
    layout->addLayout(folder);
    layout->addLayout(bars);
    layout->addLayout(jobButtons);

    const std::pair<QPushButton*, QAction*> commands[] = {
        {btn_add, mi_add},         {btn_delete, mi_delete}, {btn_clear, mi_clear},   {btn_up, mi_up},
        {btn_down, mi_down},       {btn_option, mi_option}, {btn_combine, mi_start}, {btn_stop, mi_stop},
        {btn_close, mi_exit}};
    const std::function<void()> handlers[] = {
        [this] { btn_addClick(); },     [this] { btn_deleteClick(); },  [this] { btn_clearClick(); },
        [this] { btn_upClick(); },      [this] { btn_downClick(); },    [this] { btn_optionClick(); },
        [this] { btn_combineClick(); }, [this] { btn_stopClick(); },    [this] { btn_closeClick(); }};
    for (size_t i = 0; i < std::size(commands); ++i) {
        connect(commands[i].first, &QPushButton::clicked, this, handlers[i]);
        connect(commands[i].second, &QAction::triggered, this, handlers[i]);
    }
    connect(btn_selectdir, &QPushButton::clicked, this, &Tfm_combine::btn_selectdirClick);
    connect(edt_file, &QLineEdit::editingFinished, this, &Tfm_combine::edt_fileExit);
}


// ---------------------------------------------------------------- show, close

void Tfm_combine::showEvent(QShowEvent* event) {
    resize(423, 391);
    const IniFile ini;
    edt_directory->setText(StoredFolderOr(
        QString::fromStdString(ini.readString("combine", "output directory", "")), MusicFolder()));
    CombineFormat = std::clamp(ini.readInteger("combine", "format", 1), 0, 3);
    TotalDurationMs = 0;
    Enable(btn_stop, mi_stop, false);
    rb_format[CombineFormat]->setChecked(true);
    DressToolWindow(this);
    QDialog::showEvent(event);
}

void Tfm_combine::done(int result) {
    IniFile().writeInteger("combine", "format", CombineFormat);
    if (job_) btn_stopClick();
    vslv_mp3file->setRowCount(0);
    TotalDurationMs = 0;
    st_time->setText(QStringLiteral("00:00:00"));
    edt_file->clear();
    QDialog::done(result);
}

void Tfm_combine::btn_closeClick() { close(); }

// ---------------------------------------------------------------- the list

void Tfm_combine::btn_addClick() {
    const QStringList files = ChooseAudioFiles(this, QStringLiteral("Open"), "Combine");
    if (!files.isEmpty()) addFiles(files);
}

void Tfm_combine::addFiles(const QStringList& files) {
    TotalDurationMs += AddAudioRows(vslv_mp3file, files, this, [this](const QString& path) {
        ShowInformation(QFileInfo(path).fileName() + QStringLiteral(" is an invalid audio file!"), this);
        return true;
    });
    showTotalTime();
}

void Tfm_combine::showTotalTime() { st_time->setText(TimeText(TotalDurationMs)); }

void Tfm_combine::btn_deleteClick() {
    QList<int> rows;
    for (const QModelIndex& index : vslv_mp3file->selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows) vslv_mp3file->removeRow(row);
    TotalDurationMs = 0;
    for (int row = 0; row < vslv_mp3file->rowCount(); ++row)
        TotalDurationMs += RowDurationMs(vslv_mp3file, row);
    showTotalTime();
}

void Tfm_combine::btn_clearClick() {
    if (vslv_mp3file->rowCount() == 0) return;
    if (!ConfirmClearList(this)) return;
    vslv_mp3file->setRowCount(0);
    TotalDurationMs = 0;
    st_time->setText(QStringLiteral("00:00:00"));
}

void Tfm_combine::btn_upClick() { moveSelected(-1); }

void Tfm_combine::btn_downClick() { moveSelected(1); }

// Each selected row changes places with its neighbour, nearest to the end
// it moves toward first; a row already at that end, and a selected row
// stacked behind it, stay. The selection moves with the rows.
void Tfm_combine::moveSelected(int step) {
    QTableWidget* list = vslv_mp3file;
    const int count = list->rowCount();
    std::vector<bool> selected(static_cast<size_t>(count), false);
    for (const QModelIndex& index : list->selectionModel()->selectedRows()) selected[static_cast<size_t>(index.row())] = true;
    const int first = step < 0 ? 0 : count - 1;
    for (int i = 0; i < count; ++i) {
        const int row = step < 0 ? i : count - 1 - i;
        const int other = row + step;
        if (!selected[static_cast<size_t>(row)] || row == first || selected[static_cast<size_t>(other)]) continue;
        for (int c = 0; c < list->columnCount(); ++c) {
            QTableWidgetItem* a = list->takeItem(row, c);
            QTableWidgetItem* b = list->takeItem(other, c);
            list->setItem(row, c, b);
            list->setItem(other, c, a);
        }
        selected[static_cast<size_t>(row)] = false;
        selected[static_cast<size_t>(other)] = true;
    }
    list->clearSelection();
    for (int row = 0; row < count; ++row)
        if (selected[static_cast<size_t>(row)])
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// ---------------------------------------------------------------- settings

void Tfm_combine::btn_selectdirClick() {
    const QString folder = ChooseFolder(this);
    if (folder.isEmpty()) return;
    edt_directory->setText(folder);
    IniFile().writeString("combine", "output directory", folder.toStdString());
}

void Tfm_combine::btn_optionClick() {
    if (!fm_combinesetting) return;
    fm_combinesetting->adjustSize();
    CentreOver(fm_combinesetting, this);
    ShowModal(fm_combinesetting);
}

void Tfm_combine::edt_fileExit() {
    const QString cleaned = QString::fromStdString(RemoveInvalidFileNameChars(edt_file->text().toStdString()));
    if (cleaned != edt_file->text()) edt_file->setText(cleaned);
}

CombineSettings Tfm_combine::snapshot() const {
    CombineSettings s;
    for (int row = 0; row < vslv_mp3file->rowCount(); ++row) s.sources << vslv_mp3file->item(row, PathColumn)->text();
    s.outputFolder = edt_directory->text().isEmpty() ? MusicFolder() : edt_directory->text();
    s.fileName = edt_file->text();
    s.format = static_cast<::CombineFormat>(CombineFormat);
    const CombineFormatIndexes indexes = CombineFormatIndexes::read(IniFile());
    indexes.applyTo(s);
    // The WMA format is the one the settings window's list shows.
    if (fm_combinesetting) s.wmaProfile = encodertables::At(encodertables::WmaProfileIds, fm_combinesetting->cbx_wma->currentIndex());
    return s;
}

// ---------------------------------------------------------------- the job

void Tfm_combine::setJobControls(bool running) {
    Enable(btn_combine, mi_start, !running);
    Enable(btn_add, mi_add, !running);
    Enable(btn_delete, mi_delete, !running);
    Enable(btn_clear, mi_clear, !running);
    Enable(btn_up, mi_up, !running);
    Enable(btn_down, nullptr, !running);
    Enable(btn_stop, mi_stop, running);
}

void Tfm_combine::btn_combineClick() {
    if (vslv_mp3file->rowCount() == 0 || job_) return;
    edt_fileExit();
    setJobControls(true);
    const CombineSettings settings = snapshot();
    auto* job = new CombineJob(settings, &boxes_, this);
    job_ = job;
    const QString folder = settings.outputFolder;
    connect(job, &ToolJob::subPercent, this, [this, job](int percent) {
        if (job == job_) pb_current->setPosition(percent);
    });
    connect(job, &ToolJob::percent, this, [this, job](int percent) {
        if (job == job_) pb_total->setPosition(percent);
    });
    connect(job, &ToolJob::ended, this, [this, job, folder](bool endStep) { jobEnded(job, folder, endStep); });
    if (CombineFormat == 3) {
        // The WMA combine runs here, between the window's events.
        threads_.start(job, JobPlace::GuiThread);
        return;
    }
    threads_.start(job);
}

// A job that Stop let go still ends as every combine does, with the output
// folder; the window's controls are no longer its.
void Tfm_combine::jobEnded(CombineJob* job, const QString& folder, bool endStep) {
    if (endStep) OpenLocalPath(folder);
    if (job != job_) return;
    job_ = nullptr;
    pb_current->setPosition(0);
    pb_total->setPosition(0);
    setJobControls(false);
}

void Tfm_combine::btn_stopClick() {
    if (job_) job_->stop();
    job_ = nullptr;
    pb_current->setPosition(0);
    pb_total->setPosition(0);
    setJobControls(false);
}
