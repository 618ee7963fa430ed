// The playback session on the null output, driven without a window.

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

// Pause and resume are the windows' tests; here what they do not see.
TEST_F(Session, StartsAtTheFrameAskedAndTellsTheFrameHeard) {
    QSignalSpy positions(session.get(), &PlaybackSession::onPosition);
    ASSERT_TRUE(session->start(2000));
    clock.advance(300);
    EXPECT_EQ(output->written().front(), 2000);
    ASSERT_FALSE(positions.isEmpty());
    EXPECT_EQ(positions.last().at(0).toLongLong(), session->position());
    EXPECT_EQ(session->msAt(session->position()), session->position() / 8);
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
