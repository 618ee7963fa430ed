// The main window plays library tracks through the sound server that `make
// test` starts; without it these tests fail, they do not skip.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "components/skin/skinview.h"
#include "mainwindowfixture.h"

namespace {

constexpr int kRate = 44100;

class MainWindowDevice : public MainWindow {
protected:
    // The window made again once the null output is gone, so that it plays
    // into the server.
    void SetUp() override {
        MainWindow::SetUp();
        AudioPlayer::setOutputFactory({});
        remake();
    }
    void TearDown() override {
        window_->StopPlayback();
        EXPECT_TRUE(boxes_.texts().isEmpty());
        MainWindow::TearDown();
    }

    // The window lists stereo WAVs of these lengths in ms, named 0.wav, 1.wav...
    void open(const std::vector<int>& lengthsMs) {
        std::vector<TrackRecord> records;
        for (int ms : lengthsMs) {
            records.push_back(mwtest::rec(std::to_string(records.size()), "", ""));
            records.back().Path = dir_ + "/" + records.back().Title + ".wav";
            WriteWav(records.back().Path, int64_t{kRate} * ms / 1000, kRate, 2);
        }
        showAllTitle(records);
    }

    void play(int row) {
        playRow(row);
        ASSERT_EQ(window_->AudioPlayer21->getError(), 0) << "the sound server is not running";
        ASSERT_TRUE(window_->IsPlaying);
    }
    bool timeReads(const char* text, int withinMs) {
        const QLatin1String want(text);
        return QTest::qWaitFor([&] { return window_->SkinTimeText->getText() == want; }, withinMs);
    }
};

TEST_F(MainWindowDevice, PlaysTwoLibraryTracksInARow) {
    open({600, 400});
    struct Event {
        qint64 at;
        std::string what;
    };
    std::vector<Event> events;
    QElapsedTimer clock;
    AudioPlayer* player = window_->AudioPlayer21;
    QObject::connect(player, &AudioPlayer::onTimer, [&](qint64, int, int) {
        const std::string& now = window_->CurrentFile;
        if (events.empty() || events.back().what != now) events.push_back({clock.elapsed(), now});
    });
    QSignalSpy ends(player, &AudioPlayer::onEndPlay);
    QObject::connect(player, &AudioPlayer::onEndPlay, [&] { events.push_back({clock.elapsed(), "end"}); });

    clock.start();
    play(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends.count() >= 2; }, 10000));
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[0].what, dir_ + "/0.wav");
    EXPECT_EQ(events[1].what, "end");
    EXPECT_EQ(events[2].what, dir_ + "/1.wav") << "the second track starts after the first has ended";
    EXPECT_GE(events[2].at, events[1].at);
    EXPECT_EQ(events[3].what, "end");
    EXPECT_GE(events[3].at, 900) << "both tracks were heard, one second of audio";
}

// The user plays a moment after the program has started; a server left idle
// renders seconds ahead, and the program must not wait behind that.
TEST_F(MainWindowDevice, TheTimeFollowsTheAudioFromPlayAndAfterATapOnTheBar) {
    open({3000});
    QTest::qWait(2200);
    QElapsedTimer sincePlay;
    sincePlay.start();
    play(0);
    ASSERT_TRUE(timeReads("00:00:01", 3000));
    EXPECT_LE(sincePlay.elapsed(), 1300) << "the time display lags the audio";

    // A touchpad tap: press and release with nothing between.
    skin::ElementView* bar = nullptr;
    for (auto* view : window_->findChildren<skin::ElementView*>())
        if (view->object() == window_->SkinMediabar) bar = view;
    ASSERT_NE(bar, nullptr);
    const QPoint middle(bar->width() / 2, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, middle);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, middle);
    ASSERT_TRUE(window_->IsPlaying);
    ASSERT_EQ(window_->SeekBase() / kRate, 1) << "the tap seeks to the middle of the track";
    QElapsedTimer sinceTap;
    sinceTap.start();
    ASSERT_TRUE(timeReads("00:00:02", 3000)) << "the tap stopped the play";
    EXPECT_LE(sinceTap.elapsed(), 1300) << "the play after the tap went silent";
}

}  // namespace
