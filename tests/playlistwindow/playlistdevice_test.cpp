// Two playlist entries played one after the other through the sound server
// that `make test` starts; without it this test fails, it does not skip.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "components/player/audioplayer.h"
#include "library/playlist.h"
#include "platform/fakes.h"
#include "testenv.h"
#include "wavfiles.h"

namespace {

TEST(PlaylistWindowDevice, PlaysTwoEntriesInARow) {
    const std::string dir = testenv::makeTempDir("device");
    const std::string first = dir + "/first.wav";
    const std::string second = dir + "/second.wav";
    WriteWav(first, 44100 * 6 / 10, 44100, 2);
    WriteWav(second, 44100 * 4 / 10, 44100, 2);

    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    Tfm_playlist w;
    w.show();
    dialogs.chooseNext({QString::fromStdString(first), QString::fromStdString(second)});
    w.AddFilesToPlaylist();
    ASSERT_EQ(w.rowCount(), 2);

    QSignalSpy ends(w.audioPlayer(), &AudioPlayer::onEndPlay);
    std::vector<std::string> started;
    QObject::connect(w.audioPlayer(), &AudioPlayer::onTimer, [&](qint64, int, int) {
        if (started.empty() || started.back() != w.PlayingPath) started.push_back(w.PlayingPath);
    });
    QElapsedTimer clock;
    clock.start();
    w.PlayPlaylistSelection();
    ASSERT_EQ(w.audioPlayer()->getError(), 0) << "the sound server is not running";
    EXPECT_TRUE(w.PlaylistPlaying);

    ASSERT_TRUE(QTest::qWaitFor([&] { return ends.count() == 2; }, 10000));
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(started, (std::vector<std::string>{first, second}));
    EXPECT_EQ(w.PlaylistIndex, 1);
    EXPECT_FALSE(w.PlaylistPlaying) << "loop off: playing ends after the last entry";
    EXPECT_GE(elapsed, 900) << "both entries were heard, one second of audio";
    EXPECT_TRUE(boxes.texts().isEmpty());
    w.close();
}

}  // namespace
