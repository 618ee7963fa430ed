// The audio disc writer's image recorder, read back the way players and the
// ripper read it (libcdio): the table, the lengths, the samples, the CD-TEXT,
// and what is left on disk after a test write, an abort, a refused write and
// an erase.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "audiotestutil.h"
#include "cdimagemaker.h"
#include "components/disc/cdgrabber.h"
#include "components/discwriter/audiodiscwriter.h"
#include "components/discwriter/burndrive.h"
#include "components/discwriter/cdaudiosource.h"
#include "components/discwriter/cueimage.h"
#include "platform/posixfile.h"
#include "pumpevents.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

struct Seen {
    std::vector<std::pair<int, int>> progress;  // (operation * 10 + phase, percent)
    std::vector<int> errors;
};

class ImageWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testenv::makeTempDir("images");
        writer_.setDrivesListed(false);
        writer_.setImageFolder(QString::fromStdString(folder_));
        QObject::connect(&writer_, &DiscRecorder::onOperationProgress, [this](int percent) {
            seen_.progress.push_back({writer_.currentOperation() * 10 + writer_.writePhase(), percent});
        });
        QObject::connect(&writer_, &DiscRecorder::onError, [this](int code) { seen_.errors.push_back(code); });
        writer_.initialize();
        ASSERT_EQ(writer_.deviceCount(), 1);
        writer_.setDeviceIndex(1);
    }

    void settle() {
        testenv::pumpUntil([&] { return !writer_.isBusy(); });
        QCoreApplication::processEvents();
        ASSERT_FALSE(writer_.isBusy());
    }

    std::string cue() const { return folder_ + "/Audio CD.cue"; }
    std::string bin() const { return folder_ + "/Audio CD.bin"; }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string folder_;
    AudioDiscWriter writer_;
    Seen seen_;
};

// The CD-quality samples of a source, as the writer must put them down.
std::vector<int16_t> CdSamples(const std::string& path) {
    CdAudioSource source;
    std::string error;
    EXPECT_TRUE(source.open(path, &error)) << error;
    std::vector<int16_t> all, part;
    while (source.read(part, &error) && !part.empty()) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string TrackBytes(CdIo_t* cdio, track_t track) {
    const lsn_t first = cdio_get_track_lsn(cdio, track), last = cdio_get_track_last_lsn(cdio, track);
    std::string bytes(size_t(last - first + 1) * CDIO_CD_FRAMESIZE_RAW, '\0');
    EXPECT_EQ(cdio_read_audio_sectors(cdio, bytes.data(), first, last - first + 1), DRIVER_OP_SUCCESS);
    return bytes;
}

}  // namespace

TEST_F(ImageWriterTest, ThreeTracksOfDifferentFormatsReadBackExactly) {
    const std::string src = testenv::makeTempDir("sources");
    const std::string wav = src + "/one.wav", mp3 = src + "/two.mp3", ogg = src + "/three.ogg";
    // 6.013 s is not a whole number of sectors: the last one is padded.
    audiotest::encode(wav, audiotest::sine(44100, 2, 6.013, {441, 882}), 44100, 2);
    audiotest::encode(mp3, audiotest::sine(48000, 2, 4.2, {330}), 48000, 2);
    audiotest::encode(ogg, audiotest::sine(22050, 1, 5.0, {550}), 22050, 1);
    testenv::run("ffmpeg -v quiet -y -f lavfi -i anullsrc -t 0.1 -metadata 'title=Say \"Hi\"\r\nFILE x' -metadata "
                 "artist=Bj\xc3\xb6rk\xe2\x80\x94X " +
                 src + "/tagged.mp3");
    for (const auto& path : {wav, mp3, ogg}) writer_.addTrack(QString::fromStdString(path));
    writer_.clearTracks();
    writer_.addTrack(QString::fromStdString(wav), QString::fromStdString(src + "/tagged.mp3"));
    writer_.addTrack(QString::fromStdString(mp3));
    writer_.addTrack(QString::fromStdString(ogg));

    writer_.refresh();
    EXPECT_EQ(writer_.discType(), DiscRecorder::Erasable);
    EXPECT_EQ(writer_.discStatus(), DiscRecorder::Blank);
    writer_.write();
    EXPECT_TRUE(seen_.progress.empty());
    settle();
    ASSERT_TRUE(seen_.errors.empty()) << writer_.lastErrorText().toStdString();
    EXPECT_EQ(files(), (std::vector<std::string>{"Audio CD.bin", "Audio CD.cue"}));
    // Phases 1, 2, 3 for each track, then one final 100 %.
    std::vector<int> phases;
    for (const auto& [what, percent] : seen_.progress)
        if (phases.empty() || phases.back() != what) phases.push_back(what);
    EXPECT_EQ(phases, (std::vector<int>{21, 22, 23, 21, 22, 23, 21, 22, 23, 30}));
    EXPECT_EQ(seen_.progress.back(), std::make_pair(30, 100));
    EXPECT_EQ(std::count(seen_.progress.begin(), seen_.progress.end(), std::make_pair(30, 100)), 1);
    for (size_t i = 1; i < seen_.progress.size(); ++i) EXPECT_GE(seen_.progress[i].second, seen_.progress[i - 1].second);

    const std::string cueText = testenv::readFile(cue());
    EXPECT_EQ(cueText.find("PREGAP"), std::string::npos);
    EXPECT_EQ(cueText.rfind("FILE \"Audio CD.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n", 0), 0u) << cueText;
    EXPECT_EQ(cueText.find('\n', cueText.find("TITLE")), cueText.find("\r\n", cueText.find("TITLE")) + 1);

    CdIo_t* cdio = cdio_open(cue().c_str(), DRIVER_UNKNOWN);
    ASSERT_NE(cdio, nullptr);
    ASSERT_EQ(cdio_get_num_tracks(cdio), 3);
    const std::vector<std::string> sources{wav, mp3, ogg};
    lsn_t expectedStart = 0;
    for (track_t t = 1; t <= 3; ++t) {
        SCOPED_TRACE(sources[t - 1]);
        EXPECT_EQ(cdio_get_track_format(cdio, t), TRACK_FORMAT_AUDIO);
        EXPECT_EQ(cdio_get_track_lsn(cdio, t), expectedStart);
        const std::vector<int16_t> expected = CdSamples(sources[t - 1]);
        const int64_t frames = int64_t(expected.size()) / 2;
        const lsn_t sectors = lsn_t(SectorsForFrames(frames));
        EXPECT_EQ(cdio_get_track_last_lsn(cdio, t), expectedStart + sectors - 1);
        const std::string bytes = TrackBytes(cdio, t);
        const std::string want(reinterpret_cast<const char*>(expected.data()), expected.size() * 2);
        EXPECT_TRUE(bytes.compare(0, want.size(), want) == 0);
        EXPECT_EQ(bytes.find_first_not_of('\0', want.size()), std::string::npos) << "padding is silence";
        expectedStart += sectors;
    }
    // The WAV source's own data, byte for byte.
    const std::string wavBytes = testenv::readFile(wav);
    EXPECT_EQ(TrackBytes(cdio, 1).compare(0, wavBytes.size() - 44, wavBytes, 44), 0);
    EXPECT_EQ(TrackBytes(cdio, 1).size(), size_t(SectorsForFrames(265173)) * 2352);
    // A hostile title stays one line: quotes become ', control characters
    // go, what Latin-1 lacks becomes ?.
    cdtext_t* text = cdio_get_cdtext(cdio);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_TITLE, 1), "Say 'Hi'FILE x");
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_PERFORMER, 1), "Bj\xc3\xb6rk?X");
    cdio_destroy(cdio);

    // The ripper's grabber offers the image as a drive and rips the same
    // samples, followed by the padding.
    CdGrabber grabber;
    grabber.setImageFolder(folder_);
    grabber.refreshDrives();
    ASSERT_NE(cdtest::selectImageDrive(grabber, cue()), 0);
    ASSERT_TRUE(grabber.readToc());
    ASSERT_EQ(grabber.trackCount(), 3);
    for (int t = 1; t <= 3; ++t) {
        const std::vector<int16_t> expected = CdSamples(sources[t - 1]);
        grabber.setTrack(t);
        EXPECT_EQ(grabber.trackLength(), SectorsForFrames(int64_t(expected.size()) / 2) * 588);
        ASSERT_TRUE(grabber.openTrack(t));
        std::vector<int16_t> ripped;
        for (AudioBlock block; !(block = grabber.readBlock(44100)).empty();)
            ripped.insert(ripped.end(), block.samples.begin(), block.samples.end());
        grabber.closeTrack();
        ASSERT_GE(ripped.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), ripped.begin())) << t;
    }

    // A written image is a closed disc: writing again is refused at once and
    // leaves it as it was; erasing deletes it and the disc reads blank.
    writer_.refresh();
    EXPECT_EQ(writer_.discStatus(), DiscRecorder::Closed);
    const std::string before = testenv::readFile(bin());
    writer_.write();
    EXPECT_EQ(seen_.errors, std::vector<int>{DiscRecorder::NotWritable});
    EXPECT_FALSE(writer_.isBusy());
    EXPECT_EQ(testenv::readFile(bin()), before);
    seen_.progress.clear();
    writer_.erase(true);
    settle();
    EXPECT_EQ(seen_.progress, (std::vector<std::pair<int, int>>{{10, 0}, {10, 100}}));
    EXPECT_TRUE(files().empty());
    writer_.refresh();
    EXPECT_EQ(writer_.discStatus(), DiscRecorder::Blank);
}

TEST_F(ImageWriterTest, TestModeWritesNothingAndAbortLeavesNoImage) {
    const std::string src = testenv::makeTempDir("long");
    const std::string track = src + "/long.wav";
    // Mono at 22.05 kHz: every block is resampled, so the write takes long
    // enough to be stopped in the middle.
    audiotest::encode(track, audiotest::sine(22050, 1, 240.0, {440}), 22050, 1);
    writer_.addTrack(QString::fromStdString(track));

    writer_.setTestMode(true);
    writer_.write();
    settle();
    EXPECT_TRUE(seen_.errors.empty());
    EXPECT_EQ(seen_.progress.back(), std::make_pair(30, 100));
    EXPECT_TRUE(files().empty());

    writer_.setTestMode(false);
    seen_.progress.clear();
    writer_.write();
    QElapsedTimer timer;
    timer.start();
    while (!fs::exists(bin() + ".part") && timer.elapsed() < 5000) QThread::msleep(1);
    writer_.abort();
    EXPECT_FALSE(writer_.isBusy());
    QCoreApplication::processEvents();
    EXPECT_TRUE(seen_.progress.empty());
    EXPECT_TRUE(seen_.errors.empty());
    EXPECT_TRUE(files().empty());
}

TEST_F(ImageWriterTest, RefusesWhatCannotBeWrittenBeforeWriting) {
    const std::string src = testenv::makeTempDir("bad");
    const std::string good = src + "/good.wav";
    audiotest::encode(good, audiotest::sine(44100, 2, 3.0, {440}), 44100, 2);
    ASSERT_EQ(::mkfifo((src + "/fifo.mp3").c_str(), 0600), 0);
    testenv::writeFile(src + "/text.mp3", "not audio at all");

    struct Case {
        const char* name;
        std::vector<std::string> tracks;
        int capacity;
        int code;
    };
    const std::vector<Case> cases{
        {"no tracks", {}, AudioDiscWriter::ImageCapacitySectors, DiscRecorder::NothingToWrite},
        {"vanished file", {good, src + "/gone.wav"}, AudioDiscWriter::ImageCapacitySectors, DiscRecorder::SourceFailed},
        {"a FIFO", {src + "/fifo.mp3"}, AudioDiscWriter::ImageCapacitySectors, DiscRecorder::SourceFailed},
        {"not audio", {src + "/text.mp3"}, AudioDiscWriter::ImageCapacitySectors, DiscRecorder::SourceFailed},
        // 3 s need 225 sectors.
        {"longer than the disc", {good}, 224, DiscRecorder::CapacityExceeded},
    };
    for (const Case& c : cases) {
        seen_.errors.clear();
        writer_.clearTracks();
        for (const auto& t : c.tracks) writer_.addTrack(QString::fromStdString(t));
        writer_.setImageCapacity(c.capacity);
        writer_.write();
        // Reported inside the call, as the window expects.
        EXPECT_EQ(seen_.errors, std::vector<int>{c.code}) << c.name;
        EXPECT_FALSE(writer_.isBusy()) << c.name;
        EXPECT_TRUE(files().empty()) << c.name;
    }
    writer_.setImageCapacity(225);
    seen_.errors.clear();
    writer_.write();
    settle();
    EXPECT_TRUE(seen_.errors.empty()) << "exactly full fits";

    // A folder that cannot be written reads as an unknown disc and refuses
    // the write before anything starts (root may write anywhere).
    if (::geteuid() != 0) {
        const std::string locked = testenv::makeTempDir("locked");
        ::chmod(locked.c_str(), 0500);
        writer_.setImageFolder(QString::fromStdString(locked));
        writer_.refresh();
        EXPECT_EQ(writer_.discStatus(), DiscRecorder::StatusUnknown);
        seen_.errors.clear();
        writer_.write();
        EXPECT_EQ(seen_.errors, std::vector<int>{DiscRecorder::NotWritable});
        ::chmod(locked.c_str(), 0700);
    }
}

TEST_F(ImageWriterTest, ALinkAtAnImageNameIsNeverWrittenThrough) {
    const std::string src = testenv::makeTempDir("linked");
    const std::string good = src + "/good.wav";
    audiotest::encode(good, audiotest::sine(44100, 2, 1.0, {440}), 44100, 2);
    const std::string outside = testenv::makeTempDir("outside") + "/precious.bin";
    testenv::writeFile(outside, std::string(300000, 'p'));
    for (const char* name : {"/Audio CD.bin", "/Audio CD.cue"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(::symlink(outside.c_str(), (folder_ + name).c_str()), 0);
        writer_.refresh();
        EXPECT_EQ(writer_.discStatus(), DiscRecorder::Closed) << "a link is no blank disc";
        writer_.clearTracks();
        writer_.addTrack(QString::fromStdString(good));
        seen_.errors.clear();
        writer_.write();
        EXPECT_EQ(seen_.errors, std::vector<int>{DiscRecorder::NotWritable});
        EXPECT_NE(writer_.lastErrorText().indexOf("symbolic link"), -1) << writer_.lastErrorText().toStdString();
        // Erasing removes the link itself, nothing it points at.
        writer_.erase(true);
        settle();
        EXPECT_TRUE(files().empty());
        EXPECT_EQ(testenv::readFile(outside), std::string(300000, 'p'));
    }
}

TEST_F(ImageWriterTest, AFullDiskFailsTheWriteAndLeavesNothingBehind) {
    const std::string src = testenv::makeTempDir("full");
    // One track copied as it is, one decoded: both ways meet the full disk.
    const std::string wav = src + "/cd.wav", ogg = src + "/other.ogg";
    audiotest::encode(wav, audiotest::sine(44100, 2, 8.0, {440}), 44100, 2);
    audiotest::encode(ogg, audiotest::sine(22050, 1, 8.0, {440}), 22050, 1);
    for (const std::string& first : {wav, ogg}) {
        SCOPED_TRACE(first);
        const int status = testenv::inChild(
            [&] {
                writer_.clearTracks();
                writer_.addTrack(QString::fromStdString(first));
                writer_.addTrack(QString::fromStdString(first == wav ? ogg : wav));
                writer_.write();
                settle();
                const bool failed = seen_.errors.size() == 1 && (seen_.errors[0] == DiscRecorder::WriteFailed ||
                                                                 seen_.errors[0] == DiscRecorder::NoSpace);
                return failed && !writer_.lastErrorText().isEmpty() ? 0 : 1;
            },
            1 << 20);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(files().empty());
    }
}

// Under a file-size limit the program's own set-up makes the write fail
// with EFBIG, reported, instead of a SIGXFSZ that ends the process and
// leaves the part behind.
TEST_F(ImageWriterTest, AFileSizeLimitFailsTheWriteWithAMessageAndLeavesNoPart) {
    const std::string wav = testenv::makeTempDir("limit") + "/cd.wav";
    audiotest::encode(wav, audiotest::sine(44100, 2, 8.0, {440}), 44100, 2);
    const int status = testenv::inChild(
        [&] {
            IgnoreFileSizeSignal();
            writer_.clearTracks();
            writer_.addTrack(QString::fromStdString(wav));
            writer_.write();
            settle();
            const bool failed = seen_.errors == std::vector<int>{DiscRecorder::WriteFailed};
            return failed && writer_.lastErrorText().contains(QString::fromUtf8(std::strerror(EFBIG))) ? 0 : 1;
        },
        256 << 10, true);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(files().empty());
}

TEST_F(ImageWriterTest, AnImageWrittenOrDeletedElsewhereIsAMediaChange) {
    int changes = 0;
    QObject::connect(&writer_, &DiscRecorder::onMediaChange, [&] { ++changes; });
    writer_.setMediaPolling(true, 20);
    const auto waitForChange = [&](int count) {
        return testenv::pumpUntil([&] { return changes >= count; }, 5000) && changes == count;
    };
    testenv::writeFile(cue(), "FILE \"Audio CD.bin\" BINARY\r\n");
    EXPECT_TRUE(waitForChange(1));
    fs::remove(cue());
    EXPECT_TRUE(waitForChange(2));
    writer_.setMediaPolling(false);
    testenv::writeFile(cue(), "x");
    QThread::msleep(60);
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 2);
}

TEST(CueImage, TextAndTimesAsTheReadersTakeThem) {
    const std::vector<std::pair<std::string, std::string>> texts{
        {"plain", "plain"},
        {"caf\xc3\xa9", "caf\xe9"},
        {"a\"b", "a'b"},
        {"line\r\nFILE \"x\" BINARY", "lineFILE 'x' BINARY"},
        {"tab\there\x7f", "tabhere"},
        {"\xe2\x82\xac 5", "? 5"},
        {"bad \xff byte", "bad ? byte"},
    };
    for (const auto& [in, out] : texts) EXPECT_EQ(cueimage::CdText(in), out) << in;
    EXPECT_EQ(cueimage::Msf(0), "00:00:00");
    EXPECT_EQ(cueimage::Msf(375), "00:05:00");
    EXPECT_EQ(cueimage::Msf(4500 * 79 + 75 * 59 + 74), "79:59:74");
}

TEST(BurnDrive, AMissingDriveFailsCleanlyLeavingNoDecodedTracksAndTheImageRecorderListed) {
    const std::string tmp = testenv::makeTempDir("burntmp");
    testenv::ScopedEnv env("TMPDIR", tmp.c_str());
    const std::string src = testenv::makeTempDir("burnsrc");
    audiotest::encode(src + "/a.ogg", audiotest::sine(22050, 1, 2.0, {440}), 22050, 1);
    audiotest::encode(src + "/b.wav", audiotest::sine(44100, 2, 1.0, {440}), 44100, 2);
    BurnDrive drive;
    std::vector<int> phases;
    const DiscRecorder::Failure failure =
        drive.writeAudio("/dev/tunevale-no-such-drive", {QString::fromStdString(src + "/a.ogg"), QString::fromStdString(src + "/b.wav")},
                         0, false, true, [&](int, int phase, int) { phases.push_back(phase); }, [] { return false; });
    EXPECT_EQ(failure.code, DiscRecorder::NoRecorder);
    // Both tracks were decoded (phase 1 each) before the drive was asked for.
    EXPECT_EQ(phases, (std::vector<int>{DiscRecorder::FillingBuffer, DiscRecorder::FillingBuffer}));
    EXPECT_TRUE(fs::is_empty(tmp));

    AudioDiscWriter writer;
    writer.initialize();
    ASSERT_GE(writer.deviceCount(), 1);
    writer.setDeviceIndex(writer.deviceCount());
    EXPECT_TRUE(writer.deviceVendor().startsWith("Audio CD image"));

    DiscRecorder::DiscState state;
    const DiscRecorder::Failure unread = BurnDrive::readDisc("/dev/tunevale-no-such-drive", &state);
    EXPECT_EQ(unread.code, DiscRecorder::NoRecorder);
    EXPECT_FALSE(unread.text.isEmpty());
    EXPECT_EQ(state.status, DiscRecorder::StatusUnknown);
    BurnDrive::eject("/dev/tunevale-no-such-drive");
}

TEST(BurnDrive, MountPointsComeFromMountInfo) {
    EXPECT_EQ(MountPointOf("/dev/null", "1 2 1:3 / /mnt rw - x y z"), "");
    // Any block device of the machine stands for the drive.
    std::string device;
    for (const auto& entry : fs::directory_iterator("/dev"))
        if (entry.is_block_file()) {
            device = entry.path().string();
            break;
        }
    if (device.empty()) GTEST_SKIP() << "no block device to stand for a drive";
    struct stat st {};
    ASSERT_EQ(::stat(device.c_str(), &st), 0);
    const QString id = QStringLiteral("%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
    const QString info = "36 35 98:0 / /boot rw - ext4 /dev/other rw\n"
                         "37 35 " + id + " / /media/u/My\\040Disc ro - iso9660 " + QString::fromStdString(device) + " ro\n";
    EXPECT_EQ(MountPointOf(QString::fromStdString(device), info), "/media/u/My Disc");
    EXPECT_EQ(MountPointOf(QString::fromStdString(device), "36 35 98:0 / /boot rw - ext4 /dev/other rw\n"), "");
}

