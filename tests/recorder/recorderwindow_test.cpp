// The recorder window, its settings dialog and its information window, on
// a null input and a null output that a virtual clock drives.

#include <QTest>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include <array>
#include <sys/resource.h>
#include <csignal>

#include "components/audio/audioinformation.h"
#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"
#include "components/recorder/linerecorder.h"
#include "components/recorder/nullpcminput.h"
#include "components/skin/skinengine.h"
#include "components/skin/skinlabel.h"
#include "platform/inifile.h"
#include "platform/presenter.h"
#include "pumpevents.h"
#include "skin/combobox.h"
#include "skin/trackbar.h"
#include "tools/cdrippersettings.h"
#include "tools/fileinfo.h"
#include "tools/recorder.h"
#include "tools/recordersetting.h"
#include "tools/recordersettings.h"
#include "windowkit/toolskin.h"

#include "../tools/toolwindowtest.h"

namespace {

using audiotest::decode;

TEST(RecorderNames, PatternsSplitsAndSummaries) {
    const QDateTime at(QDate(2024, 3, 7), QTime(9, 5, 4));
    const char* expected[] = {"07-03-2024", "07-03--09", "07--09;05", "09;05;04", "03-07--09;05", "07-03-2024--09;05;04"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(RecordFileName(i, at), expected[i]) << i;
    EXPECT_EQ(RecordFileName(-1, at), expected[5]);
    EXPECT_EQ(SplitLineName("0123456789"), "0123456789");
    EXPECT_EQ(SplitLineName("0123456789A"), "0123456789\rA");

    const std::string ini = testenv::makeTempDir("summary") + "/t.ini";
    IniFile f(ini);
    EXPECT_EQ(RecorderFormatSummary(f, 0), "WAV  44100KHz 16Kbit Stereo");
    EXPECT_EQ(RecorderFormatSummary(f, 1), "MP3  44100KHz Stereo 128Kbit");
    EXPECT_EQ(RecorderFormatSummary(f, 3), "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps");
    f.writeInteger("Recorder", "wav frequency", 9);
    f.writeInteger("Recorder", "wav channel", 1);
    f.writeInteger("Recorder", "mp3 channel", 0);
    f.writeInteger("Recorder", "wma format", 0);
    EXPECT_EQ(RecorderFormatSummary(f, 0), "WAV  8000KHz 16Kbit Mono");
    EXPECT_EQ(RecorderFormatSummary(f, 1), "MP3  44100KHz Mono 128Kbit");
    EXPECT_EQ(RecorderFormatSummary(f, 3), "WMA 8,000 Hz; 16 Bit; Mono; 6 kbps");
}

class RecorderWindow : public ToolWindowTest {
protected:
    void SetUp() override {
        ToolWindowTest::SetUp();
        LineRecorder::setInputFactory([this] {
            auto in = std::make_unique<NullPcmInput>(&clock);
            input = in.get();
            return in;
        });
        AudioPlayer::setOutputFactory([this] { return std::make_unique<NullPcmOutput>(&clock); });
        fm_recorder = new Tfm_recorder;
        fm_recordsetting = new Tfm_recordsetting;
        fm_fileinfo = new Tfm_fileinfo;
        fm_cdset = new Tfm_cdset;
        IniFile().writeString("recorder", "format path", dir + "/music");
        IniFile().writeBool("recorder", "cb auto", false);
    }
    void TearDown() override {
        delete std::exchange(fm_cdset, nullptr);
        delete std::exchange(fm_fileinfo, nullptr);
        delete std::exchange(fm_recordsetting, nullptr);
        delete std::exchange(fm_recorder, nullptr);
        LineRecorder::setInputFactory({});
        AudioPlayer::setOutputFactory({});
    }
    Tfm_recorder& w() { return *fm_recorder; }
    // Records for ms of the virtual clock and stops.
    void record(int ms) {
        w().btn_recordClick();
        clock.advance(ms);
        w().btn_stopClick();
    }

    VirtualClock clock{10};
    NullPcmInput* input = nullptr;
};

TEST_F(RecorderWindow, RowsShowTheLinesOfTheInput) {
    std::vector<InputSource> sources;
    for (int i = 0; i < 5; ++i) sources.push_back({"s" + std::to_string(i), "Source number " + std::to_string(i), false, {}, {}, 2, 30000});
    sources[3].ports = {{"a", "A", false}};
    input->setSources(sources, "s2");
    w().show();
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(w().sl[i]->isVisibleTo(&w()), i < 5) << i;
    EXPECT_EQ(w().sl[0]->caption(), "Source num\rber 0");
    EXPECT_TRUE(w().cb[2]->isChecked());
    EXPECT_FALSE(w().cb[3]->isEnabled());
    EXPECT_EQ(w().sb[1]->position(), 30000);
    EXPECT_EQ(w().edt_directory->text().toStdString(), dir + "/music");
    EXPECT_FALSE(w().btn_play->isEnabled());
    EXPECT_FALSE(w().FileInfo1->isEnabled());
    EXPECT_FALSE(w().noInput->isVisibleTo(&w()));

    w().sb[1]->setPosition(65535);
    EXPECT_EQ(input->sources()[1].volume, 65536u);
    w().cb[4]->click();
    w().btn_recordClick();
    EXPECT_EQ(input->openedSource(), "s4");
    w().btn_stopClick();

    w().tb_volume->setPosition(65535);
    EXPECT_EQ(w().Player()->volume(), 1000);
    w().tb_volume->setPosition(0);
    EXPECT_EQ(w().Player()->volume(), 65535);
}

TEST_F(RecorderWindow, RecordsPausesPlaysBackAndOverwritesOnlyWhenAsked) {
    IniFile().writeInteger("recorder", "format", 0);
    w().show();
    w().edt_name->setCurrentIndex(0);  // the date alone: the next recording has the same name
    w().btn_recordClick();
    ASSERT_TRUE(w().isRecording());
    EXPECT_TRUE(w().edt_name->isEditable());
    EXPECT_FALSE(w().btn_record->isEnabled());
    clock.advance(1500);
    EXPECT_EQ(w().st_time->caption(), "00:00:01");
    w().btn_pauseClick();
    clock.advance(3000);
    EXPECT_EQ(w().st_time->caption(), "00:00:01");
    w().btn_pauseClick();
    clock.advance(1000);
    EXPECT_EQ(w().st_time->caption(), "00:00:02");  // goes on from the pause
    w().btn_stopClick();
    EXPECT_FALSE(w().edt_name->isEditable());
    EXPECT_TRUE(w().btn_play->isEnabled());
    EXPECT_TRUE(w().FileInfo1->isEnabled());
    EXPECT_TRUE(w().RecordedFile.endsWith(".wav"));
    EXPECT_TRUE(w().RecordedFile.startsWith(Q(dir + "/music/")));

    const audiotest::Decoded d = decode(w().RecordedFile.toStdString());
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.frames(), 44100 * 5 / 2);
    EXPECT_EQ(audiotest::dominantFrequency(d.samples, 2, 0, 44100, 1000, 22050, {220, 440, 880}), 440);

    QSignalSpy ended(w().Player(), &AudioPlayer::onEndPlay);
    w().btn_playClick();
    EXPECT_TRUE(w().isPlaying());
    EXPECT_FALSE(w().btn_record->isEnabled());
    clock.advance(1200);
    EXPECT_EQ(w().st_time->caption(), "00:00:01");
    w().btn_pauseClick();  // pauses the playback
    clock.advance(3000);
    EXPECT_EQ(ended.count(), 0);
    w().btn_pauseClick();
    clock.advance(800);
    EXPECT_EQ(w().st_time->caption(), "00:00:02");  // on from where it paused
    clock.advance(1500);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(w().isPlaying());
    EXPECT_TRUE(w().btn_record->isEnabled());

    // Recording again: No keeps the file.
    const QString first = w().RecordedFile;
    const std::string before = testenv::readFile(first.toStdString());
    boxes.answerNext(MessageAnswer::No);
    w().btn_recordClick();
    EXPECT_EQ(boxes.texts().back(), first + " already exists. Overwrite?");
    EXPECT_EQ(testenv::readFile(first.toStdString()), before);
    EXPECT_TRUE(w().btn_play->isEnabled());  // an earlier recording exists

    // The disk fills up after about three seconds of audio.
    boxes.clear();
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 600 * 1024;
    setrlimit(RLIMIT_FSIZE, &limit);
    w().btn_recordClick();  // Yes: overwrite
    clock.advance(6000);
    // The blocks reach the disk on the writer's own thread; the limit stays
    // until the failed write has come back and ended the recording.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w().isRecording(); }, 10000));
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_EQ(boxes.texts().size(), 2);
    EXPECT_TRUE(boxes.texts()[1].startsWith("File write error!"));
    const audiotest::Decoded kept = decode(first.toStdString());
    ASSERT_TRUE(kept.ok);
    EXPECT_GT(kept.frames(), 44100 * 2);
    EXPECT_LT(kept.frames(), 44100 * 4);
    EXPECT_TRUE(w().btn_record->isEnabled());
}

// While it records, the take lives in "<name>.part" beside its name (a
// crash keeps it there) and takes its name at Stop. A link at the name,
// even one to nothing, is asked about; Yes replaces the link itself.
TEST_F(RecorderWindow, ARecordingLivesInItsPartFileAndALinkAtItsNameIsReplaced) {
    IniFile().writeInteger("recorder", "format", 0);
    w().show();
    w().edt_name->setCurrentIndex(0);  // the date alone: the next recording has the same name
    w().btn_recordClick();
    ASSERT_TRUE(w().isRecording());
    const std::string name = w().RecordedFile.toStdString();
    clock.advance(1000);
    EXPECT_TRUE(QFile::exists(Q(name + ".part")));
    EXPECT_FALSE(QFile::exists(Q(name)));
    w().btn_stopClick();
    EXPECT_FALSE(QFile::exists(Q(name + ".part")));
    EXPECT_EQ(decode(name).frames(), 44100);

    const std::string elsewhere = testenv::makeTempDir("elsewhere");
    QFile::remove(Q(name));
    ASSERT_TRUE(QFile::link(Q(elsewhere + "/nothing.wav"), Q(name)));
    boxes.clear();
    w().btn_recordClick();  // Yes
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(boxes.texts()[0], Q(name) + " already exists. Overwrite?");
    clock.advance(2000);
    w().btn_stopClick();
    EXPECT_FALSE(QFileInfo(Q(name)).isSymLink());
    EXPECT_EQ(decode(name).frames(), 2 * 44100);
    EXPECT_FALSE(QFile::exists(Q(elsewhere + "/nothing.wav")));
}

TEST_F(RecorderWindow, EachFormatRecordsAFileThatPlays) {
    w().show();
    // A folder whose parents are missing too is made with them.
    w().edt_directory->setText(Q(dir + "/music/new/deeper"));
    for (int format = 0; format < 4; ++format) {
        const char* ext = std::array{".wav", ".mp3", ".ogg", ".wma"}[format];
        SCOPED_TRACE(ext);
        IniFile().writeInteger("recorder", "format", format);
        w().edt_name->setCurrentIndex(format);  // a name of its own for each
        record(2000);
        ASSERT_TRUE(w().RecordedFile.endsWith(ext));
        EXPECT_TRUE(w().RecordedFile.startsWith(Q(dir + "/music/new/deeper/")));
        const audiotest::Decoded d = decode(w().RecordedFile.toStdString());
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.rate, 44100);
        EXPECT_NEAR(d.frames(), 2 * 44100, 44100 / 10);
        EXPECT_EQ(audiotest::dominantFrequency(d.samples, d.channels, 0, d.rate, d.frames() / 2, 4410, {220, 440, 880}), 440);
    }
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(RecorderWindow, TheTimeLimitStopsAndTheSettingsReachTheRecorder) {
    IniFile().writeBool("recorder", "time", true);
    IniFile().writeInteger("recorder", "minute", 0);
    IniFile().writeInteger("recorder", "second", 1);
    IniFile().writeBool("recorder", "low filter enabled", true);
    IniFile().writeInteger("recorder", "Low filter", 1000);
    w().show();
    w().btn_recordClick();
    EXPECT_TRUE(w().AudioRecord()->lowFilter);
    EXPECT_EQ(w().AudioRecord()->lowFilterFrequency, 1000.0f);
    clock.advance(3000);
    EXPECT_FALSE(w().isRecording());
    const audiotest::Decoded d = decode(w().RecordedFile.toStdString());
    ASSERT_TRUE(d.ok);
    EXPECT_NEAR(d.frames(), 44100 * 1.1, 44100 * 0.7);  // MP3, stopped at the first tick past a second
    EXPECT_EQ(d.rate, 44100);

    // A filter switched off in the settings is off for the next recording.
    IniFile().writeBool("recorder", "low filter enabled", false);
    IniFile().writeBool("recorder", "time", false);
    w().btn_recordClick();
    EXPECT_FALSE(w().AudioRecord()->lowFilter);
    w().btn_stopClick();
}

TEST_F(RecorderWindow, BadSettingsFoldersAndInputsLeaveTheWindowUsable) {
    // An MP3 rate and bitrate pair that MPEG audio does not have.
    IniFile().writeInteger("recorder", "mp3 frequency", 4);
    IniFile().writeInteger("recorder", "mp3 bitrate", 9);
    w().show();
    // One message per refused start, and the window stays ready to record.
    auto refused = [&] {
        boxes.clear();
        w().btn_recordClick();
        EXPECT_FALSE(w().isRecording());
        EXPECT_TRUE(w().btn_record->isEnabled());
        EXPECT_EQ(boxes.texts().size(), 1);
        return boxes.texts().value(0);
    };
    EXPECT_EQ(refused(), "Do not support this MP3 format! Please high the Frequency or the Bitrate.");
    EXPECT_FALSE(w().btn_play->isEnabled());
    EXPECT_FALSE(QDir(Q(dir + "/music")).exists() && !QDir(Q(dir + "/music")).isEmpty(QDir::Files));

    // A folder that cannot be made: under a regular file.
    IniFile().writeInteger("recorder", "mp3 frequency", 1);
    testenv::writeFile(dir + "/plain", "x");
    w().edt_directory->setText(Q(dir + "/plain/sub"));
    const QString told = refused();
    EXPECT_EQ(told, "Failed to create file " + w().RecordedFile);
    EXPECT_EQ(boxes.titles(), QStringList{"Error!"});

    // No input at all: a message and no file.
    w().edt_directory->setText(Q(dir + "/music"));
    input->setSources({}, "");
    EXPECT_TRUE(refused().startsWith("No sound input"));
    EXPECT_FALSE(QFile::exists(w().RecordedFile));
}

// A refused start leaves one state in the buttons and the menu: the Play
// item as the Play button, and Play without a recording leaves the window
// idle, so Pause has nothing to start.
TEST_F(RecorderWindow, ARefusedStartLeavesButtonsAndMenuInOneIdleState) {
    IniFile().writeInteger("recorder", "mp3 frequency", 4);
    IniFile().writeInteger("recorder", "mp3 bitrate", 9);
    w().show();
    auto idle = [&](bool playable) {
        const std::pair<QPushButton*, QAction*> pairs[] = {{w().btn_record, w().Record1}, {w().btn_play, w().Play1},
                                                            {w().btn_pause, w().Pause1}};
        for (auto [button, item] : pairs) EXPECT_EQ(button->isEnabled(), item->isEnabled()) << button->text().toStdString();
        EXPECT_TRUE(w().Record1->isEnabled());
        EXPECT_EQ(w().Play1->isEnabled(), playable);
        EXPECT_FALSE(w().Pause1->isEnabled());
        EXPECT_FALSE(w().isRecording() || w().isPlaying());
    };
    w().btn_recordClick();
    idle(false);
    // Play reached all the same (the item was on before): nothing to play.
    w().btn_playClick();
    idle(false);
    w().btn_pauseClick();
    EXPECT_FALSE(w().isRecording()) << "Pause starts no capture without a file";
    EXPECT_TRUE(input->openedSource().empty());

    // No input, and a read-only file under the name the recording would
    // take: only the missing input is told, the file is left as it was.
    IniFile().writeInteger("recorder", "mp3 frequency", 1);
    w().edt_name->setCurrentIndex(0);
    const QString old = Q(dir + "/music/") + RecordFileName(0, QDateTime::currentDateTime()) + ".mp3";
    QDir().mkpath(Q(dir + "/music"));
    testenv::writeFile(old.toStdString(), "old");
    QFile::setPermissions(old, QFileDevice::ReadOwner);
    const QFileDevice::Permissions mode = QFile::permissions(old);
    input->setSources({}, "");
    boxes.clear();
    w().btn_recordClick();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith("No sound input"));
    EXPECT_EQ(QFile::permissions(old), mode);
    idle(false);

    // After a recording, a refusal keeps Play on in both places.
    input->setSources({{"s0", "Line", false, {}, {}, 2, 30000}}, "s0");
    w().hide();
    w().show();
    // Day and hour: the next start takes the same name unless an hour turns
    // between them (a name with seconds turned now and then under load).
    w().edt_name->setCurrentIndex(1);
    record(1000);
    boxes.answerNext(MessageAnswer::No);
    w().btn_recordClick();
    ASSERT_FALSE(boxes.texts().isEmpty());
    EXPECT_TRUE(boxes.texts().back().endsWith(" already exists. Overwrite?"));
    idle(true);
    w().btn_playClick();
    EXPECT_TRUE(w().isPlaying());
    EXPECT_TRUE(w().btn_stop->isEnabled() && w().Stop1->isEnabled());
    EXPECT_TRUE(w().btn_pause->isEnabled() && w().Pause1->isEnabled());
    w().btn_stopClick();
}

// The name list and the information window's genre list wear the tool
// windows' colours. The window is a modeless tool window, which the window
// manager keeps above the program's windows.
// A screen reader names each row's radio button and level after its input
// (the label beside them is a picture of the name), and Escape closes the
// window as it closes the other tools.
TEST_F(RecorderWindow, RowsAreNamedAfterTheirInputAndEscapeCloses) {
    input->setSources({{"a", "Line In", false, {}, {}, 2, 30000}, {"b", "Microphone", false, {}, {}, 2, 30000}}, "a");
    w().show();
    for (size_t i = 0; i < 2; ++i) {
        const QString name = i == 0 ? "Line In" : "Microphone";
        EXPECT_EQ(QAccessible::queryAccessibleInterface(w().cb[i])->text(QAccessible::Name), name);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(w().sb[i])->text(QAccessible::Name), name + " level");
    }
    QApplication::setActiveWindow(&w());
    w().btn_record->setFocus();
    QTest::keyClick(w().btn_record, Qt::Key_Escape);
    EXPECT_FALSE(w().isVisible());
}

// Opened again while the playlist window, which is kept on top, shows, the
// recorder is kept on top too; it opened under that window, and a click on
// its Close started the playlist. The skin's dressing gave it back the
// flags it had at its first show, which were not on top.
TEST_F(RecorderWindow, OpenedAgainWhileThePlaylistWindowShowsItStaysAboveIt) {
    SkinEngine engine;
    SetToolWindowSkin(&engine);
    InstallWindowPresenter(nullptr);
    QWidget main;
    main.show();
    auto open = [&] {
        KeepAbove(&w(), &main);
        ShowModeless(&w());
        testenv::pumpUntil([] { return false; }, 100);
    };
    open();
    EXPECT_EQ(w().windowHandle()->transientParent(), main.windowHandle());
    w().close();
    QWidget playlist(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    playlist.show();
    open();
    EXPECT_TRUE(w().isVisible());
    EXPECT_TRUE(w().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(w().windowHandle()->transientParent(), main.windowHandle());
    w().close();
    InstallWindowPresenter(&presenter);
    SetToolWindowSkin(nullptr);
}

TEST_F(RecorderWindow, NameAndGenreListsWearTheToolColoursAndTheWindowStaysAbove) {
    EXPECT_EQ(w().windowType(), Qt::Dialog);
    EXPECT_EQ(w().windowModality(), Qt::NonModal);
    for (TvsComboBox* list : {w().edt_name, static_cast<TvsComboBox*>(fm_fileinfo->infoGenre)}) {
        EXPECT_EQ(list->borderColor(), ColorFromBgr(11437686));
        EXPECT_EQ(list->buttonColor(), ColorFromBgr(15263976));
    }
}

TEST_F(RecorderWindow, SettingsDialogKeysDefaultsAndClamps) {
    IniFile().writeInteger("recorder", "high filter", 400);
    IniFile().writeString("recorder", "cb auto", "");  // missing: shown checked here
    Tfm_recordsetting& s = *fm_recordsetting;
    s.show();
    EXPECT_EQ(s.SpinEdit2->value(), 800);
    EXPECT_EQ(s.SpinEdit3->value(), 4000);
    EXPECT_FALSE(s.SpinEdit2->isEnabled());
    EXPECT_TRUE(s.rb_format[1]->isChecked());
    EXPECT_EQ(s.up_minute->position(), 10);

    const std::string untouched = testenv::readFile(IniFile().path());
    s.btn_defaultClick();
    EXPECT_EQ(s.SpinEdit3->value(), 800);
    EXPECT_EQ(s.up_minute->position(), 30);
    s.reject();
    EXPECT_EQ(testenv::readFile(IniFile().path()), untouched);

    s.show();
    s.CB_lowpass->click();
    EXPECT_TRUE(s.SpinEdit3->isEnabled());
    s.SpinEdit3->setValue(5000);
    s.rb_format[2]->click();
    s.cb_auto->setChecked(false);
    s.btn_okClick();
    EXPECT_EQ(IniFile().readInteger("recorder", "format", -1), 2);
    EXPECT_EQ(IniFile().readInteger("recorder", "high filter", -1), 800);
    EXPECT_EQ(IniFile().readInteger("recorder", "low filter", -1), 5000);
    EXPECT_NE(testenv::readFile(IniFile().path()).find("Low filter=5000"), std::string::npos);
    EXPECT_TRUE(IniFile().readBool("recorder", "cb auto", false));
    EXPECT_TRUE(IniFile().readBool("recorder", "low filter enabled", false));
    EXPECT_EQ(fm_recorder->st_finfo->caption(), "OGG  44100KHz Stereo 128Kbit");

    s.btn_optionClick();
    EXPECT_TRUE(CdSetForRecorder);
    EXPECT_EQ(fm_cdset->windowTitle(), "Recorder Setting");
    EXPECT_EQ(presenter.last(), fm_cdset);
}

// "Ok" saves the format radio as it stands, also when an assistive
// technology toggled it (no click reached the dialog).
TEST_F(RecorderWindow, TheFormatSavedIsTheRadioCheckedHoweverItWasChecked) {
    Tfm_recordsetting& s = *fm_recordsetting;
    s.show();
    ASSERT_TRUE(s.rb_format[1]->isChecked());
    QAccessibleInterface* wav = QAccessible::queryAccessibleInterface(s.rb_format[0]);
    ASSERT_TRUE(wav && wav->actionInterface());
    wav->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    ASSERT_TRUE(s.rb_format[0]->isChecked());
    s.btn_okClick();
    EXPECT_EQ(IniFile().readInteger("recorder", "format", -1), 0);
    EXPECT_TRUE(fm_recorder->st_finfo->caption().startsWith("WAV"));
}

class RecordingInformation : public RecorderWindow, public ::testing::WithParamInterface<const char*> {};

TEST_P(RecordingInformation, TagsRoundTripAndBadNumbersChangeNothing) {
    const std::string file = dir + "/take." + GetParam();
    audiotest::encode(file, audiotest::sine(44100, 2, 1.0, {440}));
    fm_recorder->RecordedFile = Q(file);
    Tfm_fileinfo& f = *fm_fileinfo;
    f.show();
    EXPECT_EQ(f.infoFrequency->text(), "44100 Hz");
    EXPECT_EQ(f.infoChannels->text(), "2");
    EXPECT_TRUE(f.RadioButton1->isChecked());
    EXPECT_EQ(f.infoYear->text(), "");
    f.RadioButton2->click();
    f.infoTitle->setText("Morning take");
    f.infoArtist->setText("Me");
    f.infoGenre->setCurrentIndex(8);
    f.infoYear->setText("2024");
    f.infoTrack->setText("3");
    f.btnApplyClick();
    EXPECT_TRUE(boxes.texts().isEmpty());

    AudioInformation info;
    info.tagVersion = 2;
    ASSERT_TRUE(info.load(file));
    EXPECT_EQ(std::tuple(info.infoTitle, info.infoArtist, info.infoGenre, info.infoYear, info.infoTrack),
              std::tuple("Morning take", "Me", 8, 2024, 3));

    const std::string saved = testenv::readFile(file);
    for (QLineEdit* bad : {f.infoTrack, f.infoYear}) {
        f.btnResetClick();
        f.infoTitle->setText("Changed");
        bad->setText("12a");
        boxes.clear();
        f.btnApplyClick();
        ASSERT_EQ(boxes.texts().size(), 1);
        EXPECT_EQ(boxes.titles()[0], "Information");
        EXPECT_EQ(testenv::readFile(file), saved);
    }
    EXPECT_EQ(boxes.texts()[0], "Invalid year value");
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordingInformation, ::testing::Values("mp3", "ogg"));

}  // namespace
