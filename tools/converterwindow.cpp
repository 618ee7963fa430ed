#include "tools/converterwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "components/skin/skinlabel.h"
#include "platform/inifile.h"
#include "platform/keyboard.h"
#include "platform/launcher.h"
#include "platform/messageboxes.h"
#include "platform/userfolders.h"
#include "tools/directory.h"
#include "jobs/encodertables.h"
#include "windowkit/toolskin.h"
#include "windowkit/toolwindow.h"

using namespace encodertables;

namespace {

// The list has the tool windows' four columns and the row's state.
constexpr int StateColumn = TimeColumn + 1;

ConverterConfig BaseConfig(TargetFormat target, const QString& caption, int width, int height) {
    ConverterConfig c;
    c.target = target;
    c.designCaption = caption;
    c.showSize = QSize(width, height);
    c.normalizeBoxName = QStringLiteral("cbx_normalize");
    c.normalizeBoxCaption = QStringLiteral("Normalize to:");
    c.fileMenu = QStringLiteral("File");
    c.addItem = QStringLiteral("Add");
    c.actionMenu = QStringLiteral("Action");
    return c;
}

QComboBox* List(QWidget* parent, const QString& name, const QStringList& items) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItems(items);
    return c;
}

UpDown* Spin(QWidget* parent, const QString& name, int min, int max, int step = 1) {
    auto* u = new UpDown(min, max, step, parent);
    u->setObjectName(name);
    return u;
}

}  // namespace

ConverterConfig Mp3ConverterConfig() {
    ConverterConfig c = BaseConfig(TargetFormat::Mp3, QStringLiteral("MP3 Normalizer"), 435, 437);
    c.normalizeBoxName = QStringLiteral("cb_normalize");
    c.normalizeBoxCaption = QStringLiteral("Enabled Normalize ");
    c.fileMenu = QStringLiteral("  File  ");
    c.folderKey = "path";
    c.convertSection = "to mp3";
    c.normalizeSection = "mp3 normalize";
    c.convertAddSection = "To MP3";
    c.normalizeAddSection = "MP3 Normalize";
    c.ownFilter = QStringLiteral("MP3 Files(*.mp3)|*.mp3");
    c.otherFilter = QStringLiteral("All Supported Formats(*.ogg,*.wma,*.wav)|*.ogg;*.wma;*.wav");
    return c;
}

ConverterConfig WavConverterConfig() {
    ConverterConfig c = BaseConfig(TargetFormat::Wav, QStringLiteral("WAV Normalize"), 420, 395);
    c.fadeMinimum = 1;
    c.fileMenu = QStringLiteral("  File   ");
    c.addItem = QStringLiteral("Add File");
    c.actionMenu = QStringLiteral("Action ");
    c.defaultButtonName = "btn_df";
    c.convertSection = "to wav";
    c.normalizeSection = "WAV Normalize";
    c.convertAddSection = "To WAV";
    c.normalizeAddSection = "WAV Normalize";
    c.ownFilter = QStringLiteral("WAV Files(*.wav)|*.wav");
    c.otherFilter = QStringLiteral("All Supported Formats(*.mp3,*.wma,*.ogg)|*.mp3;*.wma;*.ogg");
    return c;
}

ConverterConfig OggConverterConfig() {
    ConverterConfig c = BaseConfig(TargetFormat::Ogg, QStringLiteral("OGG Normalizer"), 393, 425);
    c.convertSection = "to ogg";
    c.normalizeSection = "ogg normalize";
    c.convertAddSection = "To OGG";
    c.normalizeAddSection = "OGG Normalize";
    c.ownFilter = QStringLiteral("OGG Files(*.ogg)|*.ogg");
    c.otherFilter = QStringLiteral("All Supported Formats(*.mp3,*.wma,*.wav)|*.mp3;*.wma;*.wav");
    return c;
}

ConverterConfig WmaConverterConfig() {
    ConverterConfig c = BaseConfig(TargetFormat::Wma, QStringLiteral("WMA Normalizer"), 410, 420);
    c.defaultButtonName = "btn_df";
    c.hasPause = false;
    c.convertSection = "to wma";
    c.normalizeSection = "Wma Normalize";
    c.convertAddSection = "To WMA";
    c.normalizeAddSection = "WMA Normalize";
    c.ownFilter = QStringLiteral("WMA Files(*.wma)|*.wma");
    c.otherFilter = QStringLiteral("All Supported Formats(*.mp3,*.wav,*.ogg)|*.mp3;*.wav;*.ogg");
    return c;
}

// ---------------------------------------------------------------- window

ConverterWindow::ConverterWindow(ConverterConfig config, QWidget* parent)
    : QDialog(parent), config_(std::move(config)) {
    setWindowTitle(config_.designCaption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);

    vslv_mp3file = FileList(this, "vslv_mp3file",
                            {QStringLiteral("Name"), QStringLiteral("Path"), QStringLiteral("Size"),
                             QStringLiteral("Time"), QStringLiteral("State")},
                            QAbstractItemView::ExtendedSelection);

    btn_default = ToolButton(this, config_.defaultButtonName, QStringLiteral("Defalut"));
    btn_add = ToolButton(this, "btn_add", QStringLiteral("Add"));
    btn_delete = ToolButton(this, "btn_delete", QStringLiteral("Delete"));
    btn_clear = ToolButton(this, "btn_clear", QStringLiteral("Clear"));
    btn_start = ToolButton(this, "btn_start", QStringLiteral("Start"));
    if (config_.hasPause) btn_pause = ToolButton(this, "btn_pause", QStringLiteral("Pause"));
    btn_stop = ToolButton(this, "btn_stop", QStringLiteral("Stop"));
    btn_close = ToolButton(this, "btn_close", QStringLiteral("Close"));

    edt_directory = new QLineEdit(this);
    edt_directory->setObjectName(QStringLiteral("edt_directory"));
    edt_directory->setReadOnly(true);
    edt_directory->setEnabled(false);
    btn_selectdir = ToolButton(this, "btn_selectdir", QStringLiteral("Select directory"));

    cb_normalize = new QCheckBox(config_.normalizeBoxCaption, this);
    cb_normalize->setObjectName(config_.normalizeBoxName);
    ud_normalize = Spin(this, QStringLiteral("ud_normalize"), 50, 100);
    cbx_fade = new QCheckBox(QStringLiteral("Enable Fade In/Out"), this);
    cbx_fade->setObjectName(QStringLiteral("cbx_fade"));
    ud_fadein = Spin(this, QStringLiteral("ud_fadein"), config_.fadeMinimum, 20);
    ud_fadeout = Spin(this, QStringLiteral("ud_fadeout"), config_.fadeMinimum, 20);

    pb_mp3 = new ToolProgressBar(this);
    pb_mp3->setObjectName(QStringLiteral("pb_mp3"));

    auto* menuBar = new QMenuBar(this);
    QMenu* file = menuBar->addMenu(config_.fileMenu);
    mi_add = file->addAction(config_.addItem);
    mi_delete = file->addAction(QStringLiteral("Delete File Record"));
    mi_clear = file->addAction(QStringLiteral("Clear File Record"));
    file->addSeparator();
    mi_exit = file->addAction(QStringLiteral("Exit"));
    QMenu* action = menuBar->addMenu(config_.actionMenu);
    mi_start = action->addAction(QStringLiteral("Start"));
    if (config_.hasPause) mi_pause = action->addAction(QStringLiteral("Pause"));
    mi_stop = action->addAction(QStringLiteral("Stop"));

    // Layout: the list with its buttons, then the options and the bar.
    auto* listButtons = new QHBoxLayout;
    for (QPushButton* b : {btn_default, btn_add, btn_delete, btn_clear, btn_start, btn_pause, btn_stop, btn_close})
        if (b) listButtons->addWidget(b);
    auto* folder = new QHBoxLayout;
    folder->addWidget(edt_directory, 1);
    folder->addWidget(btn_selectdir);
    auto* options = new QGroupBox(this);
    auto* optionsForm = new QFormLayout(options);
    optionsForm->addRow(cb_normalize, ud_normalize);
    optionsForm->addRow(cbx_fade);
    optionsForm->addRow(QStringLiteral("Fade In Time Length:"), ud_fadein);
    optionsForm->addRow(QStringLiteral("Fade Out Time Length:"), ud_fadeout);
    auto* format = new QGroupBox(this);
    auto* formatForm = new QFormLayout(format);
    buildFormatControls(formatForm);
    auto* lower = new QHBoxLayout;
    lower->addWidget(options);
    lower->addWidget(format);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    OpenMenuBarOnF10(this, menuBar);
    layout->addWidget(vslv_mp3file, 1);
    layout->addLayout(listButtons);
    layout->addLayout(folder);
    layout->addLayout(lower);
    layout->addWidget(pb_mp3);

    const std::pair<QPushButton*, QAction*> commands[] = {
        {btn_add, mi_add},       {btn_delete, mi_delete}, {btn_clear, mi_clear}, {btn_start, mi_start},
        {btn_pause, mi_pause},   {btn_stop, mi_stop},     {btn_close, mi_exit}};
    const std::function<void()> handlers[] = {
        [this] { btn_addClick(); },   [this] { btn_deleteClick(); }, [this] { btn_clearClick(); },
        [this] { btn_startClick(); }, [this] { btn_pauseClick(); },  [this] { btn_stopClick(); },
        [this] { btn_closeClick(); }};
    for (size_t i = 0; i < std::size(commands); ++i) {
        if (commands[i].first) connect(commands[i].first, &QPushButton::clicked, this, handlers[i]);
        if (commands[i].second) connect(commands[i].second, &QAction::triggered, this, handlers[i]);
    }
    connect(btn_default, &QPushButton::clicked, this, &ConverterWindow::btn_defaultClick);
    connect(btn_selectdir, &QPushButton::clicked, this, &ConverterWindow::btn_selectdirClick);
    connect(cb_normalize, &QCheckBox::toggled, this, &ConverterWindow::cb_normalizeClick);
    connect(cbx_fade, &QCheckBox::toggled, this, &ConverterWindow::cbx_fadeClick);
    setBatchButtons(false);
}

void ConverterWindow::buildFormatControls(QFormLayout* form) {
    switch (config_.target) {
    case TargetFormat::Mp3: {
        cbx_frequency = List(this, QStringLiteral("cbx_frequency"), Items(kConverterMp3Rates, QStringLiteral("hz")));
        cbx_channel = List(this, QStringLiteral("cbx_channel"),
                           {QStringLiteral("Mono"), QStringLiteral("Stereo"), QStringLiteral("Joint Stereo"),
                            QStringLiteral("Forced Joint Stereo"), QStringLiteral("Dual Channels")});
        cbx_bit = List(this, QStringLiteral("cbx_bit"), Items(kMp3Bitrates, QStringLiteral("kb")));
        cbx_vbrbit = List(this, QStringLiteral("cbx_vbrbit"), Items(kMp3Bitrates, {}));
        ud_quality = Spin(this, QStringLiteral("ud_quality"), 0, 9);
        // Each rate offers only the bitrates MPEG audio allows with it.
        const auto offerBitrates = [this](int index) {
            const int rate = At(kConverterMp3Rates, index);
            OfferMp3Bitrates(cbx_bit, rate, QStringLiteral("kb"));
            OfferMp3Bitrates(cbx_vbrbit, rate, {});
        };
        connect(cbx_frequency, &QComboBox::currentIndexChanged, this, offerBitrates);
        offerBitrates(cbx_frequency->currentIndex());
        form->addRow(QStringLiteral("Frequency(kHz): "), cbx_frequency);
        form->addRow(QStringLiteral("Channel: "), cbx_channel);
        form->addRow(QStringLiteral("Bitrate: "), cbx_bit);
        auto* vbr = new QGroupBox(QStringLiteral("VBR  Options"), this);
        auto* vbrForm = new QFormLayout(vbr);
        vbrForm->addRow(QStringLiteral("VBR Bitrate: "), cbx_vbrbit);
        vbrForm->addRow(QStringLiteral("VBR Quality: "), ud_quality);
        form->addRow(vbr);
        break;
    }
    case TargetFormat::Wav:
        cbx_frequency = List(this, QStringLiteral("cbx_frequency"), Items(kConverterWavRates, {}));
        cbx_bitrate = List(this, QStringLiteral("cbx_bitrate"), {QStringLiteral("8-bit"), QStringLiteral("16-bit")});
        cbx_channel = List(this, QStringLiteral("cbx_channel"), {QStringLiteral("Mono"), QStringLiteral("Stereo")});
        form->addRow(QStringLiteral("Frequency: "), cbx_frequency);
        form->addRow(QStringLiteral("Bit Per Sample"), cbx_bitrate);
        form->addRow(QStringLiteral("Channel: "), cbx_channel);
        break;
    case TargetFormat::Ogg:
        cbx_frequency = List(this, QStringLiteral("cbx_frequency"), Items(kConverterOggRates, QStringLiteral("Hz")));
        cbx_channel = List(this, QStringLiteral("cbx_channel"), {QStringLiteral("Mono"), QStringLiteral("Stereo")});
        cbx_bitrate = List(this, QStringLiteral("cbx_bitrate"), Items(kOggBitrates, QStringLiteral("kb"), 1));
        ud_quality = Spin(this, QStringLiteral("UpDown1"), 0, 1000, 10);
        form->addRow(QStringLiteral("Samping Frequency"), cbx_frequency);
        form->addRow(QStringLiteral("Channel Mode"), cbx_channel);
        form->addRow(QStringLiteral("Bitrate: "), cbx_bitrate);
        form->addRow(QStringLiteral("Quality"), ud_quality);
        break;
    case TargetFormat::Wma: {
        auto* box = new QGroupBox(QStringLiteral("WMA Format:"), this);
        auto* row = new QHBoxLayout(box);
        cbx_format = List(this, QStringLiteral("cbx_format"), WmaFormatTexts());
        Button1 = ToolButton(this, "Button1", QStringLiteral("？"));
        row->addWidget(cbx_format, 1);
        row->addWidget(Button1);
        helpLabel = new SkinLabel(this);
        helpLabel->setObjectName(QStringLiteral("SkinLabel1"));
        helpLabel->setWordWrap(true);
        form->addRow(box);
        form->addRow(helpLabel);
        BindWmaHelp(Button1, helpLabel, cbx_format);
        break;
    }
    }
}

const char* ConverterWindow::section() const {
    return normalizing() ? config_.normalizeSection : config_.convertSection;
}

const char* ConverterWindow::addSection() const {
    return normalizing() ? config_.normalizeAddSection : config_.convertAddSection;
}

bool ConverterWindow::running() const { return job_ && job_->isRunning(); }

// ---------------------------------------------------------------- settings

void ConverterWindow::showEvent(QShowEvent* event) {
    resize(config_.showSize);
    readSettings();
    cb_normalizeClick();
    cbx_fadeClick();
    setBatchButtons(false);
    Enable(btn_start, mi_start, false);
    DressToolWindow(this);
    if (helpLabel) helpLabel->hide();
    QDialog::showEvent(event);
}

void ConverterWindow::readSettings() {
    const IniFile ini;
    const char* s = section();
    if (normalizing()) {
        cb_normalize->setChecked(true);
        cb_normalize->setEnabled(false);
    } else {
        cb_normalize->setEnabled(true);
        cb_normalize->setChecked(ini.readBool(s, "normalize", false));
    }
    cbx_fade->setChecked(ini.readBool(s, "fade", false));
    ud_fadein->setPosition(ini.readInteger(s, "fade in", 10));
    ud_fadeout->setPosition(ini.readInteger(s, "fade out", 20));
    ud_normalize->setPosition(ini.readInteger(s, "normalize ratio", 98));
    edt_directory->setText(
        StoredFolderOr(QString::fromStdString(ini.readString(s, config_.folderKey, "")), MusicFolder()));
    switch (config_.target) {
    case TargetFormat::Mp3:
        cbx_frequency->setCurrentIndex(ini.readInteger(s, "frequency", normalizing() ? 7 : 1));
        SetIndexWithin(cbx_bit, ini.readInteger(s, "bit", 7));
        SetIndexWithin(cbx_vbrbit, ini.readInteger(s, "vbr bit", 7));
        cbx_channel->setCurrentIndex(ini.readInteger(s, "channel", 1));
        ud_quality->setPosition(ini.readInteger(s, "quality", 5));
        break;
    case TargetFormat::Wav:
        cbx_frequency->setCurrentIndex(ini.readInteger(s, "wav frequency", 8));
        cbx_bitrate->setCurrentIndex(ini.readInteger(s, "wav bit", 1));
        cbx_channel->setCurrentIndex(ini.readInteger(s, "wav channel", 1));
        break;
    case TargetFormat::Ogg:
        cbx_frequency->setCurrentIndex(ini.readInteger(s, "frequency", 1));
        cbx_channel->setCurrentIndex(ini.readInteger(s, "channel", 1));
        cbx_bitrate->setCurrentIndex(ini.readInteger(s, "bit", 7));
        ud_quality->setPosition(ini.readInteger(s, "quality", 300));
        break;
    case TargetFormat::Wma: cbx_format->setCurrentIndex(ini.readInteger(s, "wma format", 7)); break;
    }
}

void ConverterWindow::writeSettings() {
    IniFile ini;
    const char* s = section();
    if (!normalizing()) ini.writeBool(s, "normalize", cb_normalize->isChecked());
    ini.writeBool(s, "fade", cbx_fade->isChecked());
    ini.writeInteger(s, "fade in", ud_fadein->position());
    ini.writeInteger(s, "fade out", ud_fadeout->position());
    ini.writeInteger(s, "normalize ratio", ud_normalize->position());
    ini.writeString(s, config_.folderKey, edt_directory->text().toStdString());
    switch (config_.target) {
    case TargetFormat::Mp3:
        ini.writeInteger(s, "frequency", cbx_frequency->currentIndex());
        ini.writeInteger(s, "bit", cbx_bit->currentIndex());
        ini.writeInteger(s, "vbr bit", cbx_vbrbit->currentIndex());
        ini.writeInteger(s, "channel", cbx_channel->currentIndex());
        ini.writeInteger(s, "quality", ud_quality->position());
        break;
    case TargetFormat::Wav:
        ini.writeInteger(s, "wav frequency", cbx_frequency->currentIndex());
        ini.writeInteger(s, "wav bit", cbx_bitrate->currentIndex());
        ini.writeInteger(s, "wav channel", cbx_channel->currentIndex());
        break;
    case TargetFormat::Ogg:
        ini.writeInteger(s, "frequency", cbx_frequency->currentIndex());
        ini.writeInteger(s, "channel", cbx_channel->currentIndex());
        ini.writeInteger(s, "bit", cbx_bitrate->currentIndex());
        ini.writeInteger(s, "quality", ud_quality->position());
        break;
    case TargetFormat::Wma: ini.writeInteger(s, "wma format", cbx_format->currentIndex()); break;
    }
}

void ConverterWindow::btn_defaultClick() {
    ud_normalize->setPosition(98);
    cbx_fade->setChecked(false);
    ud_fadein->setPosition(10);
    ud_fadeout->setPosition(20);
    defaultFormat();
    cb_normalize->setEnabled(!normalizing());
    cb_normalize->setChecked(normalizing());
    cb_normalizeClick();
}

void ConverterWindow::defaultFormat() {
    switch (config_.target) {
    case TargetFormat::Mp3:
        cbx_frequency->setCurrentIndex(7);
        cbx_bit->setCurrentIndex(7);
        cbx_vbrbit->setCurrentIndex(7);
        cbx_channel->setCurrentIndex(1);
        ud_quality->setPosition(5);
        break;
    case TargetFormat::Wav:
        cbx_frequency->setCurrentIndex(8);
        cbx_bitrate->setCurrentIndex(1);
        cbx_channel->setCurrentIndex(1);
        break;
    case TargetFormat::Ogg:
        ud_quality->setPosition(300);
        cbx_frequency->setCurrentIndex(1);
        cbx_bitrate->setCurrentIndex(6);
        cbx_channel->setCurrentIndex(1);
        break;
    case TargetFormat::Wma: cbx_format->setCurrentIndex(7); break;
    }
}

// Fade needs normalize, in both jobs.
void ConverterWindow::cb_normalizeClick() {
    NormalizeFadeControls{cb_normalize, ud_normalize, cbx_fade, ud_fadein, ud_fadeout}.normalizeRule();
}

void ConverterWindow::cbx_fadeClick() {
    NormalizeFadeControls{cb_normalize, ud_normalize, cbx_fade, ud_fadein, ud_fadeout}.fadeRule();
}

ConversionSettings ConverterWindow::snapshot() const {
    ConversionSettings s;
    s.target = config_.target;
    s.outputFolder = edt_directory->text().isEmpty() ? MusicFolder() : edt_directory->text();
    s.normalize = cb_normalize->isChecked();
    s.ratio = ud_normalize->position();
    s.fade = cbx_fade->isChecked();
    s.fadeIn = ud_fadein->position();
    s.fadeOut = ud_fadeout->position();
    switch (config_.target) {
    case TargetFormat::Mp3:
        s.mp3.sampleRate = At(kConverterMp3Rates, cbx_frequency->currentIndex());
        s.mp3.bitrate = At(kMp3Bitrates, cbx_bit->currentIndex());
        s.mp3.channelMode = std::clamp(cbx_channel->currentIndex() + 1, 1, 5);
        s.mp3.vbrBitrate = At(kMp3Bitrates, cbx_vbrbit->currentIndex());
        s.mp3.vbrQuality = ud_quality->position();
        break;
    case TargetFormat::Wav:
        s.wavRate = At(kConverterWavRates, cbx_frequency->currentIndex());
        s.wavBits = At(kWavBits, cbx_bitrate->currentIndex());
        s.wavChannels = std::clamp(cbx_channel->currentIndex() + 1, 1, 2);
        break;
    case TargetFormat::Ogg:
        s.oggRate = At(kConverterOggRates, cbx_frequency->currentIndex());
        s.oggChannels = std::clamp(cbx_channel->currentIndex() + 1, 1, 2);
        s.oggKbps = ConverterOggBitrate(cbx_bitrate->currentIndex());
        s.oggQuality = ud_quality->position();
        break;
    case TargetFormat::Wma: s.wmaProfile = At(WmaProfileIds, cbx_format->currentIndex()); break;
    }
    return s;
}

// ---------------------------------------------------------------- the list

void ConverterWindow::btn_addClick() {
    const QStringList files = ChooseAudioFiles(this, QStringLiteral("Open"), addSection(),
                                               normalizing() ? config_.ownFilter : config_.otherFilter);
    if (!files.isEmpty()) addFiles(files);
}

void ConverterWindow::addFiles(const QStringList& files) {
    const int first = vslv_mp3file->rowCount();
    AddAudioRows(vslv_mp3file, files, this, [this](const QString& path) {
        ShowInformation(QFileInfo(path).fileName() + QStringLiteral(" is an invalid audio file!"), this);
        return true;
    });
    for (int row = first; row < vslv_mp3file->rowCount(); ++row)
        vslv_mp3file->setItem(row, StateColumn, new QTableWidgetItem(rowstate::Unconverted));
    Enable(btn_start, mi_start, true);
}

void ConverterWindow::btn_deleteClick() {
    QList<int> rows;
    for (const QModelIndex& index : vslv_mp3file->selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows) vslv_mp3file->removeRow(row);
}

void ConverterWindow::btn_clearClick() {
    if (vslv_mp3file->rowCount() == 0) return;
    if (ConfirmClearList(this)) vslv_mp3file->setRowCount(0);
}

void ConverterWindow::btn_selectdirClick() {
    const QString folder = ChooseFolder(this);
    if (!folder.isEmpty()) edt_directory->setText(folder);
}

// ---------------------------------------------------------------- the batch

void ConverterWindow::setBatchButtons(bool running) {
    Enable(btn_add, mi_add, !running);
    Enable(btn_delete, mi_delete, !running);
    Enable(btn_clear, mi_clear, !running);
    Enable(btn_start, mi_start, !running);
    Enable(btn_pause, mi_pause, running);
    Enable(btn_stop, mi_stop, running);
}

// Reports of a job that is no longer the window's (the window was closed
// under it) are dropped: its rows are gone.
void ConverterWindow::watch(ConversionJob* job, const QString& outputFolder) {
    connect(job, &ToolJob::itemState, this, [this, job](int row, const QString& state) {
        if (job != job_ || row >= vslv_mp3file->rowCount()) return;
        vslv_mp3file->item(row, StateColumn)->setText(state);
    });
    connect(job, &ToolJob::percent, this, [this, job](int percent) {
        if (job == job_) pb_mp3->setPosition(percent);
    });
    connect(job, &ToolJob::ended, this, [this, job, outputFolder](bool endStep) {
        if (job != job_) return;
        job_ = nullptr;
        setBatchButtons(false);
        if (!endStep) return;
        pb_mp3->setPosition(0);
        OpenLocalPath(outputFolder);
        if (btn_pause) btn_pause->setText(QStringLiteral("Pause"));
    });
}

void ConverterWindow::btn_startClick() {
    if (job_) return;
    QStringList sources;
    for (int row = 0; row < vslv_mp3file->rowCount(); ++row) sources << vslv_mp3file->item(row, PathColumn)->text();
    const ConversionSettings settings = snapshot();
    auto* job = new ConversionJob(settings, sources, &boxes_, this);
    job_ = job;
    watch(job, settings.outputFolder);
    // At once, not when the job gets going: a second click finds Start off.
    setBatchButtons(true);
    if (config_.target == TargetFormat::Wma) {
        // The WMA batch runs here, letting the window's events run between
        // blocks; Stop and closing the window end it.
        threads_.start(job, JobPlace::GuiThread);
        return;
    }
    threads_.start(job);
}

void ConverterWindow::btn_pauseClick() {
    if (!btn_pause || !job_) return;
    if (btn_pause->text() == QLatin1String("Pause")) {
        btn_pause->setText(QStringLiteral("Resume"));
        job_->pause();
    } else {
        btn_pause->setText(QStringLiteral("Pause"));
        job_->resume();
    }
}

void ConverterWindow::btn_stopClick() {
    if (btn_pause && btn_pause->text() == QLatin1String("Resume")) btn_pauseClick();
    if (job_) job_->stop();
}

void ConverterWindow::btn_closeClick() {
    btn_stopClick();
    close();
}

void ConverterWindow::detachJob() {
    if (!job_) return;
    job_->stop();
    job_ = nullptr;
    setBatchButtons(false);
    pb_mp3->setPosition(0);
    if (btn_pause) btn_pause->setText(QStringLiteral("Pause"));
}

void ConverterWindow::done(int result) {
    detachJob();
    vslv_mp3file->setRowCount(0);
    writeSettings();
    QDialog::done(result);
}
