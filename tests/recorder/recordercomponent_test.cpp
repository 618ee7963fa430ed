// The recorder component on generated signals: the input lines offered,
// the filters, the silence gate and the automatic gain, then the line
// recorder on a null input driven by a virtual clock (lines and their
// choice, blocks and events, stop and pause, failures).

#include <gtest/gtest.h>

#include "components/player/virtualclock.h"
#include "components/recorder/autogain.h"
#include "components/recorder/inputfilters.h"
#include "components/recorder/inputlines.h"
#include "components/recorder/linerecorder.h"
#include "components/recorder/nullpcminput.h"
#include "components/recorder/silencegate.h"

#include "../audio/audiotestutil.h"

#include <cmath>
#include <memory>
#include <tuple>

namespace {

constexpr int kRate = 44100;

InputSource Source(std::string name, bool monitor, std::vector<InputPort> ports = {}) {
    return {name, "Desc " + name, monitor, std::move(ports), {}, 2, 65536};
}

TEST(InputLines, InputsFirstOneLinePerPortAtMostEight) {
    const std::vector<InputSource> sources = {
        Source("out.monitor", true),
        Source("card", false, {{"mic", "Microphone", true}, {"line", "Line In", false}}),
        Source("usb", false, {{"only", "Only", true}}),
    };
    const std::vector<InputLine> lines = InputLinesOf(sources);
    ASSERT_EQ(lines.size(), 4u);
    const auto line = [&](size_t i) { return std::tuple(lines[i].source, lines[i].name, lines[i].port, lines[i].usable); };
    EXPECT_EQ(line(0), std::tuple("card", "Desc card: Microphone", "mic", true));
    EXPECT_EQ(line(1), std::tuple("card", "Desc card: Line In", "line", false));  // nothing plugged in
    EXPECT_EQ(line(2), std::tuple("usb", "Desc usb", "", true));
    EXPECT_EQ(std::get<0>(line(3)), "out.monitor");

    std::vector<InputSource> many(10, Source("s", false));
    EXPECT_EQ(InputLinesOf(many).size(), kMaxLines);
    EXPECT_TRUE(InputLinesOf({}).empty());
}

TEST(InputLines, VolumesMeetTheServersScale) {
    EXPECT_EQ(ServerVolume(65535), 65536u);
    EXPECT_EQ(ServerVolume(70000), 65536u);
    EXPECT_EQ(ServerVolume(-5), 0u);
    EXPECT_EQ(LineVolume(65536), 65535);
    EXPECT_EQ(LineVolume(98304), 65535);  // boosted above full
    for (int v : {0, 1, 30000, 65534, 65535}) EXPECT_EQ(LineVolume(ServerVolume(v)), v);
}

struct FilterRow {
    FilterSwitch notch, high, low;
    double frequency;
    bool passes;
};

class Filters : public ::testing::TestWithParam<FilterRow> {};

TEST_P(Filters, PassOrStopATone) {
    const FilterRow& row = GetParam();
    AudioBlock tone = audiotest::sine(kRate, 2, 1.0, {row.frequency}, 0.5);
    InputFilters filters;
    filters.configure(kRate, 2, row.notch, row.high, row.low);
    filters.process(tone.samples.data(), tone.frames(2));
    const double level = audiotest::rms(tone.samples, 2, 1, kRate / 2, kRate) / (0.5 / std::sqrt(2.0));
    if (row.passes) EXPECT_GT(level, 0.85) << row.frequency;
    else EXPECT_LT(level, 0.25) << row.frequency;
}

const FilterSwitch kOff{};
INSTANTIATE_TEST_SUITE_P(Rows, Filters,
                         ::testing::Values(FilterRow{{true, 50}, kOff, kOff, 50, false},
                                           FilterRow{{true, 50}, kOff, kOff, 440, true},
                                           FilterRow{kOff, {true, 800}, kOff, 150, false},
                                           FilterRow{kOff, {true, 800}, kOff, 4000, true},
                                           FilterRow{kOff, kOff, {true, 4000}, 15000, false},
                                           FilterRow{kOff, kOff, {true, 4000}, 440, true},
                                           // off, or beyond what the rate holds: no filter
                                           FilterRow{{false, 440}, kOff, kOff, 440, true},
                                           FilterRow{kOff, {true, 44100}, kOff, 150, true},
                                           FilterRow{kOff, kOff, {true, 30000}, 15000, true}));

// Runs a signal through the gate in pump-sized pieces.
int64_t GatedFrames(const AudioBlock& signal, int attackMs = 300, int level = -1, int releaseMs = 100) {
    SilenceGate gate;
    gate.configure(kRate, 2, attackMs, level, releaseMs, level);
    std::vector<int16_t> kept;
    const int64_t piece = 882 * 2 + 14;  // not a whole number of windows
    for (int64_t at = 0; at < signal.size(); at += piece)
        gate.process(signal.samples.data() + at, std::min(piece, signal.size() - at) / 2, kept);
    gate.flush(kept);
    return static_cast<int64_t>(kept.size()) / 2;
}

AudioBlock Join(std::initializer_list<AudioBlock> parts) {
    AudioBlock all;
    for (const AudioBlock& p : parts) all.samples.insert(all.samples.end(), p.samples.begin(), p.samples.end());
    return all;
}

AudioBlock Silence(double seconds) { return AudioBlock(std::vector<int16_t>(static_cast<size_t>(kRate * seconds) * 2)); }

TEST(SilenceGate, DefaultsKeepSpeechLevelsAndShortenLongSilences) {
    EXPECT_NEAR(GateThresholdDbfs(-1), -40, 0.5);
    EXPECT_DOUBLE_EQ(GateThresholdDbfs(-92), -96);
    EXPECT_DOUBLE_EQ(GateThresholdDbfs(-200), -96);

    // Words at -30 dBFS with a 150 ms gap, then two seconds of silence and
    // a last word: the gap stays, the long silence shrinks to 400 ms.
    const AudioBlock word = audiotest::sine(kRate, 2, 0.5, {300}, 0.0316);
    const int64_t kept = GatedFrames(Join({Silence(1), word, Silence(0.15), word, Silence(2), word}));
    EXPECT_NEAR(kept, kRate * (0.3 + 0.5 + 0.15 + 0.5 + 0.4 + 0.5), kRate * 0.02);

    // Hiss at -50 dBFS never opens it; at the lowest level only digital
    // silence is left out.
    const AudioBlock hiss = audiotest::sine(kRate, 2, 1.0, {3000}, 0.00316);
    EXPECT_EQ(GatedFrames(hiss), 0);
    EXPECT_NEAR(GatedFrames(Join({Silence(1), hiss}), 300, -92), kRate * 1.3, kRate * 0.02);
}

TEST(AutoGain, BringsPeaksIntoTheRangeAndLeavesSilenceAlone) {
    struct Row {
        double amplitude, minPeak, maxPeak;
    } rows[] = {
        {0.9, 0.05, 0.32},    // loud: down to -10 dBFS or below
        {0.005, 0.01, 0.32},  // -46 dBFS: raised above -40
        {0.0005, 0.0, 0.0006} // -66 dBFS: near silence is not raised
    };
    for (const Row& row : rows) {
        AudioBlock tone = audiotest::sine(kRate, 2, 3.0, {440}, row.amplitude);
        AutoGain gain;
        gain.configure(kRate, 2, -40, -10, 4);
        gain.process(tone.samples.data(), tone.frames(2));
        std::vector<int16_t> last(tone.samples.end() - kRate, tone.samples.end());
        const double peak = audiotest::peak(last) / 32768.0;
        EXPECT_GE(peak, row.minPeak) << row.amplitude;
        EXPECT_LE(peak, row.maxPeak) << row.amplitude;
    }
}

// ------------------------------------------------------------ line recorder

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
