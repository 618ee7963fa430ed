// The recorder component on a null input driven by a virtual clock: lines
// and their choice, blocks and events, stop and pause, failures.

#include <gtest/gtest.h>

#include "components/player/virtualclock.h"
#include "components/recorder/linerecorder.h"
#include "components/recorder/nullpcminput.h"

#include <cmath>
#include <memory>

namespace {

struct Rig {
    VirtualClock clock{10};
    NullPcmInput* input = nullptr;
    std::unique_ptr<LineRecorder> recorder;
    int blocksSignalled = 0, timers = 0;
    std::vector<AudioBlock> taken;

    Rig() {
        auto in = std::make_unique<NullPcmInput>(&clock);
        input = in.get();
        recorder = std::make_unique<LineRecorder>(std::move(in));
        QObject::connect(recorder.get(), &LineRecorder::onEndArrayRecord, [this](int) {
            ++blocksSignalled;
            taken.push_back(recorder->getRecordedArray());
        });
        QObject::connect(recorder.get(), &LineRecorder::onTimer, [this] { ++timers; });
    }
    int64_t takenFrames() {
        int64_t n = 0;
        for (const AudioBlock& b : taken) n += b.frames(recorder->channels());
        return n;
    }
    void drain() {
        for (AudioBlock b = recorder->getRecordedArray(); !b.empty(); b = recorder->getRecordedArray())
            taken.push_back(std::move(b));
    }
};

// Names, volumes and the choice of a plain source are the recorder
// window's rows; here, a source's ports as lines.
TEST(LineRecorder, TheActivePortOfTheDefaultSourceIsChosenAndAChoiceSetsIt) {
    Rig rig;
    rig.input->setSources({{"mon", "Monitor of Speakers", true, {}, {}, 2, 65536},
                           {"card", "Card", false, {{"mic", "Mic", true}, {"line", "Line In", true}}, "mic", 2, 30000}},
                          "card");
    ASSERT_EQ(rig.recorder->deviceCount(), 1);
    rig.recorder->setDevice(1);
    ASSERT_EQ(rig.recorder->lineCount(), 3);
    std::vector<bool> source;
    for (int i = 1; i <= 3; ++i) {
        rig.recorder->setLine(i);
        source.push_back(rig.recorder->recordSource());
    }
    EXPECT_EQ(source, (std::vector<bool>{true, false, false}));
    rig.recorder->setLine(2);
    rig.recorder->setRecordSource(true);
    EXPECT_EQ(rig.input->sources()[1].activePort, "line");
    rig.recorder->setLine(1);
    EXPECT_FALSE(rig.recorder->recordSource());
    rig.recorder->start();
    EXPECT_EQ(rig.input->openedSource(), "card");

    rig.input->setSources({}, "");
    EXPECT_EQ(rig.recorder->deviceCount(), 0);
}

TEST(LineRecorder, EveryFrameOnceInBlocksWithTheRestAfterStop) {
    Rig rig;
    rig.recorder->setFormat(22050, 1);
    rig.recorder->setBlockSize(rig.recorder->msToSamples(600));
    rig.recorder->start();
    ASSERT_EQ(rig.recorder->getError(), 0);
    rig.clock.advance(2000);
    EXPECT_EQ(rig.blocksSignalled, 3);
    EXPECT_GE(rig.timers, 19);
    EXPECT_EQ(rig.recorder->getPosition(), 44100);
    rig.recorder->stop();
    const int signalled = rig.blocksSignalled;
    rig.clock.advance(500);
    EXPECT_EQ(rig.blocksSignalled, signalled);  // nothing after stop
    rig.drain();
    ASSERT_EQ(rig.taken.size(), 4u);
    EXPECT_EQ(rig.taken.back().size(), 22050 * 2 / 10);
    EXPECT_EQ(rig.takenFrames(), 44100);
    // The samples are the generator's, in order.
    std::vector<int16_t> all;
    for (const AudioBlock& b : rig.taken) all.insert(all.end(), b.samples.begin(), b.samples.end());
    for (size_t i = 0; i < all.size(); i += 997)
        EXPECT_EQ(all[i], static_cast<int16_t>(std::lround(8192 * std::sin(2 * M_PI * 440.0 * i / 22050))));
    EXPECT_TRUE(rig.recorder->getRecordedArray().empty());
}

TEST(LineRecorder, PauseResumeGoesOnWithoutLosingTheQueue) {
    Rig rig;
    QObject::disconnect(rig.recorder.get(), &LineRecorder::onEndArrayRecord, nullptr, nullptr);
    rig.recorder->setBlockSize(rig.recorder->msToSamples(600));
    rig.recorder->start();
    rig.clock.advance(700);
    int64_t base = rig.recorder->getPosition();
    rig.recorder->stop();
    rig.clock.advance(1000);  // paused: nothing is captured
    rig.recorder->start();
    EXPECT_EQ(rig.recorder->getPosition(), 0);
    rig.clock.advance(300);
    base += rig.recorder->getPosition();
    rig.recorder->stop();
    EXPECT_EQ(base, 44100);
    rig.drain();
    EXPECT_EQ(rig.takenFrames(), 44100);
}

TEST(LineRecorder, FailuresAreReportedThroughTheError) {
    Rig rig;
    rig.input->setOpenError(AudioErrorNoDevice);
    rig.recorder->start();
    EXPECT_EQ(rig.recorder->getError(), AudioErrorNoDevice);
    EXPECT_FALSE(rig.recorder->isRecording());
    rig.clock.advance(1000);
    EXPECT_EQ(rig.blocksSignalled + rig.timers, 0);

    rig.input->setOpenError(0);
    rig.recorder->start();
    rig.clock.advance(250);
    rig.input->breakOff();
    rig.clock.advance(100);
    EXPECT_EQ(rig.blocksSignalled, 1);  // one event that carries the error
    EXPECT_NE(rig.recorder->getError(), 0);
    EXPECT_FALSE(rig.recorder->isRecording());
    rig.drain();
    EXPECT_EQ(rig.takenFrames(), 44100 / 4);  // what came before the break is kept
}

TEST(LineRecorder, SilenceIsLeftOutAndTheTimerStillTicks) {
    Rig rig;
    rig.input->setGenerator([](int64_t frame, int, int rate) -> int16_t {
        return frame < rate ? 0 : static_cast<int16_t>(std::lround(3000 * std::sin(2 * M_PI * 500.0 * frame / rate)));
    });
    rig.recorder->silenceDetection = true;
    rig.recorder->autoGain = true;
    rig.recorder->start();
    rig.clock.advance(2000);
    rig.recorder->stop();
    EXPECT_GE(rig.timers, 19);
    EXPECT_NEAR(rig.recorder->getPosition(), 44100 * 1.3, 441);
}

}  // namespace
