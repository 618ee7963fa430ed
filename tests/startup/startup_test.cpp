#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QAction>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "../playlistwindow/wavfiles.h"
#include "app/forms.h"
#include "app/startup.h"
#include "components/discwriter/imagefiles.h"
#include "disc/cdaudioburner.h"
#include "disc/cdburner.h"
#include "disc/newfolder.h"
#include "library/addplaylist.h"
#include "library/about.h"
#include "library/cover.h"
#include "library/id3.h"
#include "library/main.h"
#include "library/mainfilter.h"
#include "library/mmain.h"
#include "library/playlist.h"
#include "library/records/trackfile.h"
#include "platform/errors.h"
#include "platform/fakes.h"
#include "platform/inifile.h"
#include "platform/instancechannel.h"
#include "platform/ownedfiles.h"
#include "platform/paths.h"
#include "testenv.h"
#include "tools/cdrippersettings.h"
#include "tools/directory.h"
#include "tools/mp3normalize.h"
#include "tools/recorder.h"
#include "tools/wmanormalize.h"
#include "windowkit/disctoolservices.h"

namespace {

class Forms : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpApplication(*qApp);
        CreateForms();
    }
    void TearDown() override { DestroyForms(); }
};

// Popup menus are windows to Qt too; the program's windows are the others.
qsizetype windowCount() {
    qsizetype n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += w->windowType() != Qt::Popup;
    return n;
}

TEST_F(Forms, AllWindowsExistOnceTakeTheirJobsFromTheMenuAndGoAway) {
    const auto before = windowCount();
    ASSERT_NE(fm_main, nullptr);
    EXPECT_EQ(fm_main->windowTitle(), "Tunevale");
    EXPECT_EQ(fm_recorder->windowTitle(), "Recorder");
    EXPECT_EQ(fm_addlist->windowTitle(), "Add File...");
    EXPECT_FALSE(fm_main->isVisible());

    // The menu hands each converter window its job through the program's table.
    FakeWindowPresenter presenter;
    fm_main->MPNormalize1->trigger();
    EXPECT_EQ(presenter.last(), fm_mp3normalize);
    EXPECT_EQ(fm_mp3normalize->JobMode, 0);
    EXPECT_EQ(fm_mp3normalize->windowTitle(), "MP3 Normalize");
    fm_main->WAVOGGWMAtoMP31->trigger();
    EXPECT_EQ(fm_mp3normalize->JobMode, 1);
    EXPECT_EQ(fm_mp3normalize->windowTitle(), "TO MP3");
    fm_main->WMANormalize1->trigger();
    EXPECT_EQ(presenter.last(), fm_wmanormalize);
    EXPECT_EQ(fm_wmanormalize->JobMode, 0);

    DestroyForms();
    EXPECT_EQ(fm_main, nullptr);
    EXPECT_EQ(fm_addlist, nullptr);
    EXPECT_EQ(before - windowCount(), 29);
    CreateForms();
}

// The disc windows open the tools' folder chooser and the encoder dialog
// (with the ripper's tabs, whatever the recorder left) through the table.
TEST_F(Forms, TheDiscWindowsReachTheFolderChooserAndTheRipperSettings) {
    const DiscToolServices* services = CurrentDiscToolServices();
    ASSERT_NE(services, nullptr);
    FakeWindowPresenter presenter;
    presenter.setModalHandler([](QWidget* w) {
        if (w == fm_directory) fm_directory->SelectedFolder = QStringLiteral("/tmp");
        return static_cast<int>(QDialog::Accepted);
    });
    EXPECT_EQ(services->chooseFolder(fm_main), "/tmp");
    CdSetForRecorder = true;
    fm_cdset->setWindowTitle("Recorder Setting");
    EXPECT_TRUE(services->showEncoderSettings(fm_main));
    EXPECT_EQ(presenter.last(), fm_cdset);
    EXPECT_FALSE(CdSetForRecorder);
    EXPECT_EQ(fm_cdset->windowTitle(), "CD Settings");
    DestroyForms();
    EXPECT_EQ(CurrentDiscToolServices(), nullptr);
    CreateForms();
}

TEST_F(Forms, ClosingTheMainWindowEndsTheProgramOnlyOnYes) {
    FakeMessageBoxes boxes;
    fm_main->show();
    fm_playlist->show();  // another window still open does not keep it alive

    boxes.answerNext(MessageAnswer::No);
    QTimer::singleShot(0, [] { fm_main->close(); });
    QTimer::singleShot(500, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(qApp->exec(), 7) << "the program ended although the user answered No";
    EXPECT_TRUE(fm_main->isVisible());
    EXPECT_EQ(boxes.titles(), QStringList{"Confirmation"});
    EXPECT_EQ(boxes.texts(), QStringList{"Are you sure to quit?"});
    EXPECT_EQ(boxes.requests()[0].buttons, MessageButtons::YesNo);

    boxes.answerNext(MessageAnswer::Yes);
    QTimer::singleShot(0, [] { fm_main->close(); });
    QTimer fallback;
    fallback.callOnTimeout([] { QCoreApplication::exit(7); });
    fallback.start(5000);
    EXPECT_EQ(qApp->exec(), 0) << "the main window closed but the program went on";
    fm_playlist->hide();
}

// A quit during a recording says so over the recorder and, on Yes, stops
// the recording, which is kept.
TEST_F(Forms, AQuitDuringARecordingSaysSoAndKeepsTheRecording) {
    FakeMessageBoxes boxes;
    const std::string folder = testenv::makeTempDir("takes");
    IniFile().writeString("recorder", "format path", folder);
    IniFile().writeInteger("recorder", "format", 0);
    IniFile().writeBool("recorder", "cb auto", false);  // silence is recorded too
    fm_main->show();
    fm_recorder->show();
    fm_recorder->btn_recordClick();
    ASSERT_TRUE(fm_recorder->isRecording()) << boxes.texts().join('|').toStdString();
    boxes.setHandler([](const MessageRequest&) { return MessageAnswer::Yes; });
    QTimer::singleShot(2000, [] { fm_main->close(); });  // a few blocks of the input
    QTimer fallback;
    fallback.callOnTimeout([] { QCoreApplication::exit(7); });
    fallback.start(8000);
    EXPECT_EQ(qApp->exec(), 0);
    ASSERT_EQ(boxes.requests().size(), 1u);
    EXPECT_TRUE(boxes.texts()[0].startsWith("The Recorder window is still working"));
    EXPECT_EQ(boxes.requests()[0].parent, fm_recorder);
    EXPECT_FALSE(fm_recorder->isRecording());
    EXPECT_TRUE(QFileInfo(fm_recorder->RecordedFile).size() > 44) << fm_recorder->RecordedFile.toStdString();
}

TEST_F(Forms, TheSplashClosesItselfWithoutEndingTheProgram) {
    ShowSplash();
    ASSERT_NE(fm_cover, nullptr);
    EXPECT_TRUE(fm_cover->isVisible());
    EXPECT_FALSE(fm_cover->isEnabled());
    EXPECT_EQ(fm_cover->size(), QSize(399, 239));
    EXPECT_EQ(fm_cover->Timer1->interval(), 1000);
    // Its picture, drawn when the program was built, fills it and carries the
    // product's words: light letters over the dark sky, in the title's band
    // and in the line under it.
    const QImage picture = fm_cover->grab().toImage();
    ASSERT_EQ(picture.size(), QSize(399, 239));
    const QColor sky = picture.pixelColor(2, 2);
    EXPECT_LE(std::abs(sky.red() - 0x1f) + std::abs(sky.green() - 0x3b) + std::abs(sky.blue() - 0x5c), 6)
        << sky.name().toStdString();
    const auto lightPixels = [&](const QRect& band) {
        int n = 0;
        for (int y = band.top(); y <= band.bottom(); ++y)
            for (int x = band.left(); x <= band.right(); ++x) {
                const QColor c = picture.pixelColor(x, y);
                n += c.red() > 0xc0 && c.green() > 0xc0 && c.blue() > 0xc0;
            }
        return n;
    };
    EXPECT_GT(lightPixels(QRect(24, 30, 351, 56)), 200);
    EXPECT_GT(lightPixels(QRect(26, 86, 347, 20)), 50);
    EXPECT_EQ(lightPixels(QRect(0, 0, 399, 28)), 0);
    // The splash is the only visible window when it closes: the loop ends a
    // moment after the splash is gone, unless the program ended with it.
    QTimer poll;
    poll.callOnTimeout([&] {
        if (fm_cover) return;
        poll.stop();
        QTimer::singleShot(100, &poll, [] { QCoreApplication::exit(7); });
    });
    poll.start(20);
    QTimer::singleShot(20000, &poll, [] { QCoreApplication::exit(8); });
    EXPECT_EQ(qApp->exec(), 7) << "0: the program ended with the splash; 8: the splash did not close or was not freed";
    EXPECT_NE(fm_main, nullptr);
}

class PaintSpy : public QObject {
public:
    PaintSpy(QWidget* w, std::function<void()> seen) : seen_(std::move(seen)) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) seen_();
        return false;
    }

private:
    std::function<void()> seen_;
};

// The library's dialogs and the tool and disc windows come after the main
// window's first paint, in the table's order, under the splash, which comes
// over the painted main window without taking its keyboard; a command that
// needs one earlier gets them all at once, and a main window that is never
// painted gets them within a second.
TEST_F(Forms, TheToolWindowsFollowTheMainWindowsFirstPaint) {
    // Runs events for ms, or until made is true if given; a slow machine
    // (a sanitizer build under load) gets the whole time.
    const auto spin = [](int ms, const std::function<bool()>& made = {}) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() && !(made && made()))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    const auto toolsMade = [] { return fm_cdaudioburner != nullptr; };
    DestroyForms();
    CreateLibraryForms();
    ASSERT_NE(fm_playlist, nullptr);
    ASSERT_NE(fm_mmain, nullptr);
    EXPECT_EQ(fm_recorder, nullptr);
    EXPECT_EQ(fm_about, nullptr);
    fm_main->About1Click();
    ASSERT_NE(fm_about, nullptr) << "a command before the first paint did not get its dialog";
    EXPECT_TRUE(fm_about->isVisible());
    fm_about->close();
    EXPECT_NE(fm_recorder, nullptr);
    EXPECT_NE(fm_Id3, nullptr);

    DestroyForms();
    CreateLibraryForms();
    EXPECT_EQ(fm_main->Tools->toolWindow(ToolWindow::Recorder), fm_recorder);
    EXPECT_NE(fm_newfolder, nullptr);
    EXPECT_NE(fm_dir, nullptr);

    DestroyForms();
    CreateLibraryForms();
    bool painted = false, toolsAtFirstPaint = false, splashAtFirstPaint = false;
    PaintSpy spy(fm_main, [&] {
        if (!painted) toolsAtFirstPaint = fm_recorder != nullptr, splashAtFirstPaint = fm_cover != nullptr;
        painted = true;
    });
    CreateToolFormsAfterFirstPaint(fm_main);
    spin(300);
    EXPECT_EQ(fm_recorder, nullptr) << "made before the main window was painted";
    EXPECT_EQ(fm_Id3, nullptr) << "made before the main window was painted";
    EXPECT_EQ(fm_cover, nullptr) << "the splash came before the main window was painted";
    fm_main->show();
    spin(10000, toolsMade);
    EXPECT_TRUE(painted);
    EXPECT_FALSE(toolsAtFirstPaint);
    EXPECT_FALSE(splashAtFirstPaint);
    EXPECT_NE(fm_cdaudioburner, nullptr);
    ASSERT_NE(fm_cover, nullptr) << "no splash while the tool windows were made";
    EXPECT_TRUE(fm_cover->isVisible());
    EXPECT_TRUE(fm_cover->testAttribute(Qt::WA_ShowWithoutActivating));

    DestroyForms();
    CreateLibraryForms();
    CreateToolFormsAfterFirstPaint(fm_main);
    spin(10000, toolsMade);
    EXPECT_NE(fm_recorder, nullptr) << "a main window never painted never got its tool windows";
}

// Real programs started beside this binary on its data root. This process
// plays the instance that runs first, through the program's own claim and
// message handling, so that its quit question can be answered.
class TwoInstances : public Forms {
protected:
    void TearDown() override {
        for (auto& program : programs_) {
            if (program->state() == QProcess::NotRunning) continue;
            program->kill();
            program->waitForFinished(5000);
        }
        Forms::TearDown();
    }

    QProcess& start(const QStringList& arguments) {
        auto& program = programs_.emplace_back(std::make_unique<QProcess>());
        program->setProgram(QCoreApplication::applicationDirPath() + "/tunevale");
        program->setArguments(arguments);
        program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program->start();
        EXPECT_TRUE(program->waitForStarted(5000));
        return *program;
    }

    // Runs this instance's events until cond holds or the time is up.
    template <typename Cond>
    bool spinUntil(Cond cond, int ms) {
        QDeadlineTimer deadline(ms);
        while (!cond()) {
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    bool endsAtOnce(QProcess& program) {
        return spinUntil([&] { return program.state() == QProcess::NotRunning; }, 20000) &&
               program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
    }

    // This process becomes the running instance, as a plain start does.
    void runHere() {
        channel_ = std::make_unique<InstanceServer>([this](std::uint8_t m) {
            received_.push_back(m);
            return HandleInstanceMessage(m);
        });
        ASSERT_TRUE(ClaimInstance(*channel_, 0));
        fm_main->show();
    }

    std::string song() {
        const std::string path = testenv::makeTempDir("songs") + "/song.wav";
        WriteWav(path, 8000);
        return path;
    }

    std::vector<std::unique_ptr<QProcess>> programs_;
    std::unique_ptr<InstanceServer> channel_;
    std::vector<int> received_;
    FakeMessageBoxes boxes_;
};

TEST_F(TwoInstances, APlainStartBringsTheRunningWindowForwardAndARefusedCloseKeepsIt) {
    runHere();
    fm_main->showMinimized();
    EXPECT_TRUE(endsAtOnce(start({})));
    EXPECT_EQ(received_, std::vector<int>{WM_QUERYOPEN});
    EXPECT_FALSE(fm_main->isMinimized());
    EXPECT_TRUE(fm_main->isVisible());
    EXPECT_TRUE(boxes_.requests().empty());

    // A start with a file asks this one to close; on No it ends and the
    // library stays with the running one.
    boxes_.answerNext(MessageAnswer::No);
    EXPECT_TRUE(endsAtOnce(start({QString::fromStdString(song())})));
    EXPECT_EQ(received_, (std::vector<int>{WM_QUERYOPEN, WM_CLOSE}));
    EXPECT_TRUE(fm_main->isVisible());
    EXPECT_TRUE(channel_->isListening());
}

TEST_F(TwoInstances, AStartWithAFileClosesTheRunningOneAfterYesThenPlaysTheFile) {
    runHere();
    const std::string file = song();
    boxes_.answerNext(MessageAnswer::Yes);
    QProcess& successor = start({QString::fromStdString(file)});
    ASSERT_TRUE(spinUntil([&] { return !received_.empty(); }, 20000));
    EXPECT_EQ(received_, std::vector<int>{WM_CLOSE});
    EXPECT_EQ(boxes_.texts(), QStringList{"Are you sure to quit?"});
    EXPECT_FALSE(fm_main->isVisible());
    EXPECT_FALSE(channel_->isListening());

    // The successor adds the file and plays it, which counts its play.
    const auto played = [&] {
        try {
            for (const TrackRecord& r : LoadTrackRecords(DataFolder() + "music.dat"))
                if (r.Path == file && r.PlayCount == 1) return true;
        } catch (const TunevaleError&) {
        }
        return false;
    };
    EXPECT_TRUE(spinUntil(played, 20000));
    // It runs on the library now: a plain start finds it and ends.
    EXPECT_TRUE(endsAtOnce(start({})));
    EXPECT_EQ(successor.state(), QProcess::Running);
}

// What killed processes left (audio CD caches in the temporary folder, image
// parts, the data CD staging folder) goes at the next start, off the GUI
// thread; what a running process holds or names stays. SIGXFSZ is
// ignored from the application's set-up on.
TEST_F(TwoInstances, AStartRemovesWhatEndedProcessesLeftAndKeepsWhatLiveOnesHold) {
    struct sigaction action {};
    ::sigaction(SIGXFSZ, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_IGN) << "set up by SetUpApplication";

    const std::string tmp = testenv::makeTempDir("tmp"), images = testenv::makeTempDir("images");
    testenv::ScopedEnv tmpEnv("TMPDIR", tmp.c_str());
    testenv::ScopedEnv imageEnv("TUNEVALE_CD_IMAGES", images.c_str());
    testenv::ScopedEnv exitEnv("TUNEVALE_EXIT_WHEN_SHOWN", "1");
    const std::string staging = Tfm_burner::DataCdStagingFolder();
    // A killed writer's files: its marks went with it.
    ASSERT_EQ(testenv::inChild([&] {
                  for (const char* part : {"/Audio CD.bin.part", "/Data CD.iso.part"})
                      testenv::writeFile(images + part, std::string(1 << 20, 'x'));
                  PosixFile mark = OwnFolder(staging);
                  testenv::writeFile(staging + "/track.mp3", "x");
                  auto* cache = new OwnedTemporaryFolder(kAudioCdCachePrefix);
                  testenv::writeFile(cache->path() + "/01.wav", "pcm");
                  ::_exit(mark.isOpen() ? 0 : 1);
                  return 1;
              }),
              0);
    // An append a killed writer cut short: the image goes back as it was.
    const std::string iso = images + "/Data CD.iso";
    testenv::writeFile(iso, "old session");
    std::string error;
    ASSERT_TRUE(imagefiles::RecordAppend(iso, 11, "old", &error)) << error;
    testenv::writeFile(iso, "new session, half written");
    // A live writer's: this process's.
    OwnedTemporaryFolder liveCache(kAudioCdDrivePrefix);
    PosixFile livePart = CreateOwnedFile(images + "/Audio CD.cue.part", O_WRONLY);
    testenv::writeFile(images + "/song.wav.part", "a recording");
    ASSERT_TRUE(livePart.isOpen());

    QProcess& program = start({});
    EXPECT_TRUE(endsAtOnce(program));
    std::vector<std::string> left;
    for (const std::string& folder : {tmp, images})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().find("tunevale-") == 0 || folder == images)
                left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    const std::string live = liveCache.path().substr(tmp.size() + 1);
    EXPECT_EQ(left, (std::vector<std::string>{"Audio CD.cue.part", "Data CD.iso", "song.wav.part", live}));
    EXPECT_EQ(testenv::readFile(iso), "old session");
    EXPECT_FALSE(std::filesystem::exists(staging));
}

TEST_F(TwoInstances, TwoProgramsStartedPlainNeverRunSideBySide) {
    QProcess& first = start({});
    ASSERT_TRUE(spinUntil([] { return RunningInstance::find(kInstanceKey) != nullptr; }, 20000));
    EXPECT_TRUE(endsAtOnce(start({})));
    EXPECT_EQ(first.state(), QProcess::Running);
}

}  // namespace
