// The main window plays two library tracks in a row through the sound server
// that `make test` starts; without it this test fails, it does not skip.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "../playlistwindow/wavfiles.h"
#include "components/player/audioplayer.h"
#include "components/skin/skinengine.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/records/trackfile.h"
#include "library/tracklistmodel.h"
#include "platform/fakes.h"
#include "platform/paths.h"
#include "testenv.h"

namespace {

TEST(MainWindowDevice, PlaysTwoLibraryTracksInARow) {
    const std::string dir = testenv::makeTempDir("device");
    std::vector<std::string> files = {dir + "/first.wav", dir + "/second.wav"};
    WriteWav(files[0], 44100 * 6 / 10, 44100, 2);
    WriteWav(files[1], 44100 * 4 / 10, 44100, 2);
    CreateFolderPath(DataFolder());
    {
        TrackFileWriter library(DataFolder() + "music.dat");
        for (const std::string& file : files) {
            TrackRecord r;
            r.Title = file.substr(file.rfind('/') + 1);
            r.Path = file;
            library.append(r);
        }
        library.close();
    }

    FakeMessageBoxes boxes;
    Tfm_main w;
    fm_main = &w;
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Skin->appliedSection(&w).isEmpty(); }, 5000));
    w.TreeView1->setCurrentItem(w.TreeView1->allTitleNode());
    w.TreeView1Click();
    ASSERT_EQ(w.ListModel->rowCount(), 2);

    struct Event {
        qint64 at;
        std::string what;
    };
    std::vector<Event> events;
    QElapsedTimer clock;
    QObject::connect(w.AudioPlayer21, &AudioPlayer::onTimer, [&](qint64, int, int) {
        if (events.empty() || events.back().what != w.CurrentFile) events.push_back({clock.elapsed(), w.CurrentFile});
    });
    QSignalSpy ends(w.AudioPlayer21, &AudioPlayer::onEndPlay);
    QObject::connect(w.AudioPlayer21, &AudioPlayer::onEndPlay, [&] { events.push_back({clock.elapsed(), "end"}); });

    clock.start();
    w.SelectRows({0});
    w.lv_playlistDblClick();
    ASSERT_EQ(w.AudioPlayer21->getError(), 0) << "the sound server is not running";
    ASSERT_TRUE(w.IsPlaying);

    ASSERT_TRUE(QTest::qWaitFor([&] { return ends.count() >= 2; }, 10000));
    w.StopPlayback();
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[0].what, files[0]);
    EXPECT_EQ(events[1].what, "end");
    EXPECT_EQ(events[2].what, files[1]) << "the second track starts after the first has ended";
    EXPECT_GE(events[2].at, events[1].at);
    EXPECT_EQ(events[3].what, "end");
    EXPECT_GE(events[3].at, 900) << "both tracks were heard, one second of audio";
    EXPECT_TRUE(boxes.texts().isEmpty());
    fm_main = nullptr;
}

}  // namespace
