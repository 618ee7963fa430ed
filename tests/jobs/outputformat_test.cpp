// The output format the encoder dialog's codes stand for and what a writer
// is handed; the copy loop over a source that is not a file; the playback
// session on such a source.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <tuple>

#include "components/audio/audiofile.h"
#include "components/audio/blocksource.h"
#include "components/player/playbacksession.h"
#include "jobs/blockcopy.h"
#include "jobs/outputformat.h"
#include "platform/inifile.h"

TEST(OutputFormat, TheDialogsDefaultCodesStandForCdQualityAndOthersAreBounded) {
    const OutputFormat f = EncoderDialogFormat(OutputKind::Mp3, EncoderDialogCodes{});
    EXPECT_EQ(std::tuple(f.wavRate, f.wavChannels, f.wavBits), std::tuple(44100, 2, 16));
    EXPECT_EQ(std::tuple(f.mp3.sampleRate, f.mp3.bitrate, f.mp3.channelMode), std::tuple(44100, 128, 2));
    EXPECT_EQ(std::tuple(f.oggRate, f.oggChannels, f.oggKbps, f.oggMaxKbps), std::tuple(44100, 2, 128, 320));
    EXPECT_EQ(f.wmaProfile, 24);
    EXPECT_EQ(f.extension(), ".mp3");
    EXPECT_TRUE(f.refuseUnsupportedMp3);

    // Codes outside the lists take the nearest end.
    EncoderDialogCodes c;
    c.wavFrequency = 99;
    c.mp3Bitrate = -3;
    c.wmaFormat = 40;
    const OutputFormat far = EncoderDialogFormat(OutputKind::Wav, c);
    EXPECT_EQ(far.wavRate, 6000);
    EXPECT_EQ(far.mp3.bitrate, 40);
    EXPECT_EQ(far.wmaProfile, 51);
}

TEST(OutputFormat, EachModeReadsItsOwnSection) {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("tunevale.ini").toStdString());
    ini.writeInteger("cd ripper", "wav frequency", 9);  // 8000 Hz
    ini.writeInteger("cd ripper", "ogg bitrate", 2);    // 160 kbit/s
    ini.writeInteger("recorder", "wav frequency", 1);   // 48000 Hz
    const OutputFormat ripper = ReadEncoderDialogFormat(ini, "cd ripper", OutputKind::Wav);
    const OutputFormat recorder = ReadEncoderDialogFormat(ini, "recorder", OutputKind::Ogg);
    EXPECT_EQ(ripper.wavRate, 8000);
    EXPECT_EQ(ripper.oggKbps, 160);
    EXPECT_EQ(recorder.wavRate, 48000);
    EXPECT_EQ(recorder.oggKbps, 128);
    EXPECT_EQ(recorder.kind, OutputKind::Ogg);
    // The two dialogs start their VBR quality apart.
    EXPECT_EQ(ripper.mp3.vbrQuality, 5);
    EXPECT_EQ(recorder.mp3.vbrQuality, 8);
}

TEST(OutputFormat, AnMp3PairMpegLacksIsRefusedOnlyWhereTheCallerAsks) {
    EncoderDialogCodes c;
    c.mp3Frequency = 4;  // 22050 Hz
    c.mp3Bitrate = 12;   // 320 kbit/s
    OutputFormat f = EncoderDialogFormat(OutputKind::Mp3, c);
    AudioFile writer;
    EXPECT_EQ(f.configure(writer), kUnsupportedMp3Text);
    f.refuseUnsupportedMp3 = false;
    EXPECT_EQ(f.configure(writer), QString());
}

namespace {

// A stereo ramp that is no file: what a CD track looks like to the loop.
class RampSource : public BlockSource {
public:
    explicit RampSource(int64_t frames) : frames_(frames) {}
    bool open(const std::string&) override { return open_ = true; }
    bool isOpen() const override { return open_; }
    void close() override { open_ = false; }
    bool seek(int64_t frame) override {
        at_ = frame;
        return true;
    }
    AudioBlock readBlock(int64_t count) override {
        if (count <= 0) count = 44100 * 2;
        AudioBlock b;
        for (int64_t i = 0; i < count / 2 && at_ < frames_; ++i, ++at_) {
            b.samples.push_back(static_cast<int16_t>(at_ % 20000));
            b.samples.push_back(static_cast<int16_t>(-(at_ % 20000)));
        }
        return b;
    }
    bool readFailed() const override { return false; }
    int64_t length() const override { return frames_; }
    int pcmRate() const override { return 44100; }
    int pcmChannels() const override { return 2; }
    int64_t durationMs() const override { return frames_ * 1000 / 44100; }

private:
    int64_t frames_;
    int64_t at_ = 0;
    bool open_ = false;
};

// A WAV writer taking the ramp's CD-quality samples.
void CreateWav(AudioFile& writer, const std::string& path) {
    OutputFormat f;
    f.kind = OutputKind::Wav;
    ASSERT_EQ(f.configure(writer), QString());
    ASSERT_TRUE(writer.create(path, 0));
    writer.setInputFormat(44100, 2);
}

}  // namespace

TEST(BlockCopy, ASourceThatIsNoFileIsWrittenSampleForSample) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("track.wav").toStdString();
    RampSource source(44100 * 9 + 17);
    ASSERT_TRUE(source.open("track 1"));
    AudioFile writer;
    CreateWav(writer, path);
    int last = -1;
    const BlockCopyHooks hooks{[] { return true; }, [&](int p) { last = p; }, {}};
    const BlockCopyResult r = CopyBlocks(source, writer, BlockCopyOptions{}, hooks,
                                         [](PeakMeter&, PcmCache&) { return BlockCopyResult::Done; });
    ASSERT_EQ(r, BlockCopyResult::Done);
    writer.close();
    EXPECT_EQ(last, 100);

    AudioFile back;
    ASSERT_TRUE(back.open(path));
    ASSERT_EQ(back.length(), source.length());
    RampSource again(source.length());
    again.open("track 1");
    for (;;) {
        const AudioBlock want = again.readBlock(44100);
        const AudioBlock got = back.readBlock(44100);
        ASSERT_EQ(got.samples, want.samples);
        if (want.empty()) break;
    }
}

TEST(BlockCopy, AStopEndsTheCopyBeforeTheNextBlock) {
    QTemporaryDir dir;
    RampSource source(44100 * 30);
    source.open("t");
    AudioFile writer;
    CreateWav(writer, dir.filePath("stop.wav").toStdString());
    int blocks = 0;
    const BlockCopyHooks hooks{[&] { return blocks++ < 2; }, [](int) {}, {}};
    EXPECT_EQ(CopyBlocks(source, writer, {}, hooks, {}), BlockCopyResult::Stopped);
    writer.abandon();
}

TEST(PlaybackSession, PlaysAnotherSourceAndReturnsToItsDecoderOnClose) {
    PlaybackSession session;
    RampSource source(44100 * 3);
    ASSERT_TRUE(session.open(source, "track 2"));
    EXPECT_TRUE(session.isOpen());
    EXPECT_EQ(session.length(), 44100 * 3);
    EXPECT_EQ(session.durationMs(), 3000);
    session.close();
    EXPECT_FALSE(source.isOpen());
    EXPECT_FALSE(session.isOpen());
}
