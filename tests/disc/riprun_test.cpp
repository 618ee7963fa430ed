// The rip loop on generated images: WAV byte for byte in every grab mode,
// MP3/OGG/WMA close to the source after decoding and tagged, names from
// hostile texts, the overwrite question, stop in the middle of a track,
// and a damaged image under each error action.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "cdimagemaker.h"
#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"
#include "components/disc/cdgrabber.h"
#include "disc/riprun.h"
#include "platform/posixfile.h"
#include "testenv.h"

namespace {

using cdtest::Pcm;

struct FakeReporter : RipReporter {
    std::vector<RipRowTexts> rows;
    std::vector<std::pair<QString, QString>> asked;
    std::vector<std::pair<QString, QString>> told;
    std::function<bool(const QString&)> answer = [](const QString&) { return true; };
    int checkpoints = 0;
    int stopAfter = -1;  // checkpoints before a stop
    std::function<void(int)> onPercent;
    std::vector<int> counters;
    std::vector<std::pair<int, bool>> finished;

    std::function<void()> onCheckpoint;
    bool checkpoint() override {
        if (onCheckpoint) onCheckpoint();
        return stopAfter < 0 || ++checkpoints <= stopAfter;
    }
    RipRowTexts rowTexts(int row) override { return row < static_cast<int>(rows.size()) ? rows[row] : RipRowTexts{}; }
    bool askYesNo(const QString& caption, const QString& text) override {
        asked.emplace_back(caption, text);
        return answer(text);
    }
    void tell(const QString& caption, const QString& text) override { told.emplace_back(caption, text); }
    void trackPercent(int p) override {
        if (onPercent) onPercent(p);
    }
    void counter(int begun, int checked) override { counters.push_back(begun * 100 + checked); }
    void rowFinished(int row, bool done) override { finished.emplace_back(row, done); }
};

struct RipFixture : ::testing::Test {
    std::string images = testenv::makeTempDir("img");
    std::string out = testenv::makeTempDir("out");
    cdtest::Image image = cdtest::makeThreeTrackImage(images);
    CdGrabber grabber;
    RipSettings settings;
    FakeReporter reporter;

    void SetUp() override {
        grabber.setImageFolder(images);
        for (int i = 1; i <= grabber.driveCount(); ++i) {
            grabber.setDriveIndex(i);
            if (grabber.driveIsImage()) break;
        }
        ASSERT_TRUE(grabber.readToc());
        settings.outputFolder = out;
        settings.fileNameFormat = 0;
        reporter.rows = {{true, "Tone", "Artist", "Album", "Rock"},
                         {true, "Quiet", "Artist", "Album", "Rock"},
                         {true, "Noise", "Artist", "Album", "Rock"}};
    }
    RipResult rip(OutputKind kind) {
        OutputFormat format;
        format.kind = kind;
        format.wavRate = 44100;
        format.mp3.bitrate = 192;
        format.oggKbps = 160;
        format.wmaProfile = 24;
        return RipRun(grabber, settings, format, reporter).run();
    }
    std::vector<std::string> files() { return cdtest::filesUnder(out); }
};

TEST_F(RipFixture, WavIsByteIdenticalInEveryGrabMode) {
    for (int mode = 1; mode <= 4; ++mode) {
        SCOPED_TRACE(mode);
        settings.grabMode = mode;
        ApplyGrabSettings(settings, grabber);
        reporter.answer = [](const QString&) { return true; };  // overwrite the previous round
        const RipResult r = rip(OutputKind::Wav);
        EXPECT_EQ(r.done, 3);
        EXPECT_EQ(r.lastFolder, out + "/");
        EXPECT_EQ(files(), (std::vector<std::string>{"Noise.wav", "Quiet.wav", "Tone.wav"}));
        EXPECT_TRUE(cdtest::decodedPcm(out + "/Tone.wav") == image.padded[0]);
        EXPECT_TRUE(cdtest::decodedPcm(out + "/Quiet.wav") == image.padded[1]);
        EXPECT_TRUE(cdtest::decodedPcm(out + "/Noise.wav") == image.padded[2]);
        EXPECT_EQ(reporter.asked.size(), mode == 1 ? 0u : 3u * (mode - 1));
    }
    EXPECT_EQ(reporter.asked.front().second, QString::fromStdString(out + "/Tone.wav already exists.Overwrite?"));
    AudioInformation info;
    ASSERT_TRUE(info.load(out + "/Tone.wav"));
    EXPECT_EQ(info.infoTitle, "Tone");
    EXPECT_EQ(info.infoArtist, "Artist");
}

// Compressed outputs decode to the source within what the codec changes:
// the same length within a frame's worth, and the tone's level and shape
// once aligned past the encoder's delay.
TEST_F(RipFixture, CompressedFormatsAreCloseAndTagged) {
    reporter.rows[1].checked = false;
    reporter.rows[2].checked = false;
    for (OutputKind kind : {OutputKind::Mp3, OutputKind::Ogg, OutputKind::Wma}) {
        SCOPED_TRACE(OutputExtension(kind).toStdString());
        const RipResult r = rip(kind);
        ASSERT_EQ(r.done, 1);
        const std::string path = out + "/Tone" + OutputExtension(kind).toStdString();
        const Pcm got = cdtest::decodedPcm(path);
        const Pcm& want = image.padded[0];
        ASSERT_GT(got.size(), want.size() - 44100);
        EXPECT_LT(got.size(), want.size() + 2 * 4410);
        // Best alignment within 4096 frames, over one second from 1 s on.
        double best = 1e300;
        for (int lag = 0; lag < 4096; ++lag) {
            double err = 0;
            for (int i = 44100; i < 88200; i += 7) {
                const double d = got[2 * (i + lag)] - want[2 * i];
                err += d * d;
            }
            best = std::min(best, err);
        }
        double power = 0;
        for (int i = 44100; i < 88200; i += 7) power += double(want[2 * i]) * want[2 * i];
        EXPECT_GT(10 * std::log10(power / best), 15.0);  // dB
        AudioInformation info;
        ASSERT_TRUE(info.load(path));
        EXPECT_EQ(info.infoTitle, "Tone");
        EXPECT_EQ(info.infoArtist, "Artist");
        EXPECT_EQ(info.infoAlbum, "Album");
    }
}

TEST_F(RipFixture, HostileTitlesStayInsideTheOutputFolder) {
    settings.fileNameFormat = 6;
    reporter.rows = {{true, "../../../tmp/pwned", "..", "AC/DC", "Rock"},
                     {true, std::string(70000, 'x').c_str(), "\x01\x02", ".hidden", "Rock"},
                     {false, "", "", "", ""}};
    const RipResult r = rip(OutputKind::Wav);
    EXPECT_EQ(r.done, 2);
    const auto names = files();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "Unknown Artist/ACDC/1-tmppwned.wav");
    EXPECT_EQ(names[1].substr(0, 22), "Unknown Artist/hidden/");
    EXPECT_LE(names[1].size() - 22, 255u);
    AudioInformation info;
    ASSERT_TRUE(info.load(out + "/" + names[0]));
    EXPECT_EQ(info.infoTitle, "../../../tmp/pwned");  // the tag keeps the text
}

// The default output folder under a fresh home has a parent nobody made
// yet: both are made, in every naming rule.
TEST_F(RipFixture, AnOutputFolderIsMadeWithItsMissingParents) {
    reporter.rows[1].checked = false;
    reporter.rows[2].checked = false;
    for (int rule : {0, 6}) {
        SCOPED_TRACE(rule);
        settings.fileNameFormat = rule;
        settings.outputFolder = out + "/rule" + std::to_string(rule) + "/Music/mp3";
        for (OutputKind kind : {OutputKind::Wav, OutputKind::Mp3}) {
            const RipResult r = rip(kind);
            EXPECT_EQ(r.done, 1);
            EXPECT_EQ(r.failed, 0);
        }
    }
    EXPECT_TRUE(reporter.told.empty());
    EXPECT_EQ(files(), (std::vector<std::string>{"rule0/Music/mp3/Tone.mp3", "rule0/Music/mp3/Tone.wav",
                                                  "rule6/Music/mp3/Artist/Album/1-Tone.mp3",
                                                  "rule6/Music/mp3/Artist/Album/1-Tone.wav"}));
}

// An output name that is a link counts as a file there; Yes replaces the
// link itself, so nothing is written where it pointed.
TEST_F(RipFixture, OverwritingALinkReplacesTheLink) {
    const std::string elsewhere = testenv::makeTempDir("elsewhere");
    testenv::writeFile(elsewhere + "/target.wav", "keep");
    ASSERT_EQ(::symlink((elsewhere + "/target.wav").c_str(), (out + "/Tone.wav").c_str()), 0);
    ASSERT_EQ(::symlink((elsewhere + "/missing.wav").c_str(), (out + "/Quiet.wav").c_str()), 0);
    const RipResult r = rip(OutputKind::Wav);
    EXPECT_EQ(r.done, 3);
    EXPECT_EQ(reporter.asked.size(), 2u);
    EXPECT_EQ(testenv::readFile(elsewhere + "/target.wav"), "keep");
    EXPECT_FALSE(std::filesystem::exists(elsewhere + "/missing.wav"));
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(out + "/Tone.wav")));
    EXPECT_TRUE(cdtest::decodedPcm(out + "/Tone.wav") == image.padded[0]);
}

TEST_F(RipFixture, OverwriteNoKeepsTheOldFileAndStopLeavesNoFile) {
    testenv::writeFile(out + "/Tone.wav", "old");
    reporter.answer = [](const QString&) { return false; };
    // Stop while the third track is being written.
    int percents = 0;
    reporter.onPercent = [&](int) { ++percents; };
    reporter.stopAfter = 1 + 1 + 3 + 1 + 2;  // track 1 (skipped), track 2 (3 blocks), track 3 after 1 block
    const RipResult r = rip(OutputKind::Wav);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(testenv::readFile(out + "/Tone.wav"), "old");
    EXPECT_EQ(files(), (std::vector<std::string>{"Quiet.wav", "Tone.wav"}));
    EXPECT_EQ(reporter.finished.back(), std::make_pair(2, false));
    for (const auto& e : std::filesystem::directory_iterator(out))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

// A WAV's tags are written with its audio: other readers find them, and
// the audio is the track's, byte for byte.
TEST_F(RipFixture, WavTagsGoInWithTheAudioWhereOtherReadersFindThem) {
    reporter.rows[1].checked = false;
    reporter.rows[2].checked = false;
    ASSERT_EQ(rip(OutputKind::Wav).done, 1);
    const std::string path = out + "/Tone.wav";
    EXPECT_EQ(testenv::capture("ffprobe -v error -show_entries format_tags=title,artist,album,genre -of "
                               "default=nw=1 " +
                               testenv::shellQuote(path)),
              "TAG:title=Tone\nTAG:artist=Artist\nTAG:album=Album\nTAG:genre=Rock\n");
    EXPECT_TRUE(cdtest::decodedPcm(path) == image.padded[0]);
    const std::string bytes = testenv::readFile(path);
    ASSERT_GT(bytes.size(), 8u);
    uint32_t riffSize = 0;
    for (int i = 3; i >= 0; --i) riffSize = riffSize << 8 | static_cast<uint8_t>(bytes[4 + i]);
    EXPECT_EQ(riffSize, bytes.size() - 8);
}

// A disk that fills up while the tags are written: the row fails, and the
// file that was under the name stays as it was. One byte more and the same
// rip completes, so it was the tags' write that failed.
TEST_F(RipFixture, ATagWithNoRoomFailsTheRowAndKeepsTheAudioWhole) {
    reporter.rows[1].checked = false;
    reporter.rows[2].checked = false;
    ASSERT_EQ(rip(OutputKind::Wav).done, 1);
    const std::string path = out + "/Tone.wav";
    const std::string complete = testenv::readFile(path);
    for (size_t limit : {complete.size() - 1, complete.size()}) {
        SCOPED_TRACE(limit);
        testenv::writeFile(path, "old");
        const int outcome = testenv::inChild(
            [&] {
                reporter.finished.clear();
                const RipResult r = rip(OutputKind::Wav);
                if (r.done == 1 && reporter.finished == std::vector<std::pair<int, bool>>{{0, true}}) return 1;
                if (r.failed == 1 && reporter.finished == std::vector<std::pair<int, bool>>{{0, false}}) return 2;
                return 3;
            },
            limit);
        const bool room = limit == complete.size();
        EXPECT_EQ(outcome, room ? 1 : 2);
        const std::string got = testenv::readFile(path);
        if (room) {
            EXPECT_EQ(got, complete);
        } else {
            // The audio as it was written, without the tag list after it,
            // and a RIFF size that ends with the audio.
            ASSERT_GT(got.size(), 44u);
            ASSERT_LT(got.size(), complete.size());
            EXPECT_EQ(got.substr(8), complete.substr(8, got.size() - 8));
            const auto* b = reinterpret_cast<const unsigned char*>(got.data() + 4);
            EXPECT_EQ(b[0] | b[1] << 8 | b[2] << 16 | static_cast<size_t>(b[3]) << 24, got.size() - 8);
        }
        EXPECT_EQ(files(), std::vector<std::string>{"Tone.wav"});
    }
}

// An MP3's tags go in with its audio, before it takes its name. A disk that
// fills up at its last bytes leaves the audio whole under the name with the
// ID3v2 tag in front, and the row failed, as a WAV's tags do; never the
// audio with an ID3v1 block alone.
TEST_F(RipFixture, Mp3TagsGoInBeforeTheFileTakesItsName) {
    reporter.rows[1].checked = false;
    reporter.rows[2].checked = false;
    ASSERT_EQ(rip(OutputKind::Mp3).done, 1);
    const std::string path = out + "/Tone.mp3";
    const std::string complete = testenv::readFile(path);
    AudioInformation info;
    info.tagVersion = 1;
    ASSERT_TRUE(info.load(path));
    EXPECT_EQ(info.infoTitle, "Tone");
    info.tagVersion = 2;
    ASSERT_TRUE(info.load(path));
    EXPECT_EQ(info.infoArtist, "Artist");
    EXPECT_EQ(info.infoAlbum, "Album");
    const Pcm decoded = cdtest::decodedPcm(path);

    ASSERT_TRUE(std::filesystem::remove(path));
    const int outcome = testenv::inChild(
        [&] {
            reporter.finished.clear();
            const RipResult r = rip(OutputKind::Mp3);
            return r.failed == 1 && reporter.finished == std::vector<std::pair<int, bool>>{{0, false}} ? 1 : 2;
        },
        complete.size() - 1);
    EXPECT_EQ(outcome, 1);
    const std::string got = testenv::readFile(path);
    EXPECT_EQ(got, complete.substr(0, complete.size() - 128));
    AudioInformation v2;
    v2.tagVersion = 2;
    ASSERT_TRUE(v2.load(path));
    EXPECT_EQ(v2.infoTitle, "Tone");
    EXPECT_TRUE(cdtest::decodedPcm(path) == decoded);
}

// A disk that is full for every track asks once: No ends the rip there,
// Yes goes on with the other tracks without asking again. No file is left
// of the tracks that did not fit.
TEST_F(RipFixture, AFullDiskAsksOnceForTheWholeRip) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        const int outcome = testenv::inChild(
            [&] {
                reporter.answer = [yes](const QString&) { return yes; };
                const RipResult r = rip(OutputKind::Wav);
                if (reporter.asked.size() != 1 || reporter.asked[0].second != "File write error! Continue?") return 2;
                if (r.done != 0) return 3;
                if (yes) return r.failed == 3 && reporter.counters.size() == 3 ? 1 : 4;
                return r.failed == 1 && reporter.counters.size() == 1 ? 1 : 5;
            },
            64 * 1024);
        EXPECT_EQ(outcome, 1);
        EXPECT_TRUE(files().empty());
    }
}

// A file-size limit (ulimit -f) fails the write with EFBIG instead of
// ending the program with SIGXFSZ, as the program sets itself up: the
// write error is asked about, whatever the answer no track is left half
// written, and the rip ends in the same process.
TEST_F(RipFixture, AFileSizeLimitIsAWriteErrorThatLeavesNoTrack) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        const int outcome = testenv::inChild(
            [&] {
                IgnoreFileSizeSignal();
                reporter.answer = [yes](const QString&) { return yes; };
                const RipResult r = rip(OutputKind::Wav);
                if (r.done != 0 || reporter.asked.empty()) return 1;
                return reporter.asked[0].second == "File write error! Continue?" ? 0 : 2;
            },
            64 << 10, true);
        EXPECT_EQ(outcome, 0);
        EXPECT_TRUE(files().empty());
    }
}

// The .bin shrinks while track 3 is ripped: "No" leaves no file and the row
// failed; "Yes" lets the error action finish the track, asked once.
TEST_F(RipFixture, DamagedImageUnderEachErrorAction) {
    reporter.rows[0].checked = false;
    reporter.rows[1].checked = false;
    for (int action = 1; action <= 4; ++action) {
        for (bool yes : {false, true}) {
            SCOPED_TRACE(std::to_string(action) + (yes ? " yes" : " no"));
            std::filesystem::remove_all(out);
            std::filesystem::create_directories(out);
            image = cdtest::makeThreeTrackImage(images);
            ASSERT_TRUE(grabber.readToc());
            settings.errorAction = action;
            ApplyGrabSettings(settings, grabber);
            reporter.asked.clear();
            reporter.answer = [yes](const QString&) { return yes; };
            reporter.onPercent = [&](int p) {
                if (p > 0 && p < 50) ::truncate(image.bin.c_str(), 720 * 2352);
            };
            const RipResult r = rip(OutputKind::Wav);
            reporter.onPercent = nullptr;
            ASSERT_EQ(reporter.asked.size(), 1u);
            EXPECT_EQ(reporter.asked[0].second, "Track read error! Continue?");
            if (!yes) {
                EXPECT_EQ(r.failed, 1);
                EXPECT_TRUE(files().empty());
                continue;
            }
            ASSERT_EQ(files(), std::vector<std::string>{"Noise.wav"});
            const Pcm got = cdtest::decodedPcm(out + "/Noise.wav");
            if (action == 2 || action == 4)  // silence, correct: full length
                EXPECT_EQ(got.size(), image.padded[2].size());
            else
                EXPECT_LT(got.size(), image.padded[2].size());
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + 88200, image.padded[2].begin()));
        }
    }
}

// A block that cannot be read in the middle of a track, answered Yes under
// the error action "stop": the bad block is left out and the rest of the
// track follows, with normalize on or off (the copy goes on with the next
// block after a Yes), rather than the track ending at the bad block.
TEST_F(RipFixture, YesAfterABadBlockGoesOnWithTheRestOfTheTrack) {
    reporter.rows[0].checked = false;
    reporter.rows[1].checked = false;
    std::string tail;
    {
        std::ifstream in(image.bin, std::ios::binary);
        in.seekg(720 * 2352);
        tail.assign(std::istreambuf_iterator<char>(in), {});
    }
    for (bool normalize : {false, true}) {
        SCOPED_TRACE(normalize ? "normalize" : "plain");
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        ASSERT_TRUE(grabber.readToc());
        settings.errorAction = 1;
        settings.normalize = normalize;
        settings.normalizeRatio = 100;
        ApplyGrabSettings(settings, grabber);
        reporter.asked.clear();
        // The image loses its end once the track is open and gets it back
        // once the user has answered: the first read fails.
        bool cut = false, back = false;
        auto damage = [&] {
            if (!cut) {
                cut = ::truncate(image.bin.c_str(), 720 * 2352) == 0;
            } else if (!back && !reporter.asked.empty()) {
                std::FILE* f = std::fopen(image.bin.c_str(), "r+b");
                ASSERT_NE(f, nullptr);
                std::fseek(f, 720 * 2352, SEEK_SET);
                std::fwrite(tail.data(), 1, tail.size(), f);
                std::fclose(f);
                back = true;
            }
        };
        reporter.onPercent = [&](int) { damage(); };
        reporter.onCheckpoint = [&] {
            if (cut) damage();
        };
        const RipResult r = rip(OutputKind::Wav);
        reporter.onPercent = nullptr;
        reporter.onCheckpoint = nullptr;
        ASSERT_TRUE(back);
        ASSERT_EQ(reporter.asked.size(), 1u);
        EXPECT_EQ(r.done, 1);
        ASSERT_EQ(files(), std::vector<std::string>{"Noise.wav"});
        const Pcm got = cdtest::decodedPcm(out + "/Noise.wav");
        const Pcm& want = image.padded[2];
        // One read: 4 s while the peaks are measured, else 2 s (of frames per
        // second as the track's length and duration give them).
        const double block = normalize ? 4 * 88200 : 2 * 88200;
        ASSERT_NEAR(static_cast<double>(got.size()), want.size() - block, 16) << "only the bad block is left out";
        if (!normalize) EXPECT_TRUE(std::equal(got.begin(), got.end(), want.end() - static_cast<std::ptrdiff_t>(got.size())));
    }
}

}  // namespace

namespace {

// Normalize gives the whole track one gain per channel, from its peaks: a
// quiet passage before a loud one stays quiet, each channel by its own peak.
TEST(RipNormalize, OneGainPerChannelForTheWholeTrack) {
    const std::string images = testenv::makeTempDir("img");
    const std::string out = testenv::makeTempDir("out");
    Pcm pcm = cdtest::tone(3.0, 3000);
    const Pcm loud = cdtest::tone(3.0, 12000);
    pcm.insert(pcm.end(), loud.begin(), loud.end());
    for (std::size_t i = 1; i < pcm.size(); i += 2) pcm[i] = static_cast<int16_t>(pcm[i] / 2);  // right at half
    const cdtest::Image image = cdtest::makeImage(images, "n", {{pcm, "", ""}});
    CdGrabber grabber;
    grabber.setImageFolder(images);
    ASSERT_GT(grabber.driveCount(), 0);
    grabber.setDriveIndex(grabber.driveCount());
    ASSERT_TRUE(grabber.readToc());
    RipSettings settings;
    settings.outputFolder = out;
    settings.normalize = true;
    settings.normalizeRatio = 90;
    OutputFormat format;
    format.kind = OutputKind::Wav;
    format.wavRate = 44100;
    FakeReporter reporter;
    reporter.rows = {{true, "n", "", "", ""}};
    ASSERT_EQ(RipRun(grabber, settings, format, reporter).run().done, 1);
    const Pcm got = cdtest::decodedPcm(out + "/n.wav");
    ASSERT_EQ(got.size(), image.padded[0].size());
    const double target = 0.9 * 32767;
    for (std::size_t i : {std::size_t{2 * 1000}, std::size_t{2 * 50025}, std::size_t{2 * 200025}}) {
        for (int c = 0; c < 2; ++c) {
            const double peak = c == 0 ? 12000 : 6000;
            const double want = pcm[i + c] * target / peak;
            EXPECT_NEAR(got[i + c], want, 2.0) << i << " " << c;
        }
    }
}

}  // namespace
