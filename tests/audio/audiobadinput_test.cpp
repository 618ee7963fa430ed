// Files that are missing, not audio, cut short or damaged, and outputs that
// cannot be written: the reader fails or stops with a code, the writer
// reports and leaves no file that looks finished. Never a crash or a hang.

#include <gtest/gtest.h>

#include <filesystem>
#include <csignal>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "audiotestutil.h"
#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"
#include "platform/atomicfile.h"
#include "testenv.h"

using namespace audiotest;
namespace fs = std::filesystem;

namespace {

size_t entriesIn(const std::string& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

TEST(AudioFileBadInput, MissingFolderEmptyAndNonAudioFilesDoNotOpen) {
    const std::string dir = testenv::makeTempDir("bad");
    // A FIFO with no writer: refused at once instead of waiting for one.
    ASSERT_EQ(mkfifo((dir + "/pipe.mp3").c_str(), 0600), 0);
    testenv::writeFile(dir + "/empty.wav", "");
    testenv::writeFile(dir + "/text.wma", "This is a plain text file and nothing else.\n");
    // A playlist or script that names other files must not be followed.
    encode(dir + "/real.wav", sine(44100, 2, 1.0, {440}), 44100, 2);
    testenv::writeFile(dir + "/list.mp3", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nfile:" + dir +
                                              "/real.wav\n#EXT-X-ENDLIST\n");
    testenv::writeFile(dir + "/concat.mp3", "ffconcat version 1.0\nfile '" + dir + "/real.wav'\n");
    const std::pair<std::string, int> rows[] = {
        {dir + "/missing.mp3", AudioErrorFileOpen}, {dir, AudioErrorFileOpen},
        {dir + "/pipe.mp3", AudioErrorFileOpen},    {dir + "/empty.wav", AudioErrorNotAudio},
        {dir + "/text.wma", 0}, {dir + "/list.mp3", 0}, {dir + "/concat.mp3", 0}};
    AudioFile r;
    for (const auto& [path, error] : rows) {
        EXPECT_FALSE(r.open(path)) << path;
        EXPECT_FALSE(r.isOpen()) << path;
        if (error) EXPECT_EQ(r.getError(), error) << path;
        else EXPECT_NE(r.getError(), 0) << path;
    }

    // Reading calls on a closed reader answer with a code, not a crash.
    EXPECT_TRUE(r.readBlock(100).empty());
    EXPECT_EQ(r.getError(), AudioErrorNotOpen);
    EXPECT_FALSE(r.seek(10, 3));
    EXPECT_EQ(r.getLength(), 0);
}

TEST(AudioFileBadInput, RandomBytesEitherFailToOpenOrEnd) {
    const std::string dir = testenv::makeTempDir("random");
    for (unsigned seed = 1; seed <= 4; ++seed) {
        for (const char* ext : {"mp3", "ogg", "wma", "wav"}) {
            const std::string path = dir + "/r" + std::to_string(seed) + "." + ext;
            testenv::writeFile(path, randomBytes(64 * 1024, seed));
            Decoded d = decode(path);
            if (d.ok) {
                EXPECT_LT(d.frames(), 44100 * 60) << path;
            } else {
                EXPECT_NE(d.error, 0);
            }
        }
    }
}

TEST(AudioFileBadInput, AWavHeaderThatPromisesMoreThanTheFileHolds) {
    const std::string dir = testenv::makeTempDir("liar");
    const std::string path = dir + "/liar.wav";
    encode(path, sine(44100, 2, 1.0, {440}), 44100, 2);
    std::string bytes = testenv::readFile(path);
    // data size: ten times what is there; RIFF size likewise.
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
    };
    put32(40, 44100 * 4 * 10);
    put32(4, 44100 * 4 * 10 + 36);
    testenv::writeFile(path, bytes);
    Decoded d = decode(path);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.frames(), 44100);
    EXPECT_LE(d.length, 44100);

    // A header and no data at all.
    testenv::writeFile(dir + "/hollow.wav", bytes.substr(0, 44));
    Decoded h = decode(dir + "/hollow.wav");
    if (h.ok) {
        EXPECT_EQ(h.frames(), 0);
        EXPECT_EQ(h.length, 0);
    }
}

// An ASF header may claim any play duration; one of ages gives a length
// whose duration in ms must still come out right, for the reader and for
// the facts the information window shows.
TEST(AudioFileBadInput, AHeaderClaimingAgesGivesADurationThatFits) {
    const std::string dir = testenv::makeTempDir("ages");
    const std::string path = dir + "/ages.wma";
    encode(path, sine(44100, 2, 0.5, {440}));
    std::string bytes = testenv::readFile(path);
    // The File Properties object; its play and send durations (100 ns units)
    // follow the object header, the file id, size, date and packet count.
    const std::string fileProperties("\xa1\xdc\xab\x8c\x47\xa9\xcf\x11\x8e\xe4\x00\xc0\x0c\x20\x53\x65", 16);
    const size_t at = bytes.find(fileProperties);
    ASSERT_NE(at, std::string::npos);
    for (size_t field : {at + 64, at + 72})
        for (int i = 0; i < 8; ++i) bytes[field + i] = static_cast<char>((uint64_t{1} << 62) >> (8 * i));
    testenv::writeFile(path, bytes);

    AudioFile r;
    if (!r.open(path)) return;  // refusing the file is as good
    ASSERT_GT(r.getSampleRate(), 0);
    const int64_t want =
        static_cast<int64_t>(static_cast<__int128>(r.getLength()) * 1000 / r.getSampleRate());
    EXPECT_GE(r.getDuration(), 0);
    EXPECT_EQ(r.getDuration(), want);
    AudioInformation info;
    ASSERT_TRUE(info.load(path));
    EXPECT_EQ(info.infoSamples, r.getLength());
    EXPECT_EQ(info.infoDuration, want);
}

// A file cut short, cut inside its header, or with noise in its middle reads
// what is there and ends: never a crash or a hang.
TEST(AudioFileBadInput, DamagedFilesReadWhatIsThereAndEnd) {
    const std::string dir = testenv::makeTempDir("damaged");
    // Noise on the tones keeps the encoders busy, so that even Ogg spreads
    // three seconds over many pages.
    AudioBlock source = sine(44100, 2, 3.0, {440, 880});
    std::mt19937 gen(5);
    for (int16_t& s : source.samples) s = static_cast<int16_t>(s / 2 + static_cast<int>(gen() % 8000) - 4000);
    for (const char* ext : {"mp3", "ogg", "wma"}) {
        const std::string path = dir + "/damaged." + ext;
        encode(path, source);
        const std::string good = testenv::readFile(path);
        testenv::writeFile(path, good.substr(0, good.size() / 2));
        Decoded d = decode(path);
        ASSERT_TRUE(d.ok) << ext;
        EXPECT_GT(d.frames(), 44100 / 2) << ext;
        EXPECT_LT(d.frames(), 3 * 44100) << ext;

        testenv::writeFile(path, good.substr(0, 40));
        d = decode(path);
        EXPECT_TRUE(!d.ok || d.frames() < 44100) << ext;

        std::string hurt = good;
        const std::string noise = randomBytes(4096, 7);
        hurt.replace(hurt.size() / 2, noise.size(), noise);
        testenv::writeFile(path, hurt);
        d = decode(path);
        ASSERT_TRUE(d.ok) << ext;
        EXPECT_GT(d.frames(), 44100) << ext;
        EXPECT_LT(d.frames(), 4 * 44100) << ext;
    }
}

TEST(AudioFileBadOutput, AFolderThatCannotBeWrittenFailsAtCreate) {
    const std::string dir = testenv::makeTempDir("unwritable");
    testenv::writeFile(dir + "/file.txt", "x");
    // Under a regular file: refused even for root.
    const std::string out = dir + "/file.txt/out.mp3";
    AudioFile w;
    ASSERT_TRUE(w.setMp3Format(44100, 128, 2));
    EXPECT_FALSE(w.create(out));
    EXPECT_EQ(w.getError(), AudioErrorCreate);
    EXPECT_FALSE(w.isOpen());
    w.writeBlock(sine(44100, 2, 0.1, {440}));
    EXPECT_NE(w.getError(), 0);
    w.setWavFormat(44100, 2, 16);
    EXPECT_FALSE(w.create(dir + "/missing/out.wav"));
    EXPECT_EQ(w.getError(), AudioErrorCreate);
}

// A disk that fills up mid-file: a child process with a file-size limit
// writes blocks until the writer reports it, at close at the latest (the
// encoder may buffer past the limit). Returns 0 when it was reported.
int fillTheDisk(const std::string& out, const AudioBlock& block, int blocks, unsigned long limit,
                bool keep = false) {
    return testenv::inChild(
        [&] {
            AudioFile w;
            w.setKeepIncomplete(keep);
            if (!w.create(out)) return 10;
            w.setInputFormat(44100, 2);
            for (int i = 0; i < blocks && w.getError() == 0; ++i) w.writeBlock(block);
            w.close();
            return w.getError() == 0 ? 11 : 0;
        },
        limit);
}

// A take already under the name stays as it was.
TEST(AudioFileBadOutput, AFullDiskIsReportedAndLeavesNoFinishedLookingFile) {
    const std::string dir = testenv::makeTempDir("full");
    // Noise: a sine would compress to almost nothing.
    AudioBlock noise(std::vector<int16_t>(88200));
    std::mt19937 gen(3);
    for (int16_t& s : noise.samples) s = static_cast<int16_t>(gen() % 40000) - 20000;
    for (const char* ext : {"wav", "mp3", "ogg", "wma"}) {
        const std::string out = dir + "/full." + ext;
        const std::string previous = std::string("previous take ") + ext;
        const bool hadTake = std::string(ext) != "wav";
        if (hadTake) testenv::writeFile(out, previous);
        EXPECT_EQ(fillTheDisk(out, noise, 8, 48 * 1024), 0) << ext;
        if (hadTake) EXPECT_EQ(testenv::readFile(out), previous) << ext;
        else EXPECT_FALSE(fs::exists(out)) << ext;
    }
    EXPECT_EQ(entriesIn(dir), 3u);
}

// A writer that keeps what it has (a recording) ends a full disk with a
// file that plays as far as it got, under its own name.
TEST(AudioFileBadOutput, AFullDiskKeepsWhatWasWrittenWhenAsked) {
    const std::string dir = testenv::makeTempDir("kept");
    for (const char* ext : {"wav", "mp3", "ogg", "wma"}) {
        const std::string out = dir + "/kept." + ext;
        EXPECT_EQ(fillTheDisk(out, sine(44100, 2, 0.6, {440, 1000}), 200, 300 * 1024, true), 0) << ext;
        const Decoded d = decode(out);
        ASSERT_TRUE(d.ok) << ext;
        EXPECT_GT(d.frames(), 44100 / 2) << ext;
        // The reader's length agrees with what is there, give or take the
        // frames the encoder had counted but could not write.
        EXPECT_NEAR(d.length, d.frames(), 44100 * 0.7) << ext;
        EXPECT_EQ(dominantFrequency(d.samples, 2, 1, 44100, d.frames() / 2, 4410, {440, 1000}), 1000) << ext;
    }
    EXPECT_EQ(entriesIn(dir), 4u);
}

// A recording lives in "<name>.part" beside its name while it is written: a
// process killed mid-way leaves that file, which plays, and neither the
// sweep of temporaries nor the next recording under the name removes it.
// A recording that ends takes its name and leaves no part behind.
TEST(AudioFileBadOutput, ARecordingKilledMidWayKeepsItsPartFile) {
    const std::string dir = testenv::makeTempDir("part");
    const std::string out = dir + "/take.wav";
    const AudioBlock second = sine(44100, 2, 1.0, {440});
    auto record = [&](AudioFile& w, int seconds) {
        w.setKeepIncomplete(true);
        w.setVisiblePart(true);
        if (!w.create(out)) return false;
        w.setInputFormat(44100, 2);
        for (int i = 0; i < seconds; ++i) w.writeBlock(second);
        return w.getError() == 0;
    };
    const int status = testenv::inChild([&] {
        AudioFile w;
        if (!record(w, 3)) return 1;
        if (fs::exists(out) || !fs::exists(out + ".part")) return 2;
        ::kill(::getpid(), SIGKILL);
        return 3;
    });
    EXPECT_EQ(status, 100 + SIGKILL);
    ASSERT_TRUE(fs::exists(out + ".part"));
    EXPECT_FALSE(fs::exists(out));
    const Decoded killed = decode(out + ".part");
    ASSERT_TRUE(killed.ok);
    EXPECT_GE(killed.frames(), 2 * 44100);

    RemoveStaleTemporaries(dir);
    {
        AudioFile w;
        ASSERT_TRUE(record(w, 1));
        w.close();
        EXPECT_EQ(w.getError(), 0);
    }
    EXPECT_EQ(decode(out).frames(), 44100);
    EXPECT_EQ(decode(out + ".part").frames(), killed.frames());
    EXPECT_EQ(entriesIn(dir), 2u);
    // One that is dropped leaves nothing of its own.
    {
        AudioFile w;
        ASSERT_TRUE(record(w, 1));
        w.abandon();
    }
    EXPECT_EQ(entriesIn(dir), 2u);
    EXPECT_EQ(decode(out).frames(), 44100);
}

// A symbolic link at an output's name, to a file elsewhere or to nothing,
// is replaced by the output: what it names stays as it was (and a
// dangling one's target is not made).
TEST(AudioFileBadOutput, ALinkAtTheOutputsNameIsReplacedNotFollowed) {
    const std::string dir = testenv::makeTempDir("links");
    const std::string elsewhere = testenv::makeTempDir("elsewhere");
    testenv::writeFile(elsewhere + "/song.wav", "someone else's file");
    ::chmod((elsewhere + "/song.wav").c_str(), 0444);
    fs::create_symlink(elsewhere + "/song.wav", dir + "/to-file.wav");
    fs::create_symlink(elsewhere + "/nothing.wav", dir + "/dangling.wav");
    for (const char* name : {"to-file.wav", "dangling.wav"}) {
        const std::string out = dir + "/" + name;
        AudioFile w;
        ASSERT_TRUE(w.create(out)) << name;
        w.setInputFormat(44100, 2);
        w.writeBlock(sine(44100, 2, 0.5, {440}));
        w.close();
        EXPECT_EQ(w.getError(), 0) << name;
        EXPECT_FALSE(fs::is_symlink(out)) << name;
        EXPECT_EQ(decode(out).frames(), 22050) << name;
    }
    EXPECT_EQ(testenv::readFile(elsewhere + "/song.wav"), "someone else's file");
    EXPECT_FALSE(fs::exists(elsewhere + "/nothing.wav"));
}

// A job stopped midway, or a process killed at any moment of its output,
// leaves under the output's name what was there before or the complete
// output, and no temporary beside it once the next output starts there.
TEST(AudioFileBadOutput, AStoppedOrKilledOutputLeavesTheDestinationAsItWas) {
    const AudioBlock block = sine(44100, 2, 1.0, {440});
    auto writeOne = [&](AudioFile& w, const std::string& path) {
        w.setWavFormat(44100, 2, 16);
        if (!w.create(path)) return false;
        w.writeBlock(block);
        return w.getError() == 0;
    };
    const std::string completeFile = testenv::makeTempDir("complete") + "/complete.wav";
    {
        AudioFile w;
        ASSERT_TRUE(writeOne(w, completeFile));
    }
    const std::string complete = testenv::readFile(completeFile);

    for (const bool unnamed : {true, false}) {
        const std::string dir = testenv::makeTempDir("stopped");
        const std::string out = dir + "/take.wav";
        const std::string previous = "previous take";
        testenv::writeFile(out, previous);
        SetUnnamedTemporariesAllowed(unnamed);
        {
            AudioFile w;
            ASSERT_TRUE(writeOne(w, out));
            EXPECT_EQ(testenv::readFile(out), previous);
            w.abandon();
            EXPECT_EQ(w.getError(), 0);
        }
        EXPECT_EQ(testenv::readFile(out), previous);
        EXPECT_EQ(entriesIn(dir), 1u);

        std::mt19937 random(unnamed ? 7 : 8);
        for (int round = 0; round < 30; ++round) {
            const pid_t child = ::fork();
            if (child == 0) {
                for (;;) {
                    AudioFile w;
                    writeOne(w, out);
                }
            }
            ::usleep(random() % 5000);
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            const std::string now = testenv::readFile(out);
            ASSERT_TRUE(now == previous || now == complete) << "round " << round << ": " << now.size() << " bytes";
        }
        AudioFile next;
        ASSERT_TRUE(writeOne(next, out));
        next.abandon();
        SetUnnamedTemporariesAllowed(true);
        EXPECT_EQ(entriesIn(dir), 1u) << (unnamed ? "unnamed" : "named");
    }
}

}  // namespace

namespace {

// The process's peak resident memory in KiB (VmHWM).
long peakResidentKiB() {
    const std::string status = testenv::readFile("/proc/self/status");
    const size_t at = status.find("VmHWM:");
    return at == std::string::npos ? -1 : std::stol(status.substr(at + 6));
}

}  // namespace

// WAVs of a few hundred bytes whose chunks claim gigabytes (found by the
// reader's fuzzer) fail to open without the demuxer taking gigabytes first:
// each open runs in a child whose peak memory it measures.
TEST(AudioFileBadInput, ChunksClaimingGigabytesFailWithBoundedMemory) {
    const std::string data = testenv::sourceDir() + "/tests/audio/data/";
    for (int n = 1; n <= 9; ++n) {
        const std::string path = data + "wav-chunk-claim-" + std::to_string(n) + ".wav";
        ASSERT_TRUE(fs::exists(path)) << path;
        const int rc = testenv::inChild([&] {
            // Reset the peak to what the child holds now.
            testenv::writeFile("/proc/self/clear_refs", "5");
            const long before = peakResidentKiB();
            AudioFile reader;
            const bool opened = reader.open(path);
            const bool clean = !opened && reader.getError() != 0;
            const long grown = peakResidentKiB() - before;
            if (!clean) return 1;
            return grown > 128 * 1024 ? 2 : 0;
        });
        EXPECT_EQ(rc, 0) << path << (rc == 2 ? ": took over 128 MiB" : rc == 1 ? ": opened or no error" : "");
    }
}
