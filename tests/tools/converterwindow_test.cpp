// The converter windows: settings by job mode and their rules, what Add
// lets into the list, a batch through the window (worker thread, and WMA on
// the GUI thread), closing the window under a running batch and starting
// again right after a stop.

#include <QCheckBox>
#include <QFileInfo>
#include <QTest>

#include "platform/inifile.h"
#include "platform/userfolders.h"
#include "toolwindowtest.h"
#include "tools/converterwindow.h"
#include "tools/toolfiles.h"

using namespace audiotest;
namespace fs = std::filesystem;

namespace {

class ConverterWindowTest : public ToolWindowTest {
protected:
    // A 2-second tone in each format the windows read.
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

class WindowSettings : public ConverterWindowTest, public ::testing::WithParamInterface<WindowRow> {};

TEST_P(WindowSettings, LiveInTheSectionOfTheJob) {
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

INSTANTIATE_TEST_SUITE_P(Four, WindowSettings,
                         ::testing::Values(WindowRow{Mp3ConverterConfig, "to mp3", "mp3 normalize", "path"},
                                           WindowRow{WavConverterConfig, "to wav", "WAV Normalize", "output directory"},
                                           WindowRow{OggConverterConfig, "to ogg", "ogg normalize", "output directory"},
                                           WindowRow{WmaConverterConfig, "to wma", "Wma Normalize",
                                                     "output directory"}));

TEST_F(ConverterWindowTest, FadeNeedsNormalizeAndDefaultsFillTheFormat) {
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

TEST_F(ConverterWindowTest, AddListsAudioFilesOnly) {
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
TEST_F(ConverterWindowTest, ABatchRunsThroughTheWindowOnAThreadAndWmaOnTheGuiThread) {
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

TEST_F(ConverterWindowTest, ClosingUnderABatchAndStartingRightAfterAStop) {
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

}  // namespace
