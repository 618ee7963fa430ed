// The recorder's processing of captured audio: the input lines offered, the
// filters, the silence gate and the automatic gain, on generated signals.

#include <gtest/gtest.h>

#include "components/recorder/autogain.h"
#include "components/recorder/inputfilters.h"
#include "components/recorder/inputlines.h"
#include "components/recorder/silencegate.h"

#include "../audio/audiotestutil.h"

#include <cmath>
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

}  // namespace
