// Block transforms and the whole-file normalize they make possible.

#include <gtest/gtest.h>

#include <cmath>

#include "audiotestutil.h"
#include "components/audio/audiofile.h"
#include "components/audio/audiotransform.h"
#include "testenv.h"

using namespace audiotest;

namespace {

TEST(AudioTransform, NormalizeBringsThePeakToThePercentWithoutClipping) {
    AudioTransform t;
    AudioBlock b = sine(44100, 2, 0.5, {440}, 0.1);  // -20 dBFS
    t.normalize(b, true, 98.0f);
    EXPECT_NEAR(peak(b.samples), 0.98 * 32767, 40);

    // Full-scale negative samples must not wrap around.
    AudioBlock edge(std::vector<int16_t>{-32768, 32767, 0, -16384});
    t.normalize(edge, true, 100.0f);
    EXPECT_EQ(edge.samples[0], -32767);
    EXPECT_EQ(edge.samples[1], 32766);

    AudioBlock silent(std::vector<int16_t>(1000, 0));
    t.normalize(silent, true, 100.0f);
    EXPECT_EQ(peak(silent.samples), 0);
    AudioBlock empty;
    t.normalize(empty, true, 100.0f);
    EXPECT_TRUE(empty.empty());
}

// Normalizing each block to its own peak pumps: a quiet passage comes out
// as loud as a loud one. With the file's peak the step between them stays.
TEST(AudioTransform, AReferencePeakKeepsTheLevelStepsOfTheFile) {
    const std::string dir = testenv::makeTempDir("norm");
    AudioBlock quiet = sine(22050, 2, 2.0, {440}, 0.03);  // about -30 dB
    AudioBlock loud = sine(22050, 2, 2.0, {440}, 0.5);    // about -6 dB
    AudioBlock whole = quiet;
    whole.samples.insert(whole.samples.end(), loud.samples.begin(), loud.samples.end());
    const std::string path = dir + "/steps.wav";
    encode(path, whole, 22050, 2);

    PeakMeter meter;
    ASSERT_EQ(measureFilePeaks(path, meter), 0);
    EXPECT_NEAR(meter.peak, 0.5 * 32767, 2);

    AudioTransform t;
    t.setReferencePeak(meter.peak);
    AudioBlock q = quiet, l = loud;
    t.normalize(q, true, 98.0f);
    t.normalize(l, true, 98.0f);
    EXPECT_NEAR(peak(l.samples), 0.98 * 32767, 40);
    const double stepDb = 20 * std::log10(static_cast<double>(peak(l.samples)) / peak(q.samples));
    EXPECT_NEAR(stepDb, 20 * std::log10(0.5 / 0.03), 0.2);

    EXPECT_NE(measureFilePeaks(dir + "/missing.wav", meter), 0);
}

TEST(AudioTransform, PeakMeterKeepsChannelsApart) {
    PeakMeter m;
    m.add(AudioBlock(std::vector<int16_t>{100, -2000, -300, 50}), 2);
    EXPECT_EQ(m.channelPeaks[0], 300);
    EXPECT_EQ(m.channelPeaks[1], 2000);
    EXPECT_EQ(m.peak, 2000);
    PeakMeter mono;
    mono.add(AudioBlock(std::vector<int16_t>{100, -2000, -300}), 1);
    EXPECT_EQ(mono.channelPeaks[0], 2000);
    EXPECT_EQ(mono.channelPeaks[1], 2000);
}

TEST(AudioTransform, FadeRampsPerFrameFromStartToEnd) {
    AudioTransform t;
    t.channels = 2;
    AudioBlock in(std::vector<int16_t>(2 * 101, 10000));
    AudioBlock b = in;
    t.fade(b, 0.0f, 100.0f);
    EXPECT_EQ(b.samples[0], 0);
    EXPECT_EQ(b.samples[1], 0);          // both channels of a frame alike
    EXPECT_EQ(b.samples[100], 5000);     // frame 50 of 0..100
    EXPECT_EQ(b.samples[101], 5000);
    EXPECT_EQ(b.samples[200], 10000);
    b = in;
    t.fade(b, 100.0f, 0.0f);
    EXPECT_EQ(b.samples[0], 10000);
    EXPECT_EQ(b.samples[201], 0);  // a fade-out ends in silence
    AudioBlock empty;
    t.fade(empty, 0.0f, 100.0f);
}

TEST(AudioTransform, SplitAndJoinRespectTheChannelCount) {
    AudioTransform t;
    AudioBlock stereo(std::vector<int16_t>{1, -1, 2, -2, 3, -3});
    AudioBlock l = t.getLeftChannel(stereo), r = t.getRightChannel(stereo);
    EXPECT_EQ(l.samples, (std::vector<int16_t>{1, 2, 3}));
    EXPECT_EQ(r.samples, (std::vector<int16_t>{-1, -2, -3}));
    EXPECT_EQ(t.joinChannels(l, r).samples, stereo.samples);
    // Unequal halves: the shorter is padded with silence.
    EXPECT_EQ(t.joinChannels(l, AudioBlock(std::vector<int16_t>{9})).samples,
              (std::vector<int16_t>{1, 9, 2, 0, 3, 0}));

    // A mono block must come through split, normalize and join unchanged in
    // size, not doubled.
    t.channels = 1;
    AudioBlock mono(std::vector<int16_t>{5, 6, 7, 8});
    AudioBlock ml = t.getLeftChannel(mono), mr = t.getRightChannel(mono);
    EXPECT_EQ(ml.samples, mono.samples);
    EXPECT_TRUE(mr.empty());
    t.normalize(ml, true, 100.0f);
    t.normalize(mr, true, 100.0f);
    AudioBlock joined = t.joinChannels(ml, mr);
    EXPECT_EQ(joined.size(), 4);
    EXPECT_EQ(joined.samples[3], 32767);
}

}  // namespace
