// Plays a tone through the real output into the sound server's null sink and
// records it back from the source remapped from the sink's monitor. `make
// test` starts that server; without it this test fails, it does not skip.
// (bench_player prints how long the device takes.)

#include "playerharness.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>
#include <QTest>

#include <cstdlib>

namespace {

constexpr int kRate = 44100;
constexpr int kAmplitude = 12000;

double goertzelPower(const std::vector<double>& x, double hz) {
    const double c = 2 * std::cos(2 * M_PI * hz / kRate);
    double s1 = 0, s2 = 0;
    for (double v : x) s2 = std::exchange(s1, v + c * s1 - s2);
    return s1 * s1 + s2 * s2 - c * s1 * s2;
}

TEST(PlayerDevice, ToneReachesTheSinkAndThePlayEndsOnceAfterIt) {
    const QAudioDevice sourceDevice = QMediaDevices::defaultAudioInput();
    const char* server = std::getenv("PULSE_SERVER");
    ASSERT_FALSE(QMediaDevices::defaultAudioOutput().isNull())
        << "no sound server reachable (PULSE_SERVER=" << (server ? server : "unset")
        << "); run the tests through scripts/with-sound-server";
    ASSERT_FALSE(sourceDevice.isNull()) << "the sound server has no input to record the tone from";

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

    Harness h(Harness::Device);
    auto playToEnd = [&](std::vector<int16_t> samples) -> int64_t {
        h.setSource(std::move(samples));
        h.events.clear();
        h.blocksFed = 0;
        const int64_t playMs = h.nowMs();
        h.start(kRate, 2);
        EXPECT_TRUE(QTest::qWaitFor([&] { return h.count(Ev::EndPlay) > 0; }, 8000)) << "the play never ended";
        return playMs;
    };

    // A fresh server's null sink holds its first stream back for about a
    // second and a half and loses its first few milliseconds; a short run of
    // silence takes that out of the measured run.
    playToEnd(std::vector<int16_t>(kRate / 5 * 2, 0));
    EXPECT_EQ(h.count(Ev::EndPlay), 1);
    EXPECT_EQ(h.count(Ev::EndArray), 2);

    const int64_t playMs = playToEnd(tone(kRate, 2, 1000, kAmplitude, kAmplitude));
    QTest::qWait(400);
    recorder.stop();

    ASSERT_EQ(h.count(Ev::EndPlay), 1);
    EXPECT_EQ(h.events.back().kind, Ev::EndPlay) << "nothing may follow the end of play";
    EXPECT_EQ(h.count(Ev::EndArray), 10);
    EXPECT_GE(h.count(Ev::Timer), 5);
    EXPECT_EQ(h.player->getPosition(), kRate);
    // The end waits until the server has taken the last frame into the sink,
    // which renders a few tens of milliseconds ahead of the clock.
    EXPECT_GE(h.last(Ev::EndPlay)->atMs - playMs, 900);

    ASSERT_GT(left.size(), static_cast<size_t>(kRate)) << "the recording is too short";
    // A sine is above half its amplitude two thirds of the time: counting
    // those samples tells whether any of the second was lost or doubled,
    // including its last block, heard after the end of play closed the stream.
    int64_t loudSamples = 0;
    size_t firstLoud = 0;
    for (size_t i = 0; i < left.size(); ++i)
        if (std::abs(left[i]) > kAmplitude / 2 && loudSamples++ == 0) firstLoud = i;
    EXPECT_NEAR(static_cast<double>(loudSamples), kRate * 2.0 / 3.0, kRate * 0.01);

    // Half a second from the middle of the tone.
    const size_t from = firstLoud + kRate / 4, to = std::min(left.size(), from + kRate / 2);
    ASSERT_GT(to, from + kRate / 4);
    std::vector<double> middle(left.begin() + static_cast<long>(from), left.begin() + static_cast<long>(to));
    double energy = 0;
    for (double v : middle) energy += v * v;
    const double rms = std::sqrt(energy / static_cast<double>(middle.size()));
    EXPECT_NEAR(rms, kAmplitude / std::sqrt(2.0), kAmplitude / std::sqrt(2.0) * 0.2);
    const double atTone = goertzelPower(middle, 440.0);
    EXPECT_GT(atTone, 100 * goertzelPower(middle, 660.0));
    EXPECT_GT(atTone, 100 * goertzelPower(middle, 1000.0));
}

}  // namespace
