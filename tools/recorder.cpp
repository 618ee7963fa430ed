#include "tools/recorder.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>


#include "components/player/audioplayer.h"
#include "components/player/playbacksession.h"
#include "components/recorder/linerecorder.h"
#include "components/skin/skinlabel.h"
#include "platform/inifile.h"
#include "platform/keyboard.h"
#include "platform/messageboxes.h"
#include "platform/presenter.h"
#include "skin/combobox.h"
#include "skin/trackbar.h"
#include "tools/directory.h"
#include "jobs/recordingsession.h"
#include "tools/fileinfo.h"
#include "tools/recordersetting.h"
#include "tools/recordersettings.h"
#include "jobs/toolfiles.h"
#include "windowkit/toolcontrols.h"
#include "windowkit/toolskin.h"
#include "windowkit/toolwindow.h"

Tfm_recorder* fm_recorder = nullptr;

namespace {

constexpr int kClientWidth = 498, kClientHeight = 245;

QString RecorderPadTwoDigits(int64_t value) { return value <= 9 ? QStringLiteral("0%1").arg(value) : QString::number(value); }

}  // namespace

Tfm_recorder::Tfm_recorder(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Recorder"));
    // A tool window of the program: the window manager keeps it above the
    // program's other windows (a plain window would fall behind the main
    // window at a click there, with no way back to it), yet it is modeless.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    audioRecord_ = new LineRecorder(this);
    boxes_ = std::make_unique<BoxJobHandler>(this);
    recording_ = new RecordingSession(*audioRecord_, *boxes_, this);
    playback_ = new PlaybackSession(this);

    auto* menu = new QMenuBar(this);
    QMenu* file = menu->addMenu(QStringLiteral("File"));
    FileInfo1 = file->addAction(QStringLiteral("File Info"), this, &Tfm_recorder::FileInfoClick);
    Option1 = file->addAction(QStringLiteral("Option"), this, &Tfm_recorder::btn_optionClick);
    Exit1 = file->addAction(QStringLiteral("Exit"), this, &QWidget::close);
    QMenu* action = menu->addMenu(QStringLiteral("Action"));
    Record1 = action->addAction(QStringLiteral("Record"), this, &Tfm_recorder::btn_recordClick);
    Pause1 = action->addAction(QStringLiteral("Pause"), this, &Tfm_recorder::btn_pauseClick);
    Play1 = action->addAction(QStringLiteral("Play"), this, &Tfm_recorder::btn_playClick);
    Stop1 = action->addAction(QStringLiteral("Stop"), this, &Tfm_recorder::btn_stopClick);
    Mute1 = action->addAction(QStringLiteral("Mute"), this, &Tfm_recorder::btn_muteClick);
    const int top = menu->sizeHint().height();
    menu->setGeometry(0, 0, kClientWidth, top);
    OpenMenuBarOnF10(this, menu);

    auto* client = new QWidget(this);
    client->setGeometry(0, top, kClientWidth, kClientHeight);

    rg_format = new QGroupBox(QStringLiteral("Input Device"), client);
    rg_format->setGeometry(8, 2, 262, 240);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    for (int i = 0; i < 8; ++i) {
        const auto n = static_cast<size_t>(i);
        const int y = 18 + 27 * i;
        sl[n] = new SkinLabel(rg_format);
        sl[n]->setGeometry(6, y, 112, 26);
        sl[n]->setFont(small);
        cb[n] = new QRadioButton(rg_format);
        cb[n]->setGeometry(120, y + 4, 18, 18);
        sb[n] = new TvsTrackBar(rg_format);
        sb[n]->setGeometry(140, y + 2, 116, 22);
        sb[n]->setMin(0);
        sb[n]->setMax(65535);
        connect(cb[n], &QRadioButton::clicked, this, [this, i] {
            audioRecord_->setLine(i + 1);
            audioRecord_->setRecordSource(true);
        });
        connect(sb[n], &TvsTrackBar::changed, this, [this, i] {
            if (loadingRows_) return;
            audioRecord_->setLine(i + 1);
            audioRecord_->setLineVolume(sb[static_cast<size_t>(i)]->position());
        });
    }
    noInput = new QLabel(QStringLiteral("No sound input was found.\nIs the sound server running?"), rg_format);
    noInput->setGeometry(8, 80, 246, 50);
    noInput->setAlignment(Qt::AlignCenter);
    noInput->hide();

    st_time = new SkinLabel(QStringLiteral("00:00:00"), client);
    st_time->setGeometry(278, 4, 180, 34);
    tb_volume = new TvsTrackBar(client);
    tb_volume->setOrientation(TvsTrackBar::vsVertical);
    tb_volume->setGeometry(464, 4, 26, 116);
    tb_volume->setMin(0);
    tb_volume->setMax(65535);
    tb_volume->setAccessibleName(QStringLiteral("Playback volume"));
    st_finfo = new SkinLabel(client);
    st_finfo->setGeometry(278, 42, 182, 18);
    btn_directory = new QPushButton(QStringLiteral("Set Directory"), client);
    btn_directory->setGeometry(278, 64, 96, 26);
    btn_option = new QPushButton(QStringLiteral("Option"), client);
    btn_option->setGeometry(380, 64, 80, 26);
    edt_directory = new QLineEdit(client);
    edt_directory->setGeometry(278, 96, 182, 24);
    edt_directory->setReadOnly(true);
    edt_directory->setEnabled(false);
    edt_name = new ToolComboBox(client);
    edt_name->setGeometry(278, 126, 212, 24);
    for (const char* caption : kRecordNameCaptions) edt_name->addItem(QString::fromLatin1(caption));
    edt_name->setCurrentIndex(5);

    const std::pair<QPushButton**, const char*> buttons[] = {
        {&btn_record, "Record"}, {&btn_pause, "Pause"}, {&btn_play, "Play"},
        {&btn_stop, "Stop"},     {&btn_mute, "Mute"},   {&Button1, "Close"}};
    for (size_t i = 0; i < std::size(buttons); ++i) {
        auto [button, caption] = buttons[i];
        *button = new QPushButton(QString::fromLatin1(caption), client);
        (*button)->setGeometry(278 + static_cast<int>(i % 3) * 72, 162 + static_cast<int>(i / 3) * 36, 68, 30);
    }
    connect(btn_record, &QPushButton::clicked, this, &Tfm_recorder::btn_recordClick);
    connect(btn_pause, &QPushButton::clicked, this, &Tfm_recorder::btn_pauseClick);
    connect(btn_play, &QPushButton::clicked, this, &Tfm_recorder::btn_playClick);
    connect(btn_stop, &QPushButton::clicked, this, &Tfm_recorder::btn_stopClick);
    connect(btn_mute, &QPushButton::clicked, this, &Tfm_recorder::btn_muteClick);
    connect(btn_directory, &QPushButton::clicked, this, &Tfm_recorder::btn_directoryClick);
    connect(btn_option, &QPushButton::clicked, this, &Tfm_recorder::btn_optionClick);
    connect(Button1, &QPushButton::clicked, this, &QWidget::close);
    connect(tb_volume, &TvsTrackBar::changed, this,
            [this] { Player()->setVolume(66535 - tb_volume->position()); });

    connect(recording_, &RecordingSession::named, this, [this](const QString& name) {
        edt_name->setEditable(true);
        edt_name->setEditText(name);
        edt_name->setEnabled(false);
    });
    connect(recording_, &RecordingSession::elapsed, this, [this](qint64 ms) { ShowElapsed(ms); });
    connect(recording_, &RecordingSession::ended, this, [this] {
        ReleaseName();
        ShowIdle();
    });
    connect(playback_, &PlaybackSession::onPosition, this, [this](qint64 frame) { ShowElapsed(playback_->msAt(frame)); });
    connect(playback_, &PlaybackSession::onEndPlay, this, &Tfm_recorder::btn_stopClick);

    setFixedSize(kClientWidth, top + kClientHeight);
}

AudioPlayer* Tfm_recorder::Player() const { return playback_->player(); }

Tfm_recorder::~Tfm_recorder() {
    playback_->close();
    // A recording still running at exit is finished and kept.
    delete recording_;
    recording_ = nullptr;
}

bool Tfm_recorder::isRecording() const { return recording_ && recording_->isRecording(); }
bool Tfm_recorder::isRecordPaused() const { return recording_ && recording_->isPaused(); }

void Tfm_recorder::showEvent(QShowEvent* event) {
    FormShow();
    QWidget::showEvent(event);
}

void Tfm_recorder::FormShow() {
    DressToolWindow(this);
    // The skin gives the labels its font; the time is shown large all the same.
    QFont big = st_time->font();
    big.setPointSizeF(font().pointSizeF() * 2);
    big.setBold(true);
    st_time->setFont(big);
    HasRecording = IsPlaying = PlayPaused = PlayStarted = Muted = false;
    SetPlayEnabled(false);
    SetPauseEnabled(false);
    SetStopEnabled(false);
    st_time->setCaption(QStringLiteral("00:00:00"));

    const bool device = audioRecord_->deviceCount() >= 1;
    noInput->setVisible(!device);
    loadingRows_ = true;
    if (device) audioRecord_->setDevice(audioRecord_->deviceCount());
    const int lines = device ? std::min(audioRecord_->lineCount(), 8) : 0;
    for (int i = 0; i < 8; ++i) {
        const auto n = static_cast<size_t>(i);
        const bool shown = i < lines;
        sl[n]->setVisible(shown);
        cb[n]->setVisible(shown);
        sb[n]->setVisible(shown);
        if (!shown) continue;
        audioRecord_->setLine(i + 1);
        sl[n]->setCaption(SplitLineName(audioRecord_->lineName()));
        sl[n]->setToolTip(audioRecord_->lineName());
        // The row's label is a picture of the name: the controls carry it.
        cb[n]->setAccessibleName(audioRecord_->lineName());
        sb[n]->setAccessibleName(audioRecord_->lineName() + QStringLiteral(" level"));
        if (audioRecord_->recordSource()) cb[n]->setChecked(true);
        sb[n]->setPosition(audioRecord_->lineVolume());
        const bool usable =
            audioRecord_->lineUsable() && audioRecord_->deviceUsable() && audioRecord_->lineSourceUsable();
        cb[n]->setEnabled(usable);
        sb[n]->setEnabled(usable);
    }
    loadingRows_ = false;
    // The folder and the summary are read without a device too: the window
    // stays of use for the recordings already made.
    const RecorderSettings settings = ReadRecorderSettings(IniFile());
    edt_directory->setText(settings.folder);
    st_finfo->setCaption(settings.fileInfo);
    tb_volume->setPosition(66535 - Player()->volume());
    FileInfo1->setEnabled(false);
}

// ---- recording ----------------------------------------------------------------

void Tfm_recorder::btn_recordClick() {
    if (IsPlaying || isRecording()) return;
    SetRecordEnabled(false);
    btn_play->setEnabled(false);
    Play1->setEnabled(false);
    StartRecording();
}

void Tfm_recorder::StartRecording() {
    PlayStarted = false;
    const bool resuming = recording_->isPaused();
    if (!resuming) st_time->setCaption(QStringLiteral("00:00:00"));
    const int pattern = edt_name->currentIndex();
    const QString name =
        pattern >= 0 && pattern <= 5 ? RecordFileName(pattern, QDateTime::currentDateTime()) : RecordedFile;
    const bool started = recording_->start(ReadRecorderSettings(IniFile()), edt_directory->text(), name);
    if (!resuming && !recording_->recordedFile().isEmpty()) RecordedFile = recording_->recordedFile();
    if (!started) {
        if (!resuming) ReleaseName();
        btn_stopClick();
        return;
    }
    if (resuming) return;
    HasRecording = true;
    SetPauseEnabled(true);
    SetStopEnabled(true);
}

void Tfm_recorder::ShowElapsed(int64_t ms) {
    TimeDisplay21.setMilliseconds(ms);
    st_time->setCaption(RecorderPadTwoDigits(TimeDisplay21.hours()) + QLatin1Char(':') +
                        RecorderPadTwoDigits(TimeDisplay21.minutes()) + QLatin1Char(':') +
                        RecorderPadTwoDigits(TimeDisplay21.seconds()));
}

void Tfm_recorder::ReleaseName() {
    edt_name->setEnabled(true);
    edt_name->setEditable(false);
}

void Tfm_recorder::btn_stopClick() {
    if (IsPlaying || PlayPaused) playback_->close();
    // A running recording ends through the session, whose end shows the
    // window idle.
    if (recording_ && recording_->isActive())
        recording_->stop();
    else
        ShowIdle();
}

void Tfm_recorder::ShowIdle() {
    IsPlaying = PlayPaused = false;
    SetRecordEnabled(true);
    // Play, button and menu item alike, only with a recording to play: a
    // refused start leaves it as it was.
    SetPlayEnabled(HasRecording);
    FileInfo1->setEnabled(true);
    SetPauseEnabled(false);
    TimeDisplay21.setMilliseconds(0);
    st_time->setCaption(QStringLiteral("00:00:00"));
}

void Tfm_recorder::btn_pauseClick() {
    if (PlayStarted) {
        if (!IsPlaying) {
            playback_->resume();
            IsPlaying = true;
        } else {
            playback_->pause();
            PlayPaused = true;
            IsPlaying = false;
        }
    } else if (recording_->isRecording()) {
        recording_->pause();
    } else if (recording_->isPaused()) {
        recording_->resume();
    }
}

// ---- playback -------------------------------------------------------------------

void Tfm_recorder::btn_playClick() {
    if (recording_->isActive()) return;
    SetPlayEnabled(false);
    SetRecordEnabled(false);
    PlayRecording();
}

void Tfm_recorder::PlayRecording() {
    if (IsPlaying) return;
    IsPlaying = true;
    if (PlayPaused && Player()->getError() == 0) {
        playback_->resume();
        return;
    }
    st_time->setCaption(QStringLiteral("00:00:00"));
    // A recording that cannot be opened or played plays nothing, and the
    // window goes back to idle at once.
    if (!playback_->open(RecordedFile.toStdString()) || playback_->length() == 0 || !playback_->start(0)) {
        btn_stopClick();
        return;
    }
    PlayStarted = true;
    SetPauseEnabled(true);
    SetStopEnabled(true);
    SetRecordEnabled(false);
}

void Tfm_recorder::btn_muteClick() {
    Muted = !Muted;
    Player()->setMute(Muted);
}

// ---- other windows -----------------------------------------------------------------

void Tfm_recorder::btn_directoryClick() {
    const QString folder = ChooseFolder(this);
    if (!folder.isEmpty()) edt_directory->setText(folder);
}

void Tfm_recorder::btn_optionClick() {
    if (!fm_recordsetting) return;
    CentreOver(fm_recordsetting, this);
    ShowModal(fm_recordsetting);
}

void Tfm_recorder::FileInfoClick() {
    if (!fm_fileinfo) return;
    CentreOver(fm_fileinfo, this);
    ShowModal(fm_fileinfo);
}

// Escape closes the window as it closes the dialogs of the other tools;
// a menu or a list that is open takes it first.
void Tfm_recorder::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) close();
    else QWidget::keyPressEvent(event);
}

void Tfm_recorder::closeEvent(QCloseEvent* event) {
    btn_stopClick();
    IniFile().writeString(kRecorderSection, "file info", st_finfo->caption().toStdString());
    event->accept();
}

// ---- enabling -----------------------------------------------------------------------

void Tfm_recorder::SetPlayEnabled(bool on) {
    btn_play->setEnabled(on);
    Play1->setEnabled(on);
}

void Tfm_recorder::SetRecordEnabled(bool on) {
    btn_record->setEnabled(on);
    Record1->setEnabled(on);
}

void Tfm_recorder::SetPauseEnabled(bool on) {
    btn_pause->setEnabled(on);
    Pause1->setEnabled(on);
}

void Tfm_recorder::SetStopEnabled(bool on) {
    btn_stop->setEnabled(on);
    Stop1->setEnabled(on);
}
