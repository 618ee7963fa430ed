// The main window plays library tracks through the sound server that `make
// test` starts; without it these tests fail, they do not skip.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "../playlistwindow/wavfiles.h"
#include "components/player/audioplayer.h"
#include "components/skin/skinengine.h"
#include "components/skin/skinview.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/records/trackfile.h"
#include "library/tracklistmodel.h"
#include "platform/fakes.h"
#include "platform/paths.h"
#include "testenv.h"

namespace {

constexpr int kRate = 44100;

class MainWindowDevice : public ::testing::Test {
protected:
    // The window shows a library of stereo WAVs of these lengths in ms.
    void open(const std::vector<int>& lengthsMs) {
        const std::string dir = testenv::makeTempDir("device");
        CreateFolderPath(DataFolder());
        TrackFileWriter library(DataFolder() + "music.dat");
        for (std::size_t i = 0; i < lengthsMs.size(); ++i) {
            files.push_back(dir + "/" + std::to_string(i) + ".wav");
            WriteWav(files.back(), int64_t{kRate} * lengthsMs[i] / 1000, kRate, 2);
            TrackRecord r;
            r.Title = std::to_string(i);
            r.Path = files.back();
            library.append(r);
        }
        library.close();
        w = std::make_unique<Tfm_main>();
        fm_main = w.get();
        w->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w->Skin->appliedSection(w.get()).isEmpty(); }, 5000));
        w->TreeView1->setCurrentItem(w->TreeView1->allTitleNode());
        w->TreeView1Click();
        ASSERT_EQ(w->ListModel->rowCount(), static_cast<int>(files.size()));
    }
    void TearDown() override {
        if (w) w->StopPlayback();
        w.reset();
        fm_main = nullptr;
        EXPECT_TRUE(boxes.texts().isEmpty());
    }

    void play(int row) {
        w->SelectRows({row});
        w->lv_playlistDblClick();
        ASSERT_EQ(w->AudioPlayer21->getError(), 0) << "the sound server is not running";
        ASSERT_TRUE(w->IsPlaying);
    }
    bool timeReads(const char* text, int withinMs) {
        return QTest::qWaitFor([&] { return w->SkinTimeText->getText() == QLatin1String(text); }, withinMs);
    }

    FakeMessageBoxes boxes;
    std::vector<std::string> files;
    std::unique_ptr<Tfm_main> w;
};

TEST_F(MainWindowDevice, PlaysTwoLibraryTracksInARow) {
    open({600, 400});
    struct Event {
        qint64 at;
        std::string what;
    };
    std::vector<Event> events;
    QElapsedTimer clock;
    QObject::connect(w->AudioPlayer21, &AudioPlayer::onTimer, [&](qint64, int, int) {
        if (events.empty() || events.back().what != w->CurrentFile) events.push_back({clock.elapsed(), w->CurrentFile});
    });
    QSignalSpy ends(w->AudioPlayer21, &AudioPlayer::onEndPlay);
    QObject::connect(w->AudioPlayer21, &AudioPlayer::onEndPlay, [&] { events.push_back({clock.elapsed(), "end"}); });

    clock.start();
    play(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends.count() >= 2; }, 10000));
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[0].what, files[0]);
    EXPECT_EQ(events[1].what, "end");
    EXPECT_EQ(events[2].what, files[1]) << "the second track starts after the first has ended";
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
    for (auto* view : w->findChildren<skin::ElementView*>())
        if (view->object() == w->SkinMediabar) bar = view;
    ASSERT_NE(bar, nullptr);
    const QPoint middle(bar->width() / 2, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, middle);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, middle);
    ASSERT_TRUE(w->IsPlaying);
    ASSERT_EQ(w->SeekBase() / kRate, 1) << "the tap seeks to the middle of the track";
    QElapsedTimer sinceTap;
    sinceTap.start();
    ASSERT_TRUE(timeReads("00:00:02", 3000)) << "the tap stopped the play";
    EXPECT_LE(sinceTap.elapsed(), 1300) << "the play after the tap went silent";
}

}  // namespace
