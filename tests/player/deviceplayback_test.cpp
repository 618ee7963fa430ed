// Plays a tone through the real output into the sound server's null sink and
// records it back from the source remapped from the sink's monitor. `make
// test` starts that server; without it this test fails, it does not skip.

#include <gtest/gtest.h>

#include "components/player/audioplayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kAmplitude = 12000;
constexpr double kToneHz = 440.0;

double goertzelPower(const std::vector<double>& x, double hz) {
    const double w = 2 * M_PI * hz / kRate;
    const double c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (double v : x) {
        const double s = v + c * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - c * s1 * s2;
}

TEST(PlayerDevice, ToneReachesTheSinkAndThePlayEndsOnceAfterIt) {
    const QAudioDevice sinkDevice = QMediaDevices::defaultAudioOutput();
    const QAudioDevice sourceDevice = QMediaDevices::defaultAudioInput();
    const char* server = std::getenv("PULSE_SERVER");
    ASSERT_FALSE(sinkDevice.isNull()) << "no sound server reachable (PULSE_SERVER="
                                      << (server ? server : "unset")
                                      << "); run the tests through scripts/with-sound-server";
    ASSERT_FALSE(sourceDevice.isNull()) << "the sound server has no input to record the tone from";

    QElapsedTimer clock;
    clock.start();

    // Record first, so the whole tone is caught.
    QAudioFormat format;
    format.setSampleRate(kRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    QAudioSource recorder(sourceDevice, format);
    QIODevice* capture = recorder.start();
    ASSERT_NE(capture, nullptr);
    std::vector<int16_t> left;  // left channel as recorded
    QObject::connect(capture, &QIODevice::readyRead, [&] {
        const QByteArray bytes = capture->readAll();
        const auto* s = reinterpret_cast<const int16_t*>(bytes.constData());
        for (qsizetype i = 0; i + 1 < bytes.size() / 2; i += 2) left.push_back(s[i]);
    });
    QTest::qWait(300);

    AudioPlayer player;  // on the sound server's default output, as the windows play

    // Fed as the windows feed: blocks of msToSamples(200) samples, two at
    // the start, one per request and per end of block.
    std::vector<int16_t> source;
    size_t readPos = 0;
    int blockSamples = 0;
    auto feed = [&] {
        const size_t n = std::min(source.size() - readPos, static_cast<size_t>(blockSamples));
        player.loadArray(AudioBlock(std::vector<int16_t>(source.begin() + static_cast<long>(readPos),
                                                         source.begin() + static_cast<long>(readPos + n))));
        readPos += n;
    };
    int endArrays = 0, ends = 0, timers = 0, eventsAfterEnd = 0;
    int64_t endMs = -1;
    QObject::connect(&player, &AudioPlayer::onRequestOnLoadArray, [&] {
        eventsAfterEnd += ends;
        feed();
    });
    QObject::connect(&player, &AudioPlayer::onEndArrayPlay, [&] {
        eventsAfterEnd += ends;
        ++endArrays;
        feed();
    });
    QObject::connect(&player, &AudioPlayer::onTimer, [&](qint64, int, int) {
        eventsAfterEnd += ends;
        ++timers;
    });
    QObject::connect(&player, &AudioPlayer::onEndPlay, [&] {
        ++ends;
        endMs = clock.elapsed();
    });
    auto playToEnd = [&](std::vector<int16_t> samples) -> int64_t {
        source = std::move(samples);
        readPos = 0;
        endArrays = ends = timers = eventsAfterEnd = 0;
        player.setFormat(kRate, 2);
        blockSamples = player.msToSamples(200);
        const int64_t playMs = clock.elapsed();
        player.play();
        EXPECT_EQ(player.getError(), 0);
        feed();
        feed();
        EXPECT_TRUE(QTest::qWaitFor([&] { return ends > 0; }, 8000)) << "the play never ended";
        return playMs;
    };

    // A fresh server's null sink holds its first stream back for about a
    // second and a half and loses its first few milliseconds; a short run of
    // silence takes that out of the measured run. (bench_player prints how
    // long the device takes.)
    playToEnd(std::vector<int16_t>(kRate / 5 * 2, 0));
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(endArrays, 2);

    // One second of tone.
    std::vector<int16_t> tone;
    for (int i = 0; i < kRate; ++i) {
        const auto v = static_cast<int16_t>(std::lround(kAmplitude * std::sin(2 * M_PI * kToneHz * i / kRate)));
        tone.push_back(v);
        tone.push_back(v);
    }
    const int64_t playMs = playToEnd(tone);
    QTest::qWait(400);
    recorder.stop();

    EXPECT_EQ(ends, 1);
    EXPECT_EQ(eventsAfterEnd, 0);
    EXPECT_EQ(endArrays, 10);
    EXPECT_GE(timers, 5);
    EXPECT_EQ(player.getPosition(), kRate);
    // The end waits until the server has taken the last frame into the sink,
    // which renders a few tens of milliseconds ahead of the clock.
    EXPECT_GE(endMs - playMs, 900);

    ASSERT_GT(left.size(), static_cast<size_t>(kRate)) << "the recording is too short";
    // A sine is above half its amplitude two thirds of the time: counting
    // those samples tells whether any of the second was lost or doubled,
    // including its last block, heard after the end of play closed the stream.
    int64_t loudSamples = 0;
    size_t firstLoud = 0;
    for (size_t i = 0; i < left.size(); ++i) {
        if (std::abs(left[i]) > kAmplitude / 2 && loudSamples++ == 0) firstLoud = i;
    }
    EXPECT_NEAR(static_cast<double>(loudSamples), kRate * 2.0 / 3.0, kRate * 0.01);

    // Half a second from the middle of the tone.
    const size_t from = firstLoud + kRate / 4, to = std::min(left.size(), from + kRate / 2);
    ASSERT_GT(to, from + kRate / 4);
    std::vector<double> middle(left.begin() + static_cast<long>(from), left.begin() + static_cast<long>(to));
    double energy = 0;
    for (double v : middle) energy += v * v;
    const double rms = std::sqrt(energy / static_cast<double>(middle.size()));
    EXPECT_NEAR(rms, kAmplitude / std::sqrt(2.0), kAmplitude / std::sqrt(2.0) * 0.2);
    const double atTone = goertzelPower(middle, kToneHz);
    EXPECT_GT(atTone, 100 * goertzelPower(middle, 660.0));
    EXPECT_GT(atTone, 100 * goertzelPower(middle, 1000.0));
}

}  // namespace
