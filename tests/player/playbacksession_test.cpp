// The playback session on the null output, driven without a window: where a
// start, a pause and a resume take the audio, the end of play, and a device
// that will not open.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>

#include "../playlistwindow/wavfiles.h"
#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/playbacksession.h"
#include "components/player/virtualclock.h"

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        AudioPlayer::setOutputFactory([this] {
            auto made = std::make_unique<NullPcmOutput>(&clock);
            output = made.get();
            return made;
        });
        session = std::make_unique<PlaybackSession>();
        file = testenv::makeTempDir("session") + "/song.wav";
        WriteWav(file, 8000);  // one second, each sample its frame number
        ASSERT_TRUE(session->open(file));
    }
    void TearDown() override {
        session.reset();
        AudioPlayer::setOutputFactory({});
    }

    VirtualClock clock;
    QPointer<NullPcmOutput> output;
    std::unique_ptr<PlaybackSession> session;
    std::string file;
};

TEST_F(Session, PausesAndResumesWhereTheAudioWasHeardAndEndsOnce) {
    QSignalSpy positions(session.get(), &PlaybackSession::onPosition);
    QSignalSpy ends(session.get(), &PlaybackSession::onEndPlay);
    ASSERT_TRUE(session->start(2000));
    EXPECT_EQ(session->blockSize(), 1600);
    clock.advance(300);
    ASSERT_FALSE(output->written().empty());
    EXPECT_EQ(output->written().front(), 2000);
    ASSERT_FALSE(positions.isEmpty());
    EXPECT_EQ(positions.last().at(0).toLongLong(), session->position());

    session->pause();
    const int64_t paused = session->startFrame();
    EXPECT_GT(paused, 2000 + 8000 / 10);
    clock.advance(300);
    EXPECT_EQ(session->position(), paused) << "a paused session does not move";
    ASSERT_TRUE(session->resume());
    clock.advance(100);
    EXPECT_EQ(output->written().front(), paused) << "nothing skipped, nothing heard twice";

    clock.advance(2000);
    EXPECT_EQ(ends.count(), 1);
    EXPECT_FALSE(session->isPlaying());
    EXPECT_EQ(session->msAt(4000), 500);
}

TEST_F(Session, ADeviceThatDoesNotOpenIsSignalledAndNothingIsRead) {
    output->setOpenError(AudioErrorDeviceOpen);
    QSignalSpy errors(session.get(), &PlaybackSession::onError);
    EXPECT_FALSE(session->start(0));
    QCoreApplication::processEvents();
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.first().at(0).toInt(), AudioErrorDeviceOpen);
    EXPECT_EQ(session->decoder().readBlock(8).samples.front(), 0) << "the decoder is still at the start";
}

}  // namespace
