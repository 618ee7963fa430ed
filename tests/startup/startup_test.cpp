#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QMainWindow>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <vector>

#include "library/cover.h"
#include "app/forms.h"
#include "library/main.h"
#include "library/playlist.h"
#include "library/addplaylist.h"
#include "app/startup.h"
#include "platform/fakes.h"
#include "platform/instancechannel.h"
#include "tools/recorder.h"

namespace {

TEST(Startup, Decision) {
    EXPECT_EQ(DecideStartup(false, 0), StartupAction::StartNormal);
    EXPECT_EQ(DecideStartup(false, 2), StartupAction::StartNormal);
    EXPECT_EQ(DecideStartup(true, 0), StartupAction::NotifyAndExit);
    EXPECT_EQ(DecideStartup(true, 1), StartupAction::CloseThenStart);
    EXPECT_EQ(StartupTitle(StartupAction::StartNormal), "Tunevale v1.10");
    EXPECT_EQ(StartupTitle(StartupAction::CloseThenStart), "Tunevale v1.00");
    EXPECT_EQ(kSearchedTitle, "Tunevale v1.00");
}

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

TEST_F(Forms, AllWindowsExistOnceAndGoAway) {
    const auto before = windowCount();
    ASSERT_NE(fm_main, nullptr);
    EXPECT_EQ(fm_main->windowTitle(), "Tunevale");
    EXPECT_EQ(fm_recorder->windowTitle(), "Recorder");
    EXPECT_EQ(fm_addlist->windowTitle(), "Add File...");
    EXPECT_FALSE(fm_main->isVisible());
    DestroyForms();
    EXPECT_EQ(fm_main, nullptr);
    EXPECT_EQ(fm_addlist, nullptr);
    EXPECT_EQ(before - windowCount(), 29);
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
    ASSERT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(boxes.requests()[0].title, "Confirmation");
    EXPECT_EQ(boxes.requests()[0].text, "Are you sure to quit?");
    EXPECT_EQ(boxes.requests()[0].buttons, MessageButtons::YesNo);

    boxes.answerNext(MessageAnswer::Yes);
    QTimer::singleShot(0, [] { fm_main->close(); });
    QTimer fallback;
    fallback.callOnTimeout([] { QCoreApplication::exit(7); });
    fallback.start(5000);
    EXPECT_EQ(qApp->exec(), 0) << "the main window closed but the program went on";
    fm_playlist->hide();
}

TEST_F(Forms, TheSplashClosesItselfWithoutEndingTheProgram) {
    ShowSplash();
    ASSERT_NE(fm_cover, nullptr);
    EXPECT_TRUE(fm_cover->isVisible());
    EXPECT_FALSE(fm_cover->isEnabled());
    EXPECT_EQ(fm_cover->size(), QSize(399, 239));
    EXPECT_EQ(fm_cover->Timer1->interval(), 1000);
    // The splash is the only visible window when it closes.
    QTimer::singleShot(1600, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(qApp->exec(), 7);
    EXPECT_EQ(fm_cover, nullptr) << "the splash did not close or was not freed";
    EXPECT_NE(fm_main, nullptr);
}

// The program under test runs beside this binary; this process plays the
// instance that is already running.
class TwoInstances : public Forms {
protected:
    void TearDown() override {
        if (program_.state() != QProcess::NotRunning) {
            program_.kill();
            program_.waitForFinished(5000);
        }
        Forms::TearDown();
    }

    void start(const QStringList& arguments) {
        program_.setProgram(QCoreApplication::applicationDirPath() + "/tunevale");
        program_.setArguments(arguments);
        program_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program_.start();
        ASSERT_TRUE(program_.waitForStarted(5000));
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

    bool listenAs(const QString& title) {
        server_ = std::make_unique<InstanceServer>([this](std::uint8_t m) {
            received_.push_back(m);
            return HandleInstanceMessage(m);
        });
        return server_->listen(title, 0);
    }

    QProcess program_;
    std::unique_ptr<InstanceServer> server_;
    std::vector<int> received_;
    FakeMessageBoxes boxes_;
};

TEST_F(TwoInstances, FoundWithoutParametersOnlyAddressesItAndEnds) {
    ASSERT_TRUE(listenAs(kSearchedTitle));
    fm_main->show();
    start({});
    ASSERT_TRUE(spinUntil([&] { return program_.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program_.exitCode(), 0);
    EXPECT_EQ(received_, std::vector<int>{WM_QUERYOPEN});
    EXPECT_TRUE(boxes_.requests().empty());
    EXPECT_TRUE(fm_main->isVisible());
}

TEST_F(TwoInstances, FoundWithAFileClosesItAfterYesThenTakesItsTitle) {
    ASSERT_TRUE(listenAs(kSearchedTitle));
    fm_main->show();
    boxes_.answerNext(MessageAnswer::Yes);
    start({"/music/song.mp3"});
    ASSERT_TRUE(spinUntil([&] { return !received_.empty(); }, 20000));
    EXPECT_EQ(received_, std::vector<int>{WM_CLOSE});
    EXPECT_EQ(boxes_.texts(), QStringList{"Are you sure to quit?"});
    EXPECT_FALSE(fm_main->isVisible());
    EXPECT_FALSE(server_->isListening());
    // The new instance now answers to the searched title itself.
    EXPECT_TRUE(spinUntil([] { return RunningInstance::find(kSearchedTitle) != nullptr; }, 20000));
    EXPECT_EQ(program_.state(), QProcess::Running);
}

TEST_F(TwoInstances, FoundWithAFileAndCloseRefusedBothRun) {
    ASSERT_TRUE(listenAs(kSearchedTitle));
    fm_main->show();
    boxes_.answerNext(MessageAnswer::No);
    start({"/music/song.mp3"});
    ASSERT_TRUE(spinUntil([&] { return !received_.empty(); }, 20000));
    EXPECT_EQ(received_, std::vector<int>{WM_CLOSE});
    EXPECT_TRUE(fm_main->isVisible());
    EXPECT_TRUE(server_->isListening());
    // The second start gave up waiting for the title and went on starting.
    spinUntil([] { return false; }, 3000);
    EXPECT_EQ(program_.state(), QProcess::Running);
    EXPECT_EQ(received_.size(), 1u);
}

TEST_F(TwoInstances, AnInstanceStartedNormallyIsNeverFound) {
    ASSERT_TRUE(listenAs(kNormalTitle));
    fm_main->show();
    start({"/music/song.mp3"});
    spinUntil([] { return false; }, 1500);
    EXPECT_EQ(program_.state(), QProcess::Running);
    EXPECT_TRUE(received_.empty());
    EXPECT_TRUE(boxes_.requests().empty());
}

TEST_F(TwoInstances, NobodyRunningStartsNormallyUnderTheNormalTitle) {
    start({});
    EXPECT_TRUE(spinUntil([] { return RunningInstance::find(kNormalTitle) != nullptr; }, 20000));
    EXPECT_EQ(RunningInstance::find(kSearchedTitle), nullptr);
    EXPECT_EQ(program_.state(), QProcess::Running);
}

TEST_F(TwoInstances, TwoProgramsALaterStartWithoutFileEndsAtOnce) {
    // The first program plays an instance that closed another one.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TUNEVALE_APPLICATION_TITLE", kSearchedTitle);
    program_.setProcessEnvironment(env);
    start({});
    ASSERT_TRUE(spinUntil([] { return RunningInstance::find(kSearchedTitle) != nullptr; }, 20000));

    QProcess second;
    second.start(QCoreApplication::applicationDirPath() + "/tunevale", {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(program_.state(), QProcess::Running);
    EXPECT_NE(RunningInstance::find(kSearchedTitle), nullptr);
}

}  // namespace
