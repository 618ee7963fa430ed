// Round trips through every writer and back through the reader, and the
// reader's and writer's contracts that the tool windows build on.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sys/stat.h>

#include "audiotestutil.h"
#include "components/audio/audiofile.h"
#include "components/audio/encoderlimits.h"
#include "testenv.h"

using namespace audiotest;

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

int64_t fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

struct Target {
    const char* name;
    const char* ext;
    std::function<void(AudioFile&)> configure;
    int rate, channels;
    int64_t lengthTolerance;  // frames
    double levelTolerance;    // relative RMS
};

class RoundTrip : public ::testing::TestWithParam<Target> {};

// A 3-second stereo source with 1 kHz left and 2 kHz right: the channels
// must come back in their places, at their level, with the length kept.
TEST_P(RoundTrip, SineComesBackWithItsLengthLevelAndChannels) {
    const Target& t = GetParam();
    const std::string dir = testenv::makeTempDir(t.name);
    const std::string out = dir + "/out." + t.ext;
    const AudioBlock source = sine(44100, 2, 3.0, {1000, 2000});

    AudioFile w;
    t.configure(w);
    ASSERT_TRUE(w.create(out, 0));
    EXPECT_TRUE(w.isOpen());
    w.setInputFormat(44100, 2);
    // In two-second blocks, as the converters write.
    for (size_t at = 0; at < source.samples.size(); at += 176400) {
        AudioBlock part(std::vector<int16_t>(source.samples.begin() + static_cast<long>(at),
                                             source.samples.begin() + static_cast<long>(std::min(at + 176400, source.samples.size()))));
        w.writeBlock(part);
        ASSERT_EQ(w.getError(), 0);
    }
    w.close();
    ASSERT_EQ(w.getError(), 0);
    EXPECT_FALSE(w.isOpen());

    Decoded d = decode(out);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.error, 0);
    EXPECT_EQ(d.rate, t.rate);
    EXPECT_EQ(d.channels, t.channels);
    const int64_t expected = static_cast<int64_t>(3.0 * t.rate);
    EXPECT_NEAR(d.frames(), expected, t.lengthTolerance);
    // Callers loop "while position < length": a short length drops audio.
    EXPECT_GE(d.length, d.frames() - 1);
    EXPECT_NEAR(d.length, expected, t.lengthTolerance + 2048);

    const double level = 0.5 / std::sqrt(2.0) * (t.channels == 1 ? 0.5 * std::sqrt(2.0) : 1.0);
    const int64_t mid = d.frames() / 2;
    for (int c = 0; c < t.channels; ++c) {
        double r = rms(d.samples, d.channels, c, mid - t.rate / 2, mid + t.rate / 2);
        EXPECT_NEAR(r, level, level * t.levelTolerance) << "channel " << c;
    }
    if (t.channels == 2) {
        EXPECT_EQ(dominantFrequency(d.samples, 2, 0, d.rate, mid, 4096, {1000, 2000}), 1000);
        EXPECT_EQ(dominantFrequency(d.samples, 2, 1, d.rate, mid, 4096, {1000, 2000}), 2000);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writers, RoundTrip,
    ::testing::Values(
        Target{"wav16", "wav", [](AudioFile& w) { w.setWavFormat(44100, 2, 16); }, 44100, 2, 0, 0.01},
        Target{"wav8mono", "wav", [](AudioFile& w) { w.setWavFormat(22050, 1, 8); }, 22050, 1, 2, 0.05},
        Target{"mp3", "mp3", [](AudioFile& w) { ASSERT_TRUE(w.setMp3Format(44100, 192, 2)); }, 44100, 2, 1152, 0.1},
        Target{"mp3mono", "mp3",
               [](AudioFile& w) {
                   Mp3EncoderSettings s;
                   s.sampleRate = 32000;
                   s.bitrate = 96;
                   s.channelMode = 1;
                   w.setMp3Encoder(s);
               },
               32000, 1, 1152, 0.15},
        Target{"ogg", "ogg", [](AudioFile& w) { w.setOggFormat(44100, 2, 128, 0, 320, 300); }, 44100, 2, 0, 0.1},
        Target{"oggq", "ogg", [](AudioFile& w) { w.setOggFormat(48000, 2, 0, 0, 0, 500); }, 48000, 2, 0, 0.1},
        Target{"wma", "wma", [](AudioFile& w) { ASSERT_TRUE(w.setWmaFormat(24)); }, 44100, 2, 2048, 0.1}),
    [](const auto& info) { return std::string(info.param.name); });

// Combine writes sources of different formats into one file, resetting the
// input format between them: nothing may be lost or doubled at the join.
TEST(AudioFileWriter, TwoInputFormatsThroughOneWriterJoinWithoutGap) {
    const std::string dir = testenv::makeTempDir("join");
    const AudioBlock first = sine(44100, 2, 2.0, {1000});
    const AudioBlock second = sine(22050, 1, 1.0, {2000});
    for (const char* ext : {"wav", "mp3"}) {
        const std::string out = dir + "/joined." + ext;
        AudioFile w;
        if (std::string(ext) == "wav")
            w.setWavFormat(44100, 2, 16);
        else
            ASSERT_TRUE(w.setMp3Format(44100, 192, 2));
        ASSERT_TRUE(w.create(out, 0));
        w.setInputFormat(44100, 2);
        w.writeBlock(first);
        w.setInputFormat(22050, 1);
        w.writeBlock(second);
        ASSERT_EQ(w.getError(), 0);
        w.close();
        ASSERT_EQ(w.getError(), 0);

        Decoded d = decode(out);
        ASSERT_TRUE(d.ok);
        EXPECT_NEAR(d.frames(), 3 * 44100, 64) << ext;
        EXPECT_EQ(dominantFrequency(d.samples, 2, 0, 44100, 44100, 8192, {1000, 2000}), 1000) << ext;
        EXPECT_EQ(dominantFrequency(d.samples, 2, 1, 44100, 2 * 44100 + 11025, 8192, {1000, 2000}), 2000) << ext;
        // No hole around the join: the level holds in every 10 ms there.
        for (int64_t f = 2 * 44100 - 2205; f < 2 * 44100 + 2205; f += 441)
            EXPECT_GT(rms(d.samples, 2, 0, f, f + 441), 0.25) << ext << " at frame " << f;
    }
}

// Seeks land on the very frame asked for, forwards and backwards, with the
// same samples a reading from the start gives there.
TEST(AudioFileReader, SeekIsSampleExact) {
    const std::string dir = testenv::makeTempDir("seek");
    AudioBlock source = sine(44100, 2, 4.0, {440, 660});
    // A ramp in the left channel makes every frame different.
    for (size_t i = 0; i < source.samples.size(); i += 2) source.samples[i] = static_cast<int16_t>((i / 2) % 30000);
    const std::string wav = dir + "/s.wav";
    writeWav(wav, source, 44100, 2);
    const std::string ogg = dir + "/s.ogg";
    {
        AudioFile w;
        w.setOggFormat(44100, 2, 160, 0, 0, 500);
        ASSERT_TRUE(w.create(ogg));
        w.writeBlock(source);
        w.close();
        ASSERT_EQ(w.getError(), 0);
    }
    std::vector<std::string> paths = {wav, ogg};
    for (const char* ext : {"mp3", "wma"}) {
        paths.push_back(dir + "/s." + ext);
        encode(paths.back(), source);
    }
    for (const std::string& path : paths) {
        Decoded whole = decode(path);
        ASSERT_TRUE(whole.ok);
        AudioFile r;
        ASSERT_TRUE(r.open(path, 0, 1));
        for (int64_t target : {int64_t{123457}, int64_t{7}, int64_t{88200}, int64_t{0}, int64_t{150000}, int64_t{44099}}) {
            ASSERT_TRUE(r.seek(target, 3));
            AudioBlock b = r.readBlock(2000);
            ASSERT_EQ(b.size(), 2000) << path << " at " << target;
            std::vector<int16_t> want(whole.samples.begin() + target * 2, whole.samples.begin() + target * 2 + 2000);
            EXPECT_EQ(b.samples, want) << path << " at " << target;
        }
        if (path == wav) {
            EXPECT_EQ(whole.samples, source.samples);
        }
    }
}

TEST(AudioFileReader, BlocksHoldExactlyTheCountInWholeFramesUntilTheEnd) {
    const std::string dir = testenv::makeTempDir("blocks");
    const std::string wav = dir + "/b.wav";
    writeWav(wav, sine(8000, 2, 1.0, {300}), 8000, 2);
    AudioFile r;
    ASSERT_TRUE(r.open(wav));
    EXPECT_EQ(r.getLength(), 8000);
    EXPECT_EQ(r.getDuration(), 1000);
    EXPECT_EQ(r.getSampleRate(), 8000);
    EXPECT_EQ(r.getChannels(), 2);
    EXPECT_EQ(r.readBlock(1001).size(), 1000);  // a half frame is never returned
    EXPECT_EQ(r.readBlock(1).size(), 2);        // nor an empty block before the end
    // A count of zero reads a second instead of ending the stream.
    AudioBlock second = r.readBlock(0);
    EXPECT_EQ(second.size(), 8000 * 2 - 1002);
    EXPECT_TRUE(r.readBlock(4000).empty());
    EXPECT_TRUE(r.readBlock(4000).empty());
    EXPECT_EQ(r.getError(), 0);
    r.close();
    EXPECT_FALSE(r.isOpen());
    r.close();  // harmless
}

// A cut or a join tells the writer the reader's rate and channels and feeds
// it the reader's blocks: for a file of more than two channels the count it
// is told must be that of the blocks, or the output runs three times fast.
TEST(AudioFileReader, AFileOfSixChannelsTellsTheChannelsOfItsBlocks) {
    const std::string dir = testenv::makeTempDir("six");
    const std::string six = dir + "/six.wav";
    {
        // A plain 16-bit WAV of 6 channels and one second at 8000 Hz.
        const int rate = 8000, channels = 6, frames = 8000;
        auto le = [](std::string& out, uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
        };
        std::string bytes = "RIFF";
        le(bytes, 36 + frames * channels * 2, 4);
        bytes += "WAVEfmt ";
        le(bytes, 16, 4);
        le(bytes, 1, 2);
        le(bytes, channels, 2);
        le(bytes, rate, 4);
        le(bytes, rate * channels * 2, 4);
        le(bytes, channels * 2, 2);
        le(bytes, 16, 2);
        bytes += "data";
        le(bytes, frames * channels * 2, 4);
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c) le(bytes, static_cast<uint16_t>((f % 100) * 100), 2);
        testenv::writeFile(six, bytes);
    }
    AudioFile r;
    ASSERT_TRUE(r.open(six));
    EXPECT_EQ(r.getLength(), 8000);
    EXPECT_EQ(r.getChannels(), r.getPcmChannels());

    const std::string cut = dir + "/cut.wav";
    AudioFile w;
    ASSERT_TRUE(w.create(cut));
    w.setInputFormat(r.getSampleRate(), r.getChannels());
    ASSERT_EQ(w.getError(), 0);
    for (;;) {
        AudioBlock b = r.readBlock(4096);
        if (b.empty()) break;
        w.writeBlock(b);
        ASSERT_EQ(w.getError(), 0);
    }
    w.close();
    ASSERT_EQ(w.getError(), 0);
    Decoded d = decode(cut);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.rate, 8000);
    EXPECT_EQ(d.frames(), 8000);
}

// A VBR MP3 without an Info header has only an estimated length.
TEST(AudioFileReader, LengthOfAnMp3WithoutInfoHeaderIsNotShort) {
    const std::string dir = testenv::makeTempDir("noxing");
    const std::string wav = dir + "/in.wav", mp3 = dir + "/noinfo.mp3";
    // Loud in the first second, quiet after it, so the first frames'
    // bitrate says nothing about the rest.
    AudioBlock loud = sine(44100, 2, 1.0, {5000, 7000}, 0.9);
    AudioBlock quiet = sine(44100, 2, 4.0, {100}, 0.01);
    loud.samples.insert(loud.samples.end(), quiet.samples.begin(), quiet.samples.end());
    writeWav(wav, loud, 44100, 2);
    ASSERT_EQ(testenv::run("lame --quiet -t -V 0 '" + wav + "' '" + mp3 + "'"), 0);
    Decoded d = decode(mp3);
    ASSERT_TRUE(d.ok);
    EXPECT_GE(d.length, d.frames());
    EXPECT_NEAR(d.frames(), 5 * 44100, 4000);
}

TEST(AudioFileWriter, Mp3FormatsMpegAudioDoesNotAllowAreRefused) {
    AudioFile w;
    EXPECT_FALSE(w.setMp3Format(22050, 192, 2));
    EXPECT_NE(w.getError(), 0);
    EXPECT_FALSE(w.setMp3Format(11025, 80, 1));
    EXPECT_FALSE(w.setMp3Format(48000, 16, 2));
    EXPECT_FALSE(w.setMp3Format(44000, 128, 2));
    EXPECT_TRUE(w.setMp3Format(22050, 160, 2));
    EXPECT_TRUE(w.setMp3Format(8000, 8, 1));
    EXPECT_TRUE(w.setMp3Format(48000, 320, 5));
    EXPECT_EQ(w.getError(), 0);
    // The recorder sets its capture format from the writer's.
    EXPECT_FALSE(w.isOpen());
    EXPECT_TRUE(w.setMp3Format(32000, 128, 1));
    EXPECT_EQ(w.getPcmSampleRate(), 32000);
    EXPECT_EQ(w.getPcmChannels(), 1);
    // A refused call keeps the format that was set.
    EXPECT_FALSE(w.setMp3Format(24000, 320, 2));
    EXPECT_EQ(w.getPcmSampleRate(), 32000);
}

// The converter's default (11025 Hz, 128 kbit/s) is beyond MPEG-2.5: it must
// give a file at the highest bitrate allowed, not fail.
TEST(AudioFileWriter, EncoderSettingsBeyondTheRateAreClampedNotRefused) {
    const std::string dir = testenv::makeTempDir("clamp");
    Mp3EncoderSettings s;
    s.sampleRate = 11025;
    s.bitrate = 128;
    s.channelMode = 2;
    AudioFile w;
    w.setMp3Encoder(s);
    const std::string out = dir + "/c.mp3";
    ASSERT_TRUE(w.create(out));
    w.setInputFormat(44100, 2);
    w.writeBlock(sine(44100, 2, 4.0, {440}));
    w.close();
    ASSERT_EQ(w.getError(), 0);
    // 4 s at 64 kbit/s is 32 kB; at 128 it would be twice that.
    EXPECT_NEAR(fileSize(out), 32000, 3000);
    Decoded d = decode(out);
    EXPECT_EQ(d.rate, 11025);
    EXPECT_NEAR(d.frames(), 4 * 11025, 1152);
}

// The mode bits of the frame headers after the Info frame.
TEST(AudioFileWriter, AllFiveMp3ChannelModesReachTheFrameHeaders) {
    const std::string dir = testenv::makeTempDir("modes");
    const int expectedBits[6] = {-1, 3, 0, 1, 1, 2};  // mono 11, stereo 00, joint 01, dual 10
    for (int mode = 1; mode <= 5; ++mode) {
        const std::string out = dir + "/m" + std::to_string(mode) + ".mp3";
        AudioFile w;
        ASSERT_TRUE(w.setMp3Format(44100, 128, mode));
        ASSERT_TRUE(w.create(out));
        w.setInputFormat(44100, 2);
        w.writeBlock(sine(44100, 2, 1.0, {440, 880}));
        w.close();
        ASSERT_EQ(w.getError(), 0);
        const std::string bytes = testenv::readFile(out);
        // The Info frame is 417 or 418 bytes at 128 kbit/s; the next header follows.
        size_t second = bytes.find("\xff\xfb", 100);
        ASSERT_NE(second, std::string::npos);
        int modeBits = (static_cast<uint8_t>(bytes[second + 3]) >> 6) & 3;
        EXPECT_EQ(modeBits, expectedBits[mode]) << "channel mode " << mode;
    }
}

TEST(AudioFileWriter, EveryWmaProfileGivesAPlayableFile) {
    const std::string dir = testenv::makeTempDir("wma");
    for (int id : {17, 18, 19, 20, 21, 22, 23, 24, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51}) {
        auto profile = audio::wmaProfile(id);
        ASSERT_TRUE(profile);
        EXPECT_GE(profile->kbps, 24);
        const std::string out = dir + "/p" + std::to_string(id) + ".wma";
        AudioFile w;
        ASSERT_TRUE(w.setWmaFormat(id));
        w.setInputFormat(44100, 2);
        ASSERT_TRUE(w.create(out)) << id;
        w.setInputFormat(44100, 2);
        w.writeBlock(sine(44100, 2, 0.5, {440}));
        w.close();
        ASSERT_EQ(w.getError(), 0) << id;
        Decoded d = decode(out);
        ASSERT_TRUE(d.ok) << id;
        EXPECT_EQ(d.rate, profile->sampleRate) << id;
        EXPECT_EQ(d.channels, profile->channels) << id;
        EXPECT_NEAR(d.frames(), profile->sampleRate / 2, 2048) << id;
    }
    AudioFile w;
    EXPECT_FALSE(w.setWmaFormat(99));
    EXPECT_FALSE(w.create(dir + "/unknown.wma"));
    EXPECT_NE(w.getError(), 0);
    EXPECT_FALSE(exists(dir + "/unknown.wma"));
}

// The cut makes no format call: the output takes its format from its name
// and its rate and channels from the input.
TEST(AudioFileWriter, WithoutFormatCallTheExtensionChoosesTheFormat) {
    const std::string dir = testenv::makeTempDir("ext");
    for (const char* ext : {"wav", "MP3", "ogg", "wma"}) {
        const std::string out = dir + "/cut." + ext;
        AudioFile w;
        ASSERT_TRUE(w.create(out)) << ext;
        EXPECT_FALSE(exists(out)) << "an output appears only when complete";
        w.setInputFormat(22050, 1);
        EXPECT_EQ(w.getError(), 0) << ext;
        w.writeBlock(sine(22050, 1, 1.0, {500}));
        w.close();
        ASSERT_EQ(w.getError(), 0) << ext;
        Decoded d = decode(out);
        ASSERT_TRUE(d.ok) << ext;
        EXPECT_EQ(d.rate, 22050) << ext;
        EXPECT_EQ(d.channels, 1) << ext;
        EXPECT_NEAR(d.frames(), 22050, 2048) << ext;
    }
    AudioFile w;
    EXPECT_FALSE(w.create(dir + "/cut.flac"));
    EXPECT_EQ(w.getError(), AudioErrorUnsupported);
    EXPECT_FALSE(exists(dir + "/cut.flac"));
}

// A cut with start = end writes no block: the output must still be a valid,
// empty file of its format.
TEST(AudioFileWriter, AnOutputWithoutBlocksIsAValidEmptyFile) {
    const std::string dir = testenv::makeTempDir("empty");
    for (const char* ext : {"wav", "mp3", "ogg", "wma"}) {
        const std::string out = dir + "/e." + ext;
        AudioFile w;
        ASSERT_TRUE(w.create(out));
        w.setInputFormat(44100, 2);
        w.close();
        ASSERT_EQ(w.getError(), 0) << ext;
        AudioFile r;
        if (r.open(out)) {
            EXPECT_LE(r.getLength(), 2048) << ext;
            AudioBlock b = r.readBlock(44100);
            EXPECT_LE(b.size(), 2 * 2048) << ext;
        } else {
            // An MP3 of no frames is only its Info frame; no reader owes us a stream.
            EXPECT_EQ(std::string(ext), "mp3");
        }
    }
}

// The converters set the format per file but the MP3 encoder once per batch.
TEST(AudioFileWriter, FormatSurvivesCloseForTheNextFile) {
    const std::string dir = testenv::makeTempDir("batch");
    Mp3EncoderSettings s;
    s.sampleRate = 22050;
    s.bitrate = 64;
    s.channelMode = 1;
    AudioFile w;
    w.setMp3Encoder(s);
    for (int i = 0; i < 2; ++i) {
        const std::string out = dir + "/f" + std::to_string(i) + ".mp3";
        ASSERT_TRUE(w.create(out));
        w.setInputFormat(44100, 2);
        w.writeBlock(sine(44100, 2, 1.0, {440}));
        w.close();
        ASSERT_EQ(w.getError(), 0);
        Decoded d = decode(out);
        EXPECT_EQ(d.rate, 22050);
        EXPECT_EQ(d.channels, 1);
    }
}

TEST(AudioFileWriter, OggBitratesLibvorbisRefusesStillGiveAFile) {
    const std::string dir = testenv::makeTempDir("oggrefuse");
    struct Case { int rate, channels, kbps; } cases[] = {{44100, 2, 40}, {32000, 1, 320}, {8000, 1, 128}};
    for (auto c : cases) {
        const std::string out = dir + "/o" + std::to_string(c.rate) + "_" + std::to_string(c.kbps) + ".ogg";
        AudioFile w;
        w.setOggFormat(c.rate, c.channels, c.kbps, 0, 0, 300);
        ASSERT_TRUE(w.create(out)) << c.rate << "/" << c.kbps;
        w.setInputFormat(44100, 2);
        w.writeBlock(sine(44100, 2, 1.0, {440}));
        w.close();
        ASSERT_EQ(w.getError(), 0);
        Decoded d = decode(out);
        EXPECT_EQ(d.rate, c.rate);
        EXPECT_EQ(d.channels, c.channels);
        EXPECT_NEAR(d.frames(), c.rate, 2);
    }
}

TEST(EncoderLimits, Mp3RatesAndBitrates) {
    EXPECT_EQ(audio::nearestMp3SampleRate(6000), 8000);
    EXPECT_EQ(audio::nearestMp3SampleRate(96000), 48000);
    EXPECT_EQ(audio::nearestMp3SampleRate(44100), 44100);
    EXPECT_EQ(audio::clampMp3Bitrate(11025, 128), 64);
    EXPECT_EQ(audio::clampMp3Bitrate(24000, 320), 160);
    EXPECT_EQ(audio::clampMp3Bitrate(44100, 8), 32);
    const int bitrates[] = {40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
        for (int kbps : bitrates)
            EXPECT_EQ(audio::isLegalMp3Format(rate, kbps), !(rate <= 12000 && kbps > 64) && !(rate >= 16000 && rate <= 24000 && kbps > 160))
                << rate << "/" << kbps;
}

}  // namespace
