// Round trips through every writer and back through the reader, and the
// reader's and writer's contracts that the tool windows build on.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "audiotestutil.h"
#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"
#include "components/audio/encoderlimits.h"
#include "testenv.h"

using namespace audiotest;
namespace fs = std::filesystem;

namespace {

using Configure = std::function<void(AudioFile&)>;

Configure mp3Encoder(int rate, int kbps, int mode) {
    return [=](AudioFile& w) { w.setMp3Encoder(Mp3EncoderSettings{false, rate, kbps, mode}); };
}
Configure ogg(int rate, int channels, int kbps, int maxKbps, int quality) {
    return [=](AudioFile& w) { w.setOggFormat(rate, channels, kbps, 0, maxKbps, quality); };
}

struct Target {
    const char* name;
    const char* ext;
    Configure configure;  // none: the extension chooses, as the cut writes
    int inRate, inChannels, rate, channels;
    int64_t lengthTolerance;  // frames
    double levelTolerance;    // relative RMS
    int bytesPerSecond = 0;   // the bitrate the file must have, when it has one
};

class RoundTrip : public ::testing::TestWithParam<Target> {};

// A 3-second source with 1 kHz left and 2 kHz right: the channels must come
// back in their places, at their level, with the length kept. The writer
// keeps its format for the next file, as the converters' batches need.
TEST_P(RoundTrip, SineComesBackWithItsLengthLevelAndChannels) {
    const Target& t = GetParam();
    const std::string dir = testenv::makeTempDir(t.name);
    const AudioBlock source = sine(t.inRate, t.inChannels, 3.0, {1000, 2000});

    AudioFile w;
    if (t.configure) t.configure(w);
    for (const std::string& out : {dir + "/out." + t.ext, dir + "/next." + t.ext}) {
        ASSERT_TRUE(w.create(out, 0));
        EXPECT_TRUE(w.isOpen());
        EXPECT_FALSE(fs::exists(out)) << "an output appears only when complete";
        w.setInputFormat(t.inRate, t.inChannels);
        // In two-second blocks, as the converters write.
        const size_t block = static_cast<size_t>(2 * t.inRate * t.inChannels);
        for (size_t at = 0; at < source.samples.size(); at += block) {
            w.writeBlock(AudioBlock(std::vector<int16_t>(source.samples.begin() + static_cast<long>(at),
                                                         source.samples.begin() + static_cast<long>(std::min(at + block, source.samples.size())))));
            ASSERT_EQ(w.getError(), 0);
        }
        w.close();
        ASSERT_EQ(w.getError(), 0);
        EXPECT_FALSE(w.isOpen());

        Decoded d = decode(out);
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.error, 0);
        EXPECT_EQ(d.rate, t.rate) << out;
        EXPECT_EQ(d.channels, t.channels) << out;
        const int64_t expected = 3 * t.rate;
        EXPECT_NEAR(d.frames(), expected, t.lengthTolerance);
        // Callers loop "while position < length": a short length drops audio.
        EXPECT_GE(d.length, d.frames() - 1);
        EXPECT_NEAR(d.length, expected, t.lengthTolerance + 2048);
        if (t.bytesPerSecond) {
            EXPECT_NEAR(fs::file_size(out), 3 * t.bytesPerSecond, 3000);
        }

        // A stereo source mixed down to mono has each tone at half its level.
        const double level = 0.5 / std::sqrt(2.0) * (t.inChannels == 2 && t.channels == 1 ? 0.5 * std::sqrt(2.0) : 1.0);
        const int64_t mid = d.frames() / 2;
        for (int c = 0; c < t.channels; ++c)
            EXPECT_NEAR(rms(d.samples, d.channels, c, mid - t.rate / 2, mid + t.rate / 2), level, level * t.levelTolerance)
                << "channel " << c;
        if (t.channels == 2) {
            EXPECT_EQ(dominantFrequency(d.samples, 2, 0, d.rate, mid, 4096, {1000, 2000}), 1000);
            EXPECT_EQ(dominantFrequency(d.samples, 2, 1, d.rate, mid, 4096, {1000, 2000}), 2000);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writers, RoundTrip,
    ::testing::Values(
        Target{"wav16", "wav", [](AudioFile& w) { w.setWavFormat(44100, 2, 16); }, 44100, 2, 44100, 2, 0, 0.01},
        Target{"wav8mono", "wav", [](AudioFile& w) { w.setWavFormat(22050, 1, 8); }, 44100, 2, 22050, 1, 2, 0.05},
        Target{"mp3", "mp3", [](AudioFile& w) { ASSERT_TRUE(w.setMp3Format(44100, 192, 2)); }, 44100, 2, 44100, 2, 1152, 0.1},
        Target{"mp3mono", "mp3", mp3Encoder(32000, 96, 1), 44100, 2, 32000, 1, 1152, 0.15},
        // The converter's default (11025 Hz, 128 kbit/s) is beyond MPEG-2.5:
        // a file at the highest bitrate allowed, not a failure.
        Target{"mp3clamped", "mp3", mp3Encoder(11025, 128, 2), 44100, 2, 11025, 2, 1152, 0.15, 64000 / 8},
        Target{"ogg", "ogg", ogg(44100, 2, 128, 320, 300), 44100, 2, 44100, 2, 0, 0.1},
        Target{"oggq", "ogg", ogg(48000, 2, 0, 0, 500), 44100, 2, 48000, 2, 0, 0.1},
        // Bitrates libvorbis refuses still give a file.
        Target{"ogg40", "ogg", ogg(44100, 2, 40, 0, 300), 44100, 2, 44100, 2, 2, 0.15},
        Target{"ogg32k320", "ogg", ogg(32000, 1, 320, 0, 300), 44100, 2, 32000, 1, 2, 0.15},
        Target{"ogg8k128", "ogg", ogg(8000, 1, 128, 0, 300), 44100, 2, 8000, 1, 2, 0.15},
        Target{"wma", "wma", [](AudioFile& w) { ASSERT_TRUE(w.setWmaFormat(24)); }, 44100, 2, 44100, 2, 2048, 0.1},
        // Without a format call the name chooses the format, the input the rest.
        Target{"wavByName", "wav", nullptr, 22050, 1, 22050, 1, 0, 0.01},
        Target{"mp3ByName", "MP3", nullptr, 22050, 1, 22050, 1, 2048, 0.1},
        Target{"oggByName", "ogg", nullptr, 22050, 1, 22050, 1, 2048, 0.1},
        Target{"wmaByName", "wma", nullptr, 22050, 1, 22050, 1, 2048, 0.1}),
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
        if (std::string(ext) == "wav") w.setWavFormat(44100, 2, 16);
        else ASSERT_TRUE(w.setMp3Format(44100, 192, 2));
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
    for (const char* ext : {"wav", "ogg", "mp3", "wma"}) {
        const std::string path = dir + "/s." + ext;
        encode(path, source);
        Decoded whole = decode(path);
        ASSERT_TRUE(whole.ok);
        if (std::string(ext) == "wav") {
            EXPECT_EQ(whole.samples, source.samples);
        }
        AudioFile r;
        ASSERT_TRUE(r.open(path, 0, 1));
        for (int64_t target : {123457, 7, 88200, 0, 150000, 44099}) {
            ASSERT_TRUE(r.seek(target, 3));
            AudioBlock b = r.readBlock(2000);
            ASSERT_EQ(b.size(), 2000) << path << " at " << target;
            std::vector<int16_t> want(whole.samples.begin() + target * 2, whole.samples.begin() + target * 2 + 2000);
            EXPECT_EQ(b.samples, want) << path << " at " << target;
        }
    }
}

TEST(AudioFileReader, BlocksHoldExactlyTheCountInWholeFramesUntilTheEnd) {
    const std::string wav = testenv::makeTempDir("blocks") + "/b.wav";
    encode(wav, sine(8000, 2, 1.0, {300}), 8000, 2);
    AudioFile r;
    ASSERT_TRUE(r.open(wav));
    EXPECT_EQ(r.getLength(), 8000);
    EXPECT_EQ(r.getDuration(), 1000);
    EXPECT_EQ(r.getSampleRate(), 8000);
    EXPECT_EQ(r.getChannels(), 2);
    EXPECT_EQ(r.readBlock(1001).size(), 1000);  // a half frame is never returned
    EXPECT_EQ(r.readBlock(1).size(), 2);        // nor an empty block before the end
    // A count of zero reads a second instead of ending the stream.
    EXPECT_EQ(r.readBlock(0).size(), 8000 * 2 - 1002);
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
    // Our writer stops at two channels.
    const std::string six = "-f lavfi -i sine=sample_rate=8000:duration=1 -ac 6 " + dir + "/six.wav";
    ASSERT_EQ(testenv::run("ffmpeg -v error " + six), 0);
    AudioFile r;
    ASSERT_TRUE(r.open(dir + "/six.wav"));
    EXPECT_EQ(r.getLength(), 8000);
    EXPECT_EQ(r.getChannels(), r.getPcmChannels());

    const std::string cut = dir + "/cut.wav";
    AudioFile w;
    ASSERT_TRUE(w.create(cut));
    w.setInputFormat(r.getSampleRate(), r.getChannels());
    ASSERT_EQ(w.getError(), 0);
    for (AudioBlock b = r.readBlock(4096); !b.empty(); b = r.readBlock(4096)) {
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
    encode(wav, loud, 44100, 2);
    ASSERT_EQ(testenv::run("lame --quiet -t -V 0 " + testenv::shellQuote(wav) + " " + testenv::shellQuote(mp3)), 0);
    Decoded d = decode(mp3);
    ASSERT_TRUE(d.ok);
    EXPECT_GE(d.length, d.frames());
    EXPECT_NEAR(d.frames(), 5 * 44100, 4000);
}

// What MPEG audio allows, at the edges of each version's bitrates.
TEST(AudioFileWriter, Mp3FormatsMpegAudioDoesNotAllowAreRefused) {
    const struct { int rate, kbps; bool legal; } cases[] = {
        {8000, 8, true},      {8000, 64, true},     {11025, 80, false},   {12000, 64, true},   {12000, 80, false},
        {16000, 160, true},   {22050, 160, true},   {22050, 192, false},  {24000, 192, false}, {32000, 40, true},
        {44100, 320, true},   {48000, 320, true},   {48000, 16, false},   {44000, 128, false},  // not an MPEG rate
    };
    for (const auto& c : cases) {
        AudioFile w;
        EXPECT_EQ(w.setMp3Format(c.rate, c.kbps, 2), c.legal) << c.rate << "/" << c.kbps;
        EXPECT_EQ(w.getError() == 0, c.legal) << c.rate << "/" << c.kbps;
        if (audio::isMp3SampleRate(c.rate)) {
            EXPECT_EQ(audio::isLegalMp3Format(c.rate, c.kbps), c.legal);
        }
    }
    for (auto [rate, nearest] : {std::pair{6000, 8000}, {96000, 48000}, {44100, 44100}})
        EXPECT_EQ(audio::nearestMp3SampleRate(rate), nearest) << rate;
    for (auto [rate, kbps, clamped] : {std::tuple{11025, 128, 64}, {24000, 320, 160}, {44100, 8, 32}})
        EXPECT_EQ(audio::clampMp3Bitrate(rate, kbps), clamped) << rate << "/" << kbps;

    // The recorder sets its capture format from the writer's; a refused call
    // keeps the format that was set.
    AudioFile w;
    EXPECT_TRUE(w.setMp3Format(32000, 128, 1));
    EXPECT_EQ(w.getPcmSampleRate(), 32000);
    EXPECT_EQ(w.getPcmChannels(), 1);
    EXPECT_FALSE(w.setMp3Format(24000, 320, 2));
    EXPECT_EQ(w.getPcmSampleRate(), 32000);
    EXPECT_FALSE(w.isOpen());
}

// The mode bits of the frame headers after the Info frame.
TEST(AudioFileWriter, AllFiveMp3ChannelModesReachTheFrameHeaders) {
    const std::string dir = testenv::makeTempDir("modes");
    const int expectedBits[6] = {-1, 3, 0, 1, 1, 2};  // mono 11, stereo 00, joint 01, dual 10
    for (int mode = 1; mode <= 5; ++mode) {
        const std::string out = dir + "/m" + std::to_string(mode) + ".mp3";
        encode(out, sine(44100, 2, 1.0, {440, 880}), 44100, 2, [&](AudioFile& w) { ASSERT_TRUE(w.setMp3Format(44100, 128, mode)); });
        const std::string bytes = testenv::readFile(out);
        // The Info frame is 417 or 418 bytes at 128 kbit/s; the next header follows.
        size_t second = bytes.find("\xff\xfb", 100);
        ASSERT_NE(second, std::string::npos);
        EXPECT_EQ((static_cast<uint8_t>(bytes[second + 3]) >> 6) & 3, expectedBits[mode]) << "channel mode " << mode;
    }
}

TEST(AudioFileWriter, EveryWmaProfileGivesAPlayableFile) {
    const std::string dir = testenv::makeTempDir("wma");
    for (int id : {17, 18, 19, 20, 21, 22, 23, 24, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51}) {
        auto profile = audio::wmaProfile(id);
        ASSERT_TRUE(profile);
        EXPECT_GE(profile->kbps, 24);
        const std::string out = dir + "/p" + std::to_string(id) + ".wma";
        encode(out, sine(44100, 2, 0.5, {440}), 44100, 2, [&](AudioFile& w) {
            ASSERT_TRUE(w.setWmaFormat(id));
            w.setInputFormat(44100, 2);  // before create, as the converter sets it
        });
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
    EXPECT_FALSE(fs::exists(dir + "/unknown.wma"));
}

// The text fields given before close follow the audio in the same file:
// other readers find them, the audio and its sizes are as without them (a
// pad byte after odd-sized audio included), and the tag editor's save
// works on such a file. Only a WAV output takes them.
TEST(AudioFileWriter, WavInfoIsWrittenWithTheAudio) {
    const std::string dir = testenv::makeTempDir("wavinfo");
    struct Row {
        int rate, channels, bits;
        double seconds;
    };
    for (const Row& row : {Row{44100, 2, 16, 1.0}, Row{8000, 1, 8, 4001.5 / 8000}}) {
        SCOPED_TRACE(row.bits);
        const std::string out = dir + "/t" + std::to_string(row.bits) + ".wav";
        const AudioBlock source = sine(row.rate, row.channels, row.seconds, {1000});
        AudioFile w;
        w.setWavFormat(row.rate, row.channels, row.bits);
        ASSERT_TRUE(w.create(out));
        EXPECT_TRUE(w.setWavInfo({{"INAM", "Tone \xc3\xbc"}, {"ICMT", ""}, {"IART", "Maker"}}));
        w.setInputFormat(row.rate, row.channels);
        w.writeBlock(source);
        w.close();
        ASSERT_EQ(w.getError(), 0);
        const std::string bytes = testenv::readFile(out);
        ASSERT_GT(bytes.size(), 44u);
        const auto le32 = [&](size_t at) {
            return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
                                         static_cast<uint8_t>(bytes[at + 2]) << 16 |
                                         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24);
        };
        EXPECT_EQ(le32(4), bytes.size() - 8);
        const uint32_t data = le32(40);
        EXPECT_EQ(data, source.samples.size() * row.bits / 8);
        EXPECT_EQ(bytes.substr(44 + data + (data & 1), 4), "LIST");
        EXPECT_EQ(decode(out).frames(), static_cast<int64_t>(source.samples.size()) / row.channels);
        EXPECT_EQ(testenv::capture("ffprobe -v error -show_entries format_tags=title,artist,comment -of default=nw=1 " +
                                   testenv::shellQuote(out)),
                  "TAG:title=Tone \xc3\xbc\nTAG:artist=Maker\n");

        AudioInformation info;
        ASSERT_TRUE(info.load(out));
        EXPECT_EQ(info.infoTitle, "Tone \xc3\xbc");
        info.infoAlbum = "Album";
        ASSERT_TRUE(info.save(out));
        ASSERT_TRUE(info.load(out));
        EXPECT_EQ(info.infoArtist, "Maker");
        EXPECT_EQ(info.infoAlbum, "Album");
        EXPECT_EQ(decode(out).frames(), static_cast<int64_t>(source.samples.size()) / row.channels);
    }
    for (const char* ext : {"mp3", "ogg", "wma"}) {
        AudioFile w;
        ASSERT_TRUE(w.create(dir + "/x." + ext));
        EXPECT_FALSE(w.setWavInfo({{"INAM", "Tone"}})) << ext;
        w.abandon();
    }
    AudioFile idle;
    EXPECT_FALSE(idle.setWavInfo({{"INAM", "Tone"}}));
}

// A cut with start = end writes no block: the output must still be a valid,
// empty file of its format. A name of no format we write is refused.
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
            EXPECT_LE(r.readBlock(44100).size(), 2 * 2048) << ext;
        } else {
            // An MP3 of no frames is only its Info frame; no reader owes us a stream.
            EXPECT_EQ(std::string(ext), "mp3");
        }
    }
    AudioFile w;
    EXPECT_FALSE(w.create(dir + "/cut.flac"));
    EXPECT_EQ(w.getError(), AudioErrorUnsupported);
    EXPECT_FALSE(fs::exists(dir + "/cut.flac"));
}

}  // namespace
