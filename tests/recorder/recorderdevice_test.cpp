// Records from the test run's sound server: a tone of known length played
// into the null sink "ci_out" comes back through "ci_in", the source
// remapped from its monitor. `make test` starts that server; without it
// this test fails, it does not skip.

#include "components/recorder/linerecorder.h"
#include "platform/inifile.h"
#include "tools/recorder.h"

#include "../tools/toolwindowtest.h"

#include <QLabel>
#include <QProcess>
#include <QTest>

#include <cstdlib>
#include <iostream>

namespace {

constexpr int kRate = 44100;

// Plays seconds of a 440 Hz tone into the sink while a recording runs;
// returns half a second after it has been heard.
void PlayTone(double seconds, double amplitude) {
    const std::string wav = testenv::makeTempDir("tone") + "/tone.wav";
    audiotest::encode(wav, audiotest::sine(kRate, 2, seconds, {440}, amplitude));
    QTest::qWait(300);
    QProcess player;
    player.start("paplay", {"--device=ci_out", QString::fromStdString(wav)});
    EXPECT_TRUE(player.waitForStarted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.state() == QProcess::NotRunning; }, 15000));
    QTest::qWait(500);
}

// Every frame of two seconds of tone once: a sine is above half its
// amplitude two thirds of the time, so counting those frames tells a lost
// or doubled piece.
void ExpectEveryFrameOnce(const std::vector<int16_t>& samples, int channels, double amplitude,
                          const std::string& what) {
    int64_t loud = 0;
    for (size_t i = 0; i < samples.size(); i += static_cast<size_t>(channels))
        loud += std::abs(samples[i]) > amplitude / 2 * 32768 ? 1 : 0;
    std::cout << what << ": " << samples.size() / channels << " frames, " << loud
              << " above half the amplitude, " << kRate * 2 * 2 / 3 << " expected\n";
    EXPECT_NEAR(static_cast<double>(loud), kRate * 2.0 * 2 / 3, kRate * 2.0 * 2 / 3 * 0.1) << what;
}

double Dominant(const std::vector<int16_t>& samples, int channels, int64_t from, int64_t frames) {
    return audiotest::dominantFrequency(samples, channels, 0, kRate, from, frames,
                                        {220, 330, 440, 550, 660, 880});
}

struct Recording {
    std::vector<int16_t> samples;
    int64_t frames() const { return static_cast<int64_t>(samples.size()) / 2; }
};

// Plays seconds of a 440 Hz tone at amplitude into the sink while recording
// with the recorder as it is set up; stops half a second after the tone.
Recording RecordTone(LineRecorder& recorder, double seconds, double amplitude) {
    Recording r;
    QObject::connect(&recorder, &LineRecorder::onEndArrayRecord, [&](int) {
        const AudioBlock b = recorder.getRecordedArray();
        r.samples.insert(r.samples.end(), b.samples.begin(), b.samples.end());
    });
    recorder.setFormat(kRate, 2);
    recorder.setBlockSize(recorder.msToSamples(600));
    recorder.start();
    EXPECT_EQ(recorder.getError(), 0);
    PlayTone(seconds, amplitude);
    recorder.stop();
    QObject::disconnect(&recorder, &LineRecorder::onEndArrayRecord, nullptr, nullptr);
    for (AudioBlock b = recorder.getRecordedArray(); !b.empty(); b = recorder.getRecordedArray())
        r.samples.insert(r.samples.end(), b.samples.begin(), b.samples.end());
    EXPECT_EQ(recorder.getPosition(), r.frames());
    return r;
}

TEST(RecorderDevice, AToneOfKnownLengthComesBackWhole) {
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "run the tests through scripts/with-sound-server";
    LineRecorder recorder;
    ASSERT_EQ(recorder.deviceCount(), 1) << "the sound server has no source";
    recorder.setDevice(1);
    bool defaultFound = false;
    for (int i = 1; i <= recorder.lineCount(); ++i) {
        recorder.setLine(i);
        if (recorder.recordSource()) defaultFound = true;
    }
    EXPECT_TRUE(defaultFound) << "no line is the server's default source";

    const Recording plain = RecordTone(recorder, 2.0, 0.3);
    ExpectEveryFrameOnce(plain.samples, 2, 0.3, "recorded");
    int64_t first = -1;
    while (++first < plain.frames() && std::abs(plain.samples[static_cast<size_t>(first * 2)]) <= 0.15 * 32768) {
    }
    EXPECT_EQ(Dominant(plain.samples, 2, first + kRate / 2, kRate / 2), 440);

    // With the silence handling as the recorder window sets it by default,
    // a tone at speech level is kept and the silence around it is not.
    recorder.silenceDetection = true;
    recorder.autoGain = true;
    const Recording gated = RecordTone(recorder, 2.0, 0.05);
    std::cout << "with the silence handling: " << gated.frames() << " frames for " << kRate * 2 << " of tone\n";
    EXPECT_GE(gated.frames(), kRate * 1.8);
    EXPECT_LE(gated.frames(), kRate * 2.5);
    EXPECT_EQ(Dominant(gated.samples, 2, kRate / 2, kRate / 2), 440);
}

class RecorderWindowOnTheDevice : public ToolWindowTest {};

// The recorder window as a user drives it, to WAV and to MP3.
TEST_F(RecorderWindowOnTheDevice, RecordsTheToneToWavAndMp3) {
    IniFile ini;
    ini.writeString("recorder", "format path", dir + "/music");
    ini.writeBool("recorder", "cb auto", false);
    Tfm_recorder window;
    window.show();
    ASSERT_FALSE(window.noInput->isVisible());
    for (int format : {0, 1}) {
        ini.writeInteger("recorder", "format", format);
        window.btn_recordClick();
        ASSERT_TRUE(window.isRecording()) << format;
        PlayTone(2.0, 0.3);
        window.btn_stopClick();
        EXPECT_TRUE(boxes.texts().isEmpty());
        const audiotest::Decoded d = audiotest::decode(window.RecordedFile.toStdString());
        ASSERT_TRUE(d.ok) << format;
        ExpectEveryFrameOnce(d.samples, d.channels, 0.3, window.RecordedFile.toStdString());
        EXPECT_EQ(Dominant(d.samples, d.channels, d.frames() / 2, kRate / 4), 440) << format;
        // Names are made to the second: the next one must differ.
        QTest::qWait(1000);
    }
}

}  // namespace
