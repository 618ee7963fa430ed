// The tool windows as a user drives them, with the desktop seams answered
// by fakes. The converters: settings by job mode and their rules, what Add
// lets into the list, a batch through the window (worker thread, and WMA on
// the GUI thread), closing the window under a running batch and starting
// again right after a stop. Then the cut, combine and combine settings
// windows.

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "components/audio/audioinformation.h"
#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"
#include "components/skin/skinengine.h"
#include "platform/inifile.h"
#include "platform/presenter.h"
#include "platform/userfolders.h"
#include "skin/progressbar.h"
#include "skin/trackbar.h"
#include "pumpevents.h"
#include "toolwindowtest.h"
#include "tools/combine.h"
#include "tools/converterwindow.h"
#include "tools/cut.h"
#include "tools/directory.h"
#include "tools/setting.h"
#include "windowkit/toolskin.h"
#include "jobs/toolfiles.h"

using namespace audiotest;
namespace fs = std::filesystem;

namespace {

class ToolWindows : public ToolWindowTest {
protected:
    void SetUp() override {
        ToolWindowTest::SetUp();
        IniFile().writeString("Cut", "output directory", dir + "/out");
        IniFile().writeString("combine", "output directory", dir + "/out");
    }
    // A 2-second tone in each format the converters read.
    QStringList sources(const std::vector<std::string>& exts) {
        QStringList files;
        for (const std::string& ext : exts) files << tone("tone-" + ext + "." + ext);
        return files;
    }
    bool batchOver(ConverterWindow& w) {
        return QTest::qWaitFor([&] { return !w.job() && w.workerThreads() == 0; }, 60000);
    }
};

struct WindowRow {
    ConverterConfig (*config)();
    const char* convertSection;
    const char* normalizeSection;
    const char* folderKey;
};

class ConverterWindowSettings : public ToolWindows, public ::testing::WithParamInterface<WindowRow> {};

TEST_P(ConverterWindowSettings, LiveInTheSectionOfTheJob) {
    const WindowRow& row = GetParam();
    for (int mode : {1, 0}) {
        const QString section = mode == 1 ? row.convertSection : row.normalizeSection;
        {
            ConverterWindow w(row.config());
            w.JobMode = mode;
            w.show();
            EXPECT_EQ(w.cb_normalize->isChecked(), mode == 0);
            EXPECT_EQ(w.cb_normalize->isEnabled(), mode == 1);
            EXPECT_EQ(w.edt_directory->text(), MusicFolder());
            EXPECT_FALSE(w.btn_start->isEnabled());
            const bool mp3 = w.config().target == TargetFormat::Mp3;
            EXPECT_TRUE(!mp3 || w.cbx_frequency->currentText() == (mode == 1 ? "11025hz" : "44100hz"));
            w.cb_normalize->setChecked(true);
            w.btn_defaultClick();
            // The normalization job always normalizes.
            EXPECT_EQ(w.cb_normalize->isChecked(), mode == 0);
            EXPECT_EQ(w.cb_normalize->isEnabled(), mode == 1);
            EXPECT_TRUE(!mp3 || w.cbx_frequency->currentText() == "44100hz");
            w.cb_normalize->setChecked(true);
            w.ud_normalize->setPosition(77);
            w.close();
        }
        QStringList keys = IniKeys(section);
        EXPECT_TRUE(keys.contains(row.folderKey)) << section.toStdString();
        EXPECT_EQ(keys.contains("normalize"), mode == 1) << section.toStdString();
        EXPECT_EQ(IniFile().readInteger(section.toStdString(), "normalize ratio", 0), 77);
        ConverterWindow again(row.config());
        again.JobMode = mode;
        again.show();
        EXPECT_EQ(again.ud_normalize->position(), 77);
        again.close();
    }
}

INSTANTIATE_TEST_SUITE_P(Four, ConverterWindowSettings,
                         ::testing::Values(WindowRow{Mp3ConverterConfig, "to mp3", "mp3 normalize", "path"},
                                           WindowRow{WavConverterConfig, "to wav", "WAV Normalize", "output directory"},
                                           WindowRow{OggConverterConfig, "to ogg", "ogg normalize", "output directory"},
                                           WindowRow{WmaConverterConfig, "to wma", "Wma Normalize",
                                                     "output directory"}));

TEST_F(ToolWindows, ConverterFadeNeedsNormalizeAndDefaultsFillTheFormat) {
    ConverterWindow w(OggConverterConfig());
    w.show();
    w.cb_normalize->setChecked(true);
    w.cbx_fade->setChecked(true);
    EXPECT_TRUE(w.ud_fadein->isEnabled());
    w.cb_normalize->setChecked(false);
    EXPECT_FALSE(w.cbx_fade->isChecked());
    for (QWidget* c : std::initializer_list<QWidget*>{w.cbx_fade, w.ud_fadein, w.ud_fadeout, w.ud_normalize})
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    w.btn_defaultClick();
    EXPECT_EQ(w.cbx_frequency->currentText(), "44100Hz");
    EXPECT_EQ(w.cbx_bitrate->currentText(), "128kb");
    EXPECT_EQ(w.cbx_channel->currentText(), "Stereo");
    EXPECT_EQ(w.ud_quality->position(), 300);
    EXPECT_EQ(w.ud_fadein->minimum(), 0);
    EXPECT_EQ(ConverterWindow(WavConverterConfig()).ud_fadein->minimum(), 1);
    EXPECT_EQ(ConverterWindow(WmaConverterConfig()).btn_pause, nullptr);
    w.close();
}

// The MP3 converter's first rate, 11025 Hz, allows 64 kbit/s at most: the
// list offers no more, the stored 128 shows as 64, and 64 is what the file
// gets.
TEST_F(ToolWindows, TheMp3ConverterShowsTheBitrateItWrites) {
    const QStringList files = sources({"wav"});
    ConverterWindow w(Mp3ConverterConfig());
    w.show();
    EXPECT_EQ(w.cbx_frequency->currentText(), "11025hz");
    EXPECT_EQ(w.cbx_bit->count(), 4);
    EXPECT_EQ(w.cbx_bit->currentText(), "64kb");
    EXPECT_EQ(w.cbx_vbrbit->currentText(), "64");
    const std::string out = testenv::makeTempDir("rates");
    w.edt_directory->setText(Q(out));
    w.addFiles(files);
    w.btn_startClick();
    ASSERT_TRUE(batchOver(w));
    AudioInformation info;
    ASSERT_TRUE(info.load(out + "/tone-wav.mp3"));
    EXPECT_EQ(info.infoBitrate, 64000);
    w.cbx_frequency->setCurrentIndex(7);
    EXPECT_EQ(w.cbx_bit->count(), 13);
    w.close();
    EXPECT_EQ(IniFile().readInteger(Mp3ConverterConfig().convertSection, "bit", -1), 3);
}

TEST_F(ToolWindows, ConverterAddListsAudioFilesOnly) {
    ConverterWindow w(WavConverterConfig());
    w.show();
    const QString good = sources({"mp3"}).first();
    testenv::writeFile(dir + "/random.ogg", std::string(3000, '\x17'));
    testenv::writeFile(dir + "/empty.wma", "");
    testenv::writeFile(dir + "/short.mp3", "ID3");
    fs::create_directories(dir + "/folder.mp3");
    dialogs.chooseNext({good, Q(dir + "/random.ogg"), Q(dir + "/gone.mp3"), Q(dir + "/folder.mp3"),
                         Q(dir + "/empty.wma"), Q(dir + "/short.mp3")});
    w.btn_addClick();
    ASSERT_EQ(dialogs.requests().size(), 1u);
    EXPECT_EQ(dialogs.requests()[0].filter, "All Supported Formats(*.mp3,*.wma,*.ogg)|*.mp3;*.wma;*.ogg");
    EXPECT_EQ(boxes.texts(), QStringList({"random.ogg is an invalid audio file!", Q(dir) + "/gone.mp3 has been removed!",
                                           "empty.wma is an invalid audio file!", "short.mp3 is an invalid audio file!"}));
    ASSERT_EQ(w.vslv_mp3file->rowCount(), 1);
    const QStringList cells = {"tone-mp3.mp3", good, FileSizeText(QFileInfo(good).size()), "00:00:02", "unconvert"};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(w.vslv_mp3file->item(0, c)->text(), cells[c]);
    EXPECT_TRUE(w.btn_start->isEnabled());
    EXPECT_EQ(IniFile().readString("To WAV", "add path", ""), dir);

    boxes.clear();
    w.vslv_mp3file->selectRow(0);
    w.btn_deleteClick();
    w.btn_clearClick();
    EXPECT_TRUE(boxes.texts().isEmpty()) << "nothing to clear, nothing asked";
    w.addFiles({good, good});
    w.btn_clearClick();
    EXPECT_EQ(boxes.texts(), QStringList({"Are you sure to remove all the file records?\n"
                                           "Your files will not be removed from your computer."}));
    EXPECT_EQ(w.vslv_mp3file->rowCount(), 0);
    EXPECT_TRUE(QFileInfo::exists(good));
    w.close();

    EXPECT_EQ(FileSizeText(3617587), "3.45MB");
    EXPECT_EQ(FileSizeText(0), "0.00MB");
    EXPECT_EQ(FileSizeText(qint64(1234.567 * 1048576)), "1234.60MB");
}

// The overwrite question is a fixed point of a batch: the tests act there.
TEST_F(ToolWindows, AConverterBatchRunsOnAThreadAndWmaOnTheGuiThread) {
    const QStringList files = sources({"mp3", "ogg", "wav"});
    for (auto config : {WavConverterConfig, WmaConverterConfig}) {
        ConverterWindow w(config());
        w.show();
        const std::string out = testenv::makeTempDir("batch");
        w.edt_directory->setText(Q(out));
        testenv::writeFile(out + "/tone-ogg" + TargetExtension(w.config().target).toStdString(), "old");
        boxes.setHandler([&](const MessageRequest& r) {
            EXPECT_TRUE(r.text.endsWith(" already exists. Overwrite?"));
            EXPECT_FALSE(w.btn_add->isEnabled());
            EXPECT_FALSE(w.mi_start->isEnabled());
            EXPECT_TRUE(w.btn_stop->isEnabled());
            EXPECT_TRUE(!w.btn_pause || w.btn_pause->isEnabled());
            EXPECT_EQ(column(w.vslv_mp3file, 4).value(0), "finish");
            return MessageAnswer::Yes;
        });
        w.addFiles(files);
        w.btn_startClick();
        ASSERT_TRUE(batchOver(w));
        EXPECT_EQ(boxes.requests().size(), 1u);
        boxes.clear();
        EXPECT_EQ(column(w.vslv_mp3file, 4), QStringList(3, "finish"));
        EXPECT_EQ(w.pb_mp3->position(), 0);
        EXPECT_TRUE(w.btn_start->isEnabled());
        EXPECT_FALSE(w.btn_stop->isEnabled());
        ASSERT_FALSE(launcher.openedUrls().empty());
        EXPECT_EQ(launcher.openedUrls().back().toLocalFile(), w.edt_directory->text());
        w.close();
    }
    // An empty list: the WMA window still ends its batch, the others change nothing.
    const size_t opened = launcher.openedUrls().size();
    ConverterWindow mp3(Mp3ConverterConfig());
    mp3.show();
    mp3.btn_startClick();
    ASSERT_TRUE(batchOver(mp3));
    EXPECT_EQ(launcher.openedUrls().size(), opened);
    ConverterWindow wma(WmaConverterConfig());
    wma.show();
    wma.btn_startClick();
    EXPECT_EQ(launcher.openedUrls().size(), opened + 1);
}

// A job's question waits while another box is open (the program's quit
// question, say): opened over it, it would take the click meant for it.
TEST_F(ToolWindows, AJobsQuestionWaitsForTheBoxAlreadyOpen) {
    const QStringList files = sources({"wav"});
    ConverterWindow w(Mp3ConverterConfig());
    w.show();
    const std::string out = testenv::makeTempDir("waits");
    w.edt_directory->setText(Q(out));
    testenv::writeFile(out + "/tone-wav.mp3", "old");
    w.addFiles(files);
    QStringList order;
    bool quitOpen = false;
    boxes.setHandler([&](const MessageRequest& r) {
        order << r.text;
        if (r.text == "Quit?") {
            quitOpen = true;
            w.btn_startClick();
            QTest::qWait(1500);  // the job reaches its question meanwhile
            quitOpen = false;
            return MessageAnswer::No;
        }
        EXPECT_FALSE(quitOpen) << "the job's question opened over the open one";
        return MessageAnswer::Yes;
    });
    ShowMessage({MessageKind::Confirmation, "Confirmation", "Quit?", MessageButtons::YesNo, &w, {}});
    ASSERT_TRUE(batchOver(w));
    ASSERT_EQ(order.size(), 2);
    EXPECT_EQ(order[0], "Quit?");
    EXPECT_TRUE(order[1].endsWith(" already exists. Overwrite?"));
    EXPECT_EQ(column(w.vslv_mp3file, 4), QStringList{"finish"});
    w.close();
}

TEST_F(ToolWindows, ConverterClosingUnderABatchAndStartingRightAfterAStop) {
    const QStringList files = sources({"wav", "ogg"});
    ConverterWindow w(Mp3ConverterConfig());
    w.show();
    const std::string out = testenv::makeTempDir("out");
    w.edt_directory->setText(Q(out));
    testenv::writeFile(out + "/tone-wav.mp3", "old");
    int questions = 0;
    boxes.setHandler([&](const MessageRequest&) {
        if (++questions == 1) w.close();
        return MessageAnswer::Yes;
    });
    w.addFiles(files);
    w.btn_startClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 60000));
    // The list of the next showing is the user's new one: the old job's
    // reports do not reach it.
    w.show();
    w.addFiles({files[1]});
    ASSERT_TRUE(batchOver(w));
    EXPECT_EQ(column(w.vslv_mp3file, 4), QStringList{"unconvert"});
    EXPECT_TRUE(launcher.openedUrls().empty());

    // Stop, and Start as soon as the buttons allow it.
    testenv::writeFile(out + "/tone-ogg.mp3", "old");
    questions = 0;
    boxes.setHandler([&](const MessageRequest&) {
        if (++questions == 1) w.btn_stopClick();
        return MessageAnswer::Yes;
    });
    w.addFiles({files[0]});
    w.btn_startClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.btn_start->isEnabled(); }, 60000));
    w.btn_startClick();
    ASSERT_TRUE(batchOver(w));
    EXPECT_EQ(column(w.vslv_mp3file, 4), QStringList(2, "finish"));
    for (const char* name : {"tone-ogg.mp3", "tone-wav.mp3"})
        EXPECT_NEAR(static_cast<double>(decode(out + "/" + name).frames()), 2 * 11025, 1200) << name;
    w.close();
}

// ---------------------------------------------------------------- cut and combine

// Add, pick a row, preview and cut a range: the preview plays the range
// from the start bar, shows where it is and ends itself once past the end
// bar (a reversed range only says so); the move buttons set the range; the
// cut's output appears, the folder opens once, and the window is ready for
// the next cut.
TEST_F(ToolWindows, CutAddsPicksPreviewsAndCutsARange) {
    VirtualClock clock;
    NullPcmOutput* output = nullptr;
    AudioPlayer::setOutputFactory([&] {
        auto out = std::make_unique<NullPcmOutput>(&clock);
        output = out.get();
        return out;
    });
    Tfm_cut w;
    AudioPlayer::setOutputFactory({});
    w.show();
    EXPECT_FALSE(w.btn_cut->isEnabled());
    EXPECT_FALSE(w.tb_start->isEnabled());
    const AudioBlock source = sine(44100, 2, 4.0, {440, 880});
    encode(dir + "/song.wav", source);
    dialogs.chooseNext({Q(dir + "/gone.mp3"), Q(dir), Q(dir + "/song.wav")});
    w.btn_selectClick();
    EXPECT_EQ(boxes.texts(), QStringList{Q(dir + "/gone.mp3 has been removed!")});
    ASSERT_EQ(w.lv->rowCount(), 1);
    EXPECT_EQ(column(w.lv, 0), QStringList{"song.wav"});
    EXPECT_EQ(column(w.lv, 2), QStringList{"0.67MB"});
    EXPECT_EQ(column(w.lv, 3), QStringList{"00:00:04"});
    EXPECT_EQ(IniFile().readString("Cut", "add path", ""), dir);

    w.lv->setCurrentCell(0, 0);
    w.lvClick();
    EXPECT_EQ(w.edt_info->text(), "44100Hz 1411KBit Stereo");
    EXPECT_EQ(w.tb_end->position(), 1000);
    EXPECT_EQ(w.st_timee->text(), "00:00:04");
    EXPECT_TRUE(w.btn_cut->isEnabled());

    w.tb_start->setPosition(600);
    w.tb_end->setPosition(300);
    w.btn_playClick();
    EXPECT_EQ(boxes.texts().last(), "The start-time must be smaller than end-time");
    EXPECT_FALSE(w.PreviewPlaying);
    EXPECT_TRUE(w.btn_play->isEnabled());

    w.tb_start->setPosition(250);
    w.tb_end->setPosition(500);
    w.btn_playClick();
    ASSERT_TRUE(w.PreviewPlaying);
    EXPECT_FALSE(w.btn_cut->isEnabled());
    EXPECT_FALSE(w.btn_select->isEnabled());
    EXPECT_TRUE(w.btn_stop->isEnabled());
    clock.advance(500);
    EXPECT_EQ(w.st_times->text(), "00:00:01");
    // Holding the start bar pauses; letting go plays on from where it is.
    const QPoint thumb = w.tb_start->thumbRect().center();
    QTest::mousePress(w.tb_start, Qt::LeftButton, {}, thumb);
    EXPECT_FALSE(w.preview().isPlaying());
    QTest::mouseRelease(w.tb_start, Qt::LeftButton, {}, thumb);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.preview().isPlaying());
    EXPECT_EQ(w.preview().startFrame(), CutFrameAt(w.tb_start->position(), 4 * 44100));
    clock.advance(1500);
    EXPECT_FALSE(w.PreviewPlaying);
    EXPECT_TRUE(w.btn_cut->isEnabled());
    EXPECT_FALSE(w.btn_stop->isEnabled());
    // What was heard starts at the start bar, sample for sample, and goes
    // little beyond the end bar.
    ASSERT_NE(output, nullptr);
    const std::vector<int16_t>& heard = output->written();
    ASSERT_GE(heard.size(), 2u * 44100);
    EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + 2 * 44100, source.samples.begin() + 2 * 44100));
    EXPECT_LT(heard.size(), 2u * (44100 + 44100 / 2));

    // "<" and ">" step by 3 and stay off the ends.
    const struct {
        TvsTrackBar* bar;
        QPushButton* button;
        int from, to;
    } moves[] = {{w.tb_start, w.Button1, 3, 3},     {w.tb_start, w.Button1, 4, 1},
                 {w.tb_end, w.Button4, 997, 997},   {w.tb_end, w.Button4, 996, 999},
                 {w.tb_start, w.Button2, 497, 500}, {w.tb_end, w.Button3, 753, 750}};
    for (const auto& m : moves) {
        m.bar->setPosition(m.from);
        m.button->click();
        EXPECT_EQ(m.bar->position(), m.to) << m.from;
    }
    EXPECT_EQ(w.st_times->text(), "00:00:02");
    EXPECT_EQ(w.st_timee->text(), "00:00:03");

    w.btn_cutClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.job() == nullptr; }, 60000));
    EXPECT_EQ(decode(dir + "/out/cutsong.wav").frames(), 44100);
    ASSERT_EQ(launcher.openedUrls().size(), 1u);
    EXPECT_EQ(launcher.openedUrls()[0].toLocalFile().toStdString(), dir + "/out");
    EXPECT_TRUE(w.btn_cut->isEnabled());
    EXPECT_FALSE(w.btn_stop->isEnabled());
    EXPECT_TRUE(w.tb_start->isEnabled());

    // Deleting the row being shown resets the window.
    w.btn_deleteClick();
    EXPECT_EQ(w.lv->rowCount(), 0);
    EXPECT_FALSE(w.btn_play->isEnabled());
    EXPECT_EQ(w.st_timee->text(), "00:00:00");
    w.close();
    EXPECT_EQ(IniFile().readString("Cut", "output directory", ""), dir + "/out");
}

// While a cut runs (here: at its overwrite question) a row click changes
// neither the chosen file nor the range, and Cut stays off; once the cut has
// ended, the next Cut cuts.
TEST_F(ToolWindows, CutKeepsItsRowAndRangeUntilTheCutEnds) {
    Tfm_cut w;
    w.show();
    w.addFiles({tone("a.wav"), tone("b.wav")});
    ASSERT_EQ(w.lv->rowCount(), 2);
    w.lv->setCurrentCell(0, 0);
    w.lvClick();
    w.tb_start->setPosition(100);
    fs::create_directories(dir + "/out");
    testenv::writeFile(dir + "/out/cuta.wav", "old");
    int asked = 0;
    boxes.setHandler([&](const MessageRequest&) {
        ++asked;
        w.lv->setCurrentCell(1, 0);
        w.lvClick();
        EXPECT_EQ(w.CutSource, Q(dir + "/a.wav"));
        EXPECT_EQ(w.lv->currentRow(), 0);
        EXPECT_EQ(w.tb_start->position(), 100);
        EXPECT_FALSE(w.lv->isEnabled());
        EXPECT_FALSE(w.tb_start->isEnabled());
        EXPECT_FALSE(w.btn_cut->isEnabled());
        EXPECT_FALSE(w.mi_startcut->isEnabled());
        w.btn_cutClick();  // reached all the same: no second job
        return MessageAnswer::Yes;
    });
    w.btn_cutClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.job() == nullptr; }, 60000));
    EXPECT_EQ(asked, 1);
    EXPECT_NEAR(static_cast<double>(decode(dir + "/out/cuta.wav").frames()), 0.9 * 2 * 44100, 50);
    EXPECT_TRUE(w.lv->isEnabled());
    EXPECT_TRUE(w.btn_cut->isEnabled());
    EXPECT_TRUE(w.tb_start->isEnabled());

    // The next row and its cut.
    boxes.setHandler([](const MessageRequest&) { return MessageAnswer::Yes; });
    w.lv->setCurrentCell(1, 0);
    w.lvClick();
    EXPECT_EQ(w.CutSource, Q(dir + "/b.wav"));
    w.btn_cutClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.job() == nullptr; }, 60000));
    EXPECT_TRUE(QFileInfo::exists(Q(dir + "/out/cutb.wav")));
    w.close();
}

// The cut window's range bars are found by their labels through the
// accessibility tree and set there, as a screen reader's user sets them.
TEST_F(ToolWindows, CutRangeBarsAreFoundAndSetThroughAccessibility) {
    Tfm_cut w;
    w.show();
    w.addFiles({tone("a.wav", 4.0)});
    w.lv->setCurrentCell(0, 0);
    w.lvClick();
    std::function<QAccessibleInterface*(QAccessibleInterface*, const QString&)> find =
        [&](QAccessibleInterface* node, const QString& name) -> QAccessibleInterface* {
        if (node->role() == QAccessible::Slider && node->text(QAccessible::Name) == name) return node;
        for (int i = 0; i < node->childCount(); ++i)
            if (QAccessibleInterface* found = find(node->child(i), name)) return found;
        return nullptr;
    };
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&w);
    QAccessibleInterface* start = find(root, "Start:");
    QAccessibleInterface* end = find(root, "End:");
    ASSERT_TRUE(start && end);
    start->valueInterface()->setCurrentValue(250);
    end->valueInterface()->setCurrentValue(750);
    EXPECT_EQ(w.tb_start->position(), 250);
    EXPECT_EQ(w.tb_end->position(), 750);
    EXPECT_EQ(w.st_times->text(), "00:00:01");
    EXPECT_EQ(w.st_timee->text(), "00:00:03");
    QAccessibleInterface* progress = QAccessible::queryAccessibleInterface(w.pb);
    EXPECT_EQ(progress->role(), QAccessible::ProgressBar);
    w.close();
}

// The list keeps its order through Up and Down of several rows, Delete
// recounts the total time, and the typed name loses what a file name
// cannot hold.
TEST_F(ToolWindows, CombineListOrderTotalTimeAndName) {
    Tfm_combine w;
    w.show();
    EXPECT_TRUE(w.rb_format[1]->isChecked());
    testenv::writeFile(dir + "/text.mp3", "no audio");
    w.addFiles({tone("a.wav", 1.0), tone("b.wav", 2.0), Q(dir + "/text.mp3"), tone("c.wav", 3.0),
                tone("d.wav", 4.0)});
    EXPECT_EQ(boxes.texts(), QStringList{"text.mp3 is an invalid audio file!"});
    EXPECT_EQ(w.st_time->text(), "00:00:10");
    const auto select = [&](std::initializer_list<int> rows) {
        w.vslv_mp3file->clearSelection();
        for (int row : rows)
            w.vslv_mp3file->selectionModel()->select(w.vslv_mp3file->model()->index(row, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    const struct {
        std::initializer_list<int> rows;
        bool up;
        const char* order;
    } moves[] = {{{1, 3}, true, "badc"}, {{0, 2}, true, "bdac"}, {{0, 1}, false, "abdc"}, {{3}, false, "abdc"}};
    for (const auto& m : moves) {
        select(m.rows);
        if (m.up) w.btn_upClick();
        else w.btn_downClick();
        EXPECT_EQ(column(w.vslv_mp3file, 0).join("").remove(".wav"), m.order);
    }
    select({0, 3});
    w.btn_deleteClick();
    EXPECT_EQ(column(w.vslv_mp3file, 0).join("").remove(".wav"), "bd");
    EXPECT_EQ(w.st_time->text(), "00:00:06");

    w.edt_file->setText("my:mix*");
    QTest::keyClick(w.edt_file, Qt::Key_Return);
    EXPECT_EQ(w.edt_file->text(), "mymix");

    // Option shows the settings; a folder chosen is kept at once.
    Tfm_combinesetting settings;
    fm_combinesetting = &settings;
    presenter.setModalHandler([&](QWidget* shown) {
        if (shown != fm_directory) return 1;
        fm_directory->SelectedFolder = Q(dir + "/chosen");
        return static_cast<int>(QDialog::Accepted);
    });
    w.btn_optionClick();
    EXPECT_EQ(presenter.last(), &settings);
    fm_combinesetting = nullptr;
    w.btn_selectdirClick();
    EXPECT_EQ(w.edt_directory->text().toStdString(), dir + "/chosen");
    EXPECT_EQ(IniFile().readString("combine", "output directory", ""), dir + "/chosen");
    delete fm_directory;
    fm_directory = nullptr;
}

// A combine run to its end, and one stopped midway (the WMA combine runs on
// the window's thread, where Stop comes in between its blocks): both open
// the folder once and give the buttons back; the stopped one leaves nothing.
TEST_F(ToolWindows, CombineRunsAndStops) {
    for (int format : {0, 3}) {
        SCOPED_TRACE(format);
        Tfm_combine w;
        w.show();
        w.rb_format[format]->click();
        w.addFiles({tone("a.wav", 3.0), tone("b.wav", 3.0)});
        const QStringList before = QDir(Q(dir + "/out")).entryList(QDir::Files);
        int ticks = 0;
        QTimer stopper;
        if (format == 3) {
            QObject::connect(&stopper, &QTimer::timeout, [&] {
                if (++ticks == 3) w.btn_stopClick();
            });
            stopper.start(0);
        }
        const size_t opened = launcher.openedUrls().size();
        w.btn_combineClick();
        if (format == 0) {
            EXPECT_FALSE(w.btn_add->isEnabled());
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.job() == nullptr; }, 60000));
        QCoreApplication::processEvents();
        EXPECT_EQ(launcher.openedUrls().size(), opened + 1);
        EXPECT_TRUE(w.btn_combine->isEnabled());
        EXPECT_FALSE(w.btn_stop->isEnabled());
        EXPECT_EQ(w.pb_total->position(), 0);
        const QStringList after = QDir(Q(dir + "/out")).entryList(QDir::Files);
        if (format == 3) {
            EXPECT_GE(ticks, 3);
            EXPECT_EQ(after, before);
        } else {
            EXPECT_EQ(decode(dir + "/out/Newcombine.wav").frames(), 6 * 44100);
        }
        w.close();
        EXPECT_EQ(IniFile().readInteger("combine", "format", -1), format);
    }
}

// A fresh settings file gives the defaults; Default then Cancel writes
// nothing; OK writes the thirteen keys in their order; "？" shows the help of
// the chosen WMA format while it is held.
TEST_F(ToolWindows, CombineSettingsDefaultsAndRoundTrip) {
    CombineSettings s;
    CombineFormatIndexes::read(IniFile()).applyTo(s);
    EXPECT_EQ(std::tuple(s.mp3.sampleRate, s.mp3.channelMode, s.mp3.bitrate), std::tuple(44100, 2, 128));
    EXPECT_EQ(std::tuple(s.oggRate, s.oggChannels, s.oggKbps, s.oggQuality), std::tuple(44100, 2, 128, 300));
    EXPECT_EQ(std::tuple(s.wavRate, s.wavBits, s.wavChannels), std::tuple(44100, 16, 2));
    EXPECT_EQ(s.wmaProfile, 24);

    const std::string before = testenv::readFile(SettingsFilePath());
    Tfm_combinesetting w;
    w.show();
    EXPECT_EQ(w.values(), CombineFormatIndexes{});
    EXPECT_TRUE(w.wavFrequencyRadio[8]->isChecked());
    w.cbx_mp3bit->setCurrentIndex(12);
    w.wavBitRadio[0]->click();
    w.btn_defaultClick();
    EXPECT_EQ(w.values(), CombineFormatIndexes{});
    w.cbx_oggbit->setCurrentIndex(3);
    w.btn_cancelClick();
    EXPECT_EQ(testenv::readFile(SettingsFilePath()), before);

    CombineFormatIndexes changed;
    changed.mp3Frequency = 2;
    changed.wavFrequency = 0;
    changed.wavBit = 0;
    changed.wmaFormat = 12;
    changed.oggQuality = 550;
    w.show();
    w.setValues(changed);
    EXPECT_TRUE(w.wavFrequencyRadio[0]->isChecked());
    w.btn_okClick();
    EXPECT_EQ(CombineFormatIndexes::read(IniFile()), changed);
    const std::string ini = testenv::readFile(SettingsFilePath());
    size_t at = 0;
    for (const char* key : {"mp3 frequency=2", "mp3 channel", "mp3 bitrate", "mp3 vbr bitrate", "mp3 vbr quality",
                            "wav frequency=0", "wav bit=0", "wav channel", "wma format=12", "ogg frequency",
                            "ogg channel", "ogg bitrate", "ogg quality=550"}) {
        const size_t found = ini.find(key, at);
        ASSERT_NE(found, std::string::npos) << key;
        at = found;
    }

    // An index beyond the radios checks none.
    changed.wavFrequency = 10;
    w.setValues(changed);
    for (QRadioButton* r : w.wavFrequencyRadio) EXPECT_FALSE(r->isChecked());

    w.show();
    w.pages->setCurrentIndex(2);
    EXPECT_FALSE(w.lb_wmahelp->isVisible());
    w.cbx_wma->setCurrentIndex(10);
    QTest::mousePress(w.btn_wmahelp, Qt::LeftButton);
    EXPECT_TRUE(w.lb_wmahelp->isVisible());
    EXPECT_EQ(w.lb_wmahelp->text(), "WMA 8 for Dial-up Modem (32 Kbps) ");
    QTest::mouseRelease(w.btn_wmahelp, Qt::LeftButton);
    EXPECT_FALSE(w.lb_wmahelp->isVisible());
}

}  // namespace

// A converter opened while a window of the program is kept on top (the
// playlist window) is kept on top too; the skin's dressing at its show gave
// it back the flags of its first show, which hid and showed it again: its
// loop ended at once, and after its Close it stayed modal, hidden, and no
// window of the program took a click or a key again.
TEST_F(ToolWindows, AConverterOpenedOverAWindowKeptOnTopRunsToItsCloseAndLeavesNothingModal) {
    SkinEngine engine;
    SetToolWindowSkin(&engine);
    InstallWindowPresenter(nullptr);
    ConverterWindow w(Mp3ConverterConfig());
    QTimer::singleShot(50, &w, [&] { w.btn_closeClick(); });
    ShowModal(&w);
    QWidget onTop(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    onTop.show();
    bool shownUntilClose = false;
    QTimer::singleShot(200, &w, [&] {
        shownUntilClose = w.isVisible();
        w.btn_closeClick();
    });
    QElapsedTimer loop;
    loop.start();
    ShowModal(&w);
    EXPECT_GE(loop.elapsed(), 200) << "the loop ran until the Close";
    EXPECT_TRUE(shownUntilClose);
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    testenv::pumpUntil([] { return false; }, 100);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
    InstallWindowPresenter(&presenter);
    SetToolWindowSkin(nullptr);
}
