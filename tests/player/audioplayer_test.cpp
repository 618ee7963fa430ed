// The player's event contract, on the null output and a clock the tests move.

#include <gtest/gtest.h>

#include "playerharness.h"

#include <QCoreApplication>

namespace {

// One second in stereo and in mono: every sample reaches the device once and
// in order, one event per block, a timer every 100 ms with the heard frames
// and each channel's peak (a mono level shows on both sides), and one end of
// play when the last frame was heard, not when it was handed over.
TEST(AudioPlayer, PlaysAStreamToItsEndWithOneEventPerBlockAndOneEndOfPlay) {
    for (auto [rate, channels, left, right] : {std::tuple{44100, 2, 12000, 3000}, {22050, 1, 8000, 8000}}) {
        SCOPED_TRACE(channels);
        Harness h;
        h.play(tone(rate, channels, 1000, left, right), rate, channels);
        h.clock.advance(2000);
        EXPECT_EQ(h.output->written(), h.source);

        const int blocks = 5 * channels;  // of msToSamples(200) samples
        EXPECT_EQ(h.blocksFed, blocks);
        EXPECT_EQ(h.count(Ev::EndArray), blocks);
        ASSERT_EQ(h.count(Ev::EndPlay), 1);
        const Event* end = h.last(Ev::EndPlay);
        EXPECT_EQ(&h.events.back(), end) << "nothing may follow the end of play";
        EXPECT_GE(end->atMs, 1000);
        EXPECT_LE(end->atMs, 1000 + h.clock.stepMs());
        EXPECT_EQ(h.player->getPosition(), rate);
        EXPECT_FALSE(h.player->isPlaying());
        EXPECT_FALSE(h.output->isOpen());

        std::vector<Event> timers;
        for (const Event& e : h.events)
            if (e.kind == Ev::Timer) timers.push_back(e);
        ASSERT_GE(timers.size(), 9u);
        ASSERT_LE(timers.size(), 10u);
        for (size_t i = 0; i < timers.size(); ++i) {
            EXPECT_EQ(timers[i].atMs, 100 * static_cast<int64_t>(i + 1));
            EXPECT_EQ(timers[i].frames, rate / 10 * static_cast<int64_t>(i + 1));
            EXPECT_NEAR(timers[i].left, left, 50);
            EXPECT_NEAR(timers[i].right, right, 50);
        }
    }
}

TEST(AudioPlayer, KeepsHalfASecondQueuedAndAsksEarly) {
    Harness h;
    h.play(tone(44100, 2, 3000));
    QCoreApplication::sendPostedEvents();
    // Two blocks of 100 ms from the start, three more asked for at once.
    EXPECT_EQ(h.count(Ev::Request), 3);
    EXPECT_EQ(h.blocksFed, 5);
    for (int i = 0; i < 100; ++i) {
        h.clock.advance(10);
        // Between half a second and one block more is held, whatever the
        // moment; the device never waited.
        const int held = h.blocksFed - h.count(Ev::EndArray);
        EXPECT_GE(held, 5);
        EXPECT_LE(held, 6);
    }
    EXPECT_EQ(h.output->playedFrames(), 44100);
}

TEST(AudioPlayer, StopSilencesEveryEventOfTheRunEvenOnesAlreadyDue) {
    {
        Harness h;  // the deferred first pump is pending when stop() comes
        h.play(tone(44100, 2, 1000));
        h.player->stop();
        h.clock.advance(1000);
        EXPECT_TRUE(h.events.empty());
        EXPECT_EQ(h.player->getPosition(), 0);
    }
    {
        Harness h;  // stopped from a handler in the middle of a pump
        h.setSource(tone(44100, 2, 1000));
        size_t eventsAtStop = 0;
        h.onEndArray = [&] {
            h.player->stop();
            eventsAtStop = h.events.size();
        };
        h.start(44100, 2);
        h.clock.advance(1000);
        EXPECT_EQ(h.count(Ev::EndArray), 1);
        // The handler fed one block after stopping; it waits for the next play().
        EXPECT_EQ(h.eventsSince(eventsAtStop), 0);
        EXPECT_EQ(h.count(Ev::EndPlay), 0);
    }
}

TEST(AudioPlayer, PauseKeepsThePositionAndResumeRefillsItself) {
    Harness h;
    h.play(tone(44100, 2, 2000));
    h.clock.advance(250);
    const int64_t heard = h.player->getPosition();
    EXPECT_EQ(heard, 11025);
    h.player->stop();
    h.clock.advance(500);
    EXPECT_EQ(h.player->getPosition(), heard) << "position is kept while paused";

    // Resume as the windows do: the source goes back to the heard frame and
    // play() starts with an empty queue; the requests fill it.
    h.readPos = static_cast<size_t>(heard * 2);
    const size_t before = h.events.size();
    h.player->play();
    ASSERT_EQ(h.player->getError(), 0);
    EXPECT_EQ(h.player->getPosition(), 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(h.eventsSince(before), 5);
    EXPECT_EQ(h.events.back().kind, Ev::Request);
    h.clock.advance(3000);

    // Nothing lost, nothing twice across the pause.
    const auto& w = h.output->written();
    ASSERT_EQ(w.size(), h.source.size() - static_cast<size_t>(heard * 2));
    EXPECT_TRUE(std::equal(w.begin(), w.end(), h.source.begin() + heard * 2));
    EXPECT_EQ(h.count(Ev::EndPlay), 1);
    EXPECT_EQ(heard + h.player->getPosition(), 88200);
}

TEST(AudioPlayer, BlocksLoadedWhileStoppedPlayFirstAtTheNextPlay) {
    Harness h;
    h.setSource(tone(44100, 2, 300));
    h.player->setFormat(44100, 2);
    h.blockSamples = h.player->msToSamples(200);
    h.feed();
    h.feed();
    h.player->play();
    h.clock.advance(1000);
    EXPECT_EQ(h.output->written(), h.source);
    EXPECT_EQ(h.count(Ev::EndArray), 3);
    EXPECT_EQ(h.count(Ev::EndPlay), 1);
}

TEST(AudioPlayer, EndOfPlayHandlerCanStartTheNextTrack) {
    Harness h;
    h.setSource(tone(44100, 2, 200));
    int ends = 0;
    h.onEndPlay = [&] {
        if (++ends == 1) {
            h.play(tone(22050, 1, 300), 22050, 1);
        }
    };
    h.start(44100, 2);
    h.clock.advance(2000);
    EXPECT_EQ(ends, 2);
    EXPECT_EQ(h.output->openCount(), 2);
    EXPECT_EQ(h.output->sampleRate(), 22050);
    EXPECT_EQ(h.output->written(), h.source);
    EXPECT_EQ(h.player->getPosition(), 6615);
}

TEST(AudioPlayer, EmptySourceEndsAtOnceAndStarvingOnlyPauses) {
    {
        Harness h;
        h.play({});
        h.clock.advance(100);
        ASSERT_EQ(h.count(Ev::EndPlay), 1);
        EXPECT_EQ(h.count(Ev::Timer), 0);
    }
    {
        Harness h;  // a caller with nothing to give: no end, bounded asking
        h.feedOnRequest = h.feedOnEndArray = false;
        h.play(tone(44100, 2, 200));
        h.clock.advance(1000);
        EXPECT_EQ(h.count(Ev::EndPlay), 0);
        EXPECT_TRUE(h.player->isPlaying());
        EXPECT_LE(h.count(Ev::Request), 1 + 100);  // one per pump at most
        EXPECT_EQ(h.player->getPosition(), 8820);
        // More audio later simply goes on from there.
        h.player->loadArray(AudioBlock(tone(44100, 2, 100)));
        h.player->loadArray(AudioBlock());
        h.clock.advance(200);
        EXPECT_EQ(h.count(Ev::EndPlay), 1);
        EXPECT_EQ(h.player->getPosition(), 8820 + 4410);
    }
}

TEST(AudioPlayer, StreamEndingInsideAFrameIsCompletedWithSilence) {
    Harness h;
    std::vector<int16_t> samples = tone(44100, 2, 100);
    samples.push_back(777);  // one stray left sample
    h.play(samples);
    h.clock.advance(500);
    ASSERT_EQ(h.count(Ev::EndPlay), 1);
    const auto& w = h.output->written();
    ASSERT_EQ(w.size(), samples.size() + 1);
    EXPECT_EQ(w[w.size() - 2], 777);
    EXPECT_EQ(w.back(), 0);
}

TEST(AudioPlayer, FormatAndUnitsAndPlayWithoutADevice) {
    Harness h;
    EXPECT_EQ(h.player->sampleRate(), 44100);  // the CD preview never sets a format
    EXPECT_EQ(h.player->channels(), 2);
    EXPECT_EQ(h.player->msToSamples(200), 8820);  // samples, not frames
    EXPECT_EQ(h.player->samplesToMs(44100), 1000);
    h.player->setFormat(48000, 16, 1);
    EXPECT_EQ(h.player->getError(), 0);

    for (auto [rate, bits, channels] : {std::tuple{44100, 8, 2}, {0, 16, 2}, {44100, 16, 0}}) {
        h.player->setFormat(rate, bits, channels);
        EXPECT_EQ(h.player->getError(), AudioErrorUnsupported);
        h.player->play();
        EXPECT_EQ(h.player->getError(), AudioErrorUnsupported);
        EXPECT_FALSE(h.player->isPlaying());
    }
    EXPECT_EQ(h.player->msToSamples(1000), 48000) << "a refused format keeps the last good one";

    // Setting the format while playing stops the run without a word.
    h.play(tone(44100, 2, 1000));
    h.clock.advance(300);
    const size_t before = h.events.size();
    h.player->setFormat(22050, 2);
    h.clock.advance(1000);
    EXPECT_EQ(h.eventsSince(before), 0);
    EXPECT_FALSE(h.player->isPlaying());

    // No device: play fails and raises nothing, until there is one again.
    h.output->setOpenError(AudioErrorNoDevice);
    h.player->play();
    EXPECT_EQ(h.player->getError(), AudioErrorNoDevice);
    EXPECT_FALSE(h.player->isPlaying());
    h.clock.advance(1000);
    EXPECT_EQ(h.eventsSince(before), 0);
    h.output->setOpenError(0);
    h.player->play();
    EXPECT_EQ(h.player->getError(), 0);
}

TEST(AudioPlayer, VolumeIsClampedAndMuteKeepsIt) {
    Harness h;
    EXPECT_EQ(h.player->volume(), 65535);
    EXPECT_DOUBLE_EQ(h.output->gain(), 1.0);
    h.player->setVolume(66535);  // what the recorder puts for its slider at 0
    EXPECT_EQ(h.player->volume(), 65535);
    h.player->setVolume(-10);
    EXPECT_EQ(h.player->volume(), 0);
    EXPECT_DOUBLE_EQ(h.output->gain(), 0.0);
    h.player->setVolume(32768);
    const double half = h.output->gain();
    EXPECT_GT(half, 0.0);
    EXPECT_LT(half, 1.0);
    h.player->setMute(true);
    EXPECT_DOUBLE_EQ(h.output->gain(), 0.0);
    EXPECT_EQ(h.player->volume(), 32768);
    h.player->setMute(false);
    EXPECT_DOUBLE_EQ(h.output->gain(), half);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(h.events.empty());
}

}  // namespace
