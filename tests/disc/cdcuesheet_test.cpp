// Cue sheets as our writer and other rippers write them: one table of cases
// that the image list and the grabber must both take or both refuse, the
// files a cue may make the program open (and those it must not, FIFOs
// above all), the text encodings, and the media change of an image drive.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include "cdimagemaker.h"
#include "components/disc/cdgrabber.h"
#include "components/disc/cdimages.h"
#include "testenv.h"

namespace {

using namespace std::chrono_literals;

constexpr int kSector = 2352;

// The sector's bytes of a test .bin: each sector tells its number.
std::string binBytes(int sectors) {
    std::string bytes(static_cast<std::size_t>(sectors) * kSector, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i / kSector * 7 + i % 251) & 0xff);
    return bytes;
}

// Runs body on a thread of its own; when it does not end within a few
// seconds it is blocked in a FIFO, and the test fails after releasing it by
// opening every FIFO of the folder for writing and closing it again.
template <typename Body>
void withoutBlocking(const std::string& folder, Body body) {
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(5s) == std::future_status::ready) return done.get();
    ADD_FAILURE() << "blocked in a FIFO";
    while (done.wait_for(50ms) != std::future_status::ready) {
        if (DIR* dir = ::opendir(folder.c_str())) {
            while (dirent* e = ::readdir(dir)) {
                const int fd = ::open((folder + "/" + e->d_name).c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
            }
            ::closedir(dir);
        }
    }
}

void makeFifo(const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path; }

struct CueCase {
    const char* what;
    const char* cueName;
    std::string cue;
    const char* binName;  // nullptr: no .bin is written
    int binSectors;
    int tracks;  // 0: refused
    std::vector<const char*> fifos = {};
    std::string album = {};
    std::string reason = {};  // part of why it is refused
};

const std::string kTrack = " TRACK 01 AUDIO\n INDEX 01 00:00:00\n";

std::vector<CueCase> cueCases() {
    const std::string twoTracks = "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n";
    std::string hundred = "FILE \"hundred.bin\" BINARY\n";
    for (int t = 1; t <= 100; ++t) {
        char line[64];
        std::snprintf(line, sizeof line, "TRACK %02d AUDIO\nINDEX 01 00:%02d:%02d\n", t, t / 75, t % 75);
        hundred += line;
    }
    return {
        {"our writer's form", "ours.cue",
         "TITLE \"Album\"\r\nFILE \"ours.bin\" BINARY\r\n" + twoTracks + "    INDEX 01 00:00:02\r\n", "ours.bin", 4, 2,
         {}, "Album"},
        {"lowercase keywords", "lower.cue", "file \"lower.bin\" binary\n  track 01 audio\n    index 01 00:00:00\n",
         "lower.bin", 2, 1},
        {"tabs between the words", "tabs.cue", "FILE\t\"tabs.bin\"\tBINARY\n\tTRACK\t01\tAUDIO\n\t\tINDEX\t01\t00:00:00\n",
         "tabs.bin", 2, 1},
        {"PREGAP, POSTGAP and INDEX 00", "gaps.cue",
         "REM GENRE Rock\nFILE \"gaps.bin\" BINARY\n TRACK 01 AUDIO\n  FLAGS DCP\n  INDEX 01 00:00:00\n  POSTGAP 00:02:00\n"
         " TRACK 02 AUDIO\n  PREGAP 00:02:00\n  INDEX 00 00:00:01\n  INDEX 01 00:00:02\n",
         "gaps.bin", 4, 2},
        {"an unquoted name", "bare.cue", "FILE bare.bin BINARY\n" + kTrack, "bare.bin", 1, 1},
        {"x.CUE beside x.bin", "upcue.CUE", "FILE \"upcue.bin\" BINARY\n" + kTrack, "upcue.bin", 1, 1},
        {"IMAGE.CUE with IMAGE.BIN", "IMAGE.CUE", "FILE \"IMAGE.BIN\" BINARY\n" + kTrack, "IMAGE.BIN", 1, 1},
        {"FILE x.BIN beside x.bin", "mixed.cue", "FILE \"mixed.BIN\" BINARY\n" + kTrack, "mixed.bin", 1, 1},
        {"UPPER.CUE naming UPPER.bin, a FIFO called UPPER.BIN beside it", "UPPER.CUE",
         "FILE \"UPPER.bin\" BINARY\n" + kTrack, "UPPER.bin", 1, 1, {"UPPER.BIN"}},
        {"UTF-8 with a byte-order mark", "bom.cue",
         "\xEF\xBB\xBFPERFORMER \"Bj\xC3\xB6rk\"\nTITLE \"Dd\xC3\xA9\"\nFILE \"bom.bin\" BINARY\n" + kTrack, "bom.bin", 1,
         1, {}, "Dd\xC3\xA9"},
        {"UTF-8 without a mark", "utf8.cue", "TITLE \"Dd\xC3\xA9\"\nFILE \"utf8.bin\" BINARY\n" + kTrack, "utf8.bin", 1,
         1, {}, "Dd\xC3\xA9"},
        {"Latin-1", "latin.cue", "TITLE \"Dd\xE9\"\nFILE \"latin.bin\" BINARY\n" + kTrack, "latin.bin", 1, 1, {},
         "Dd\xC3\xA9"},
        {"a 100 KB title", "long.cue", "TITLE \"" + std::string(100000, 'x') + "\"\nFILE \"long.bin\" BINARY\n" + kTrack,
         "long.bin", 1, 1, {}, std::string(CddbTextLimit, 'x')},

        {"CDTEXTFILE naming another file", "cdtext.cue",
         "CDTEXTFILE \"/etc/passwd\"\nFILE \"cdtext.bin\" BINARY\n" + kTrack, "cdtext.bin", 1, 0},
        {"CDTEXTFILE naming a FIFO", "cdfifo.cue", "CDTEXTFILE \"pipe\"\nFILE \"cdfifo.bin\" BINARY\n" + kTrack,
         "cdfifo.bin", 1, 0, {"pipe"}, {}, "CD-TEXT file"},
        {"an unknown keyword", "odd.cue", "FILE \"odd.bin\" BINARY\n" + kTrack + "SIDECAR \"x.dat\"\n", "odd.bin", 1, 0},
        {"the .bin a FIFO", "pipebin.cue", "FILE \"pipebin.bin\" BINARY\n" + kTrack, nullptr, 0, 0, {"pipebin.bin"}},
        {"the .cue a FIFO", "pipecue.cue", "", "pipecue.bin", 1, 0, {"pipecue.cue"}},
        {"two names for the .bin but for case", "twice.cue", "FILE \"Twice.bin\" BINARY\n" + kTrack, "twice.bin", 1, 0,
         {"TWICE.BIN"}},
        {"another name", "other.cue", "FILE \"ours.bin\" BINARY\n" + kTrack, "other.bin", 1, 0},
        {"100 tracks", "hundred.cue", hundred, "hundred.bin", 200, 0, {}, {}, "track number 100"},
        {"TRACK 00", "zero.cue", "FILE \"zero.bin\" BINARY\n TRACK 00 AUDIO\n INDEX 01 00:00:00\n", "zero.bin", 1, 0},
        {"tracks out of order", "skip.cue", "FILE \"skip.bin\" BINARY\n" + kTrack + " TRACK 03 AUDIO\n INDEX 01 00:00:01\n",
         "skip.bin", 2, 0},
        {"MOTOROLA byte order", "moto.cue", "FILE \"moto.bin\" MOTOROLA\n" + kTrack, "moto.bin", 1, 0},
        {"an empty .bin", "empty.cue", "FILE \"empty.bin\" BINARY\n" + kTrack, "empty.bin", 0, 0},
        {"a track past the end", "short.cue",
         "FILE \"short.bin\" BINARY\n" + kTrack + " TRACK 02 AUDIO\n INDEX 01 00:00:05\n", "short.bin", 5, 0},
        {"a .bin of part sectors", "part.cue", "FILE \"part.bin\" BINARY\n" + kTrack, "part.bin", -1, 0},
        {"a .bin longer than a CD", "huge.cue", "FILE \"huge.bin\" BINARY\n" + kTrack, "huge.bin", -2, 0, {}, {}, "longer than a CD"},
    };
}

void writeCase(const std::string& folder, const CueCase& c) {
    for (const char* fifo : c.fifos) makeFifo(folder + "/" + fifo);
    if (c.cue.empty()) {
        ASSERT_FALSE(c.fifos.empty());
    } else {
        testenv::writeFile(folder + "/" + c.cueName, c.cue);
    }
    if (!c.binName) return;
    const std::string bin = folder + "/" + c.binName;
    if (c.binSectors == -1) {
        testenv::writeFile(bin, binBytes(1) + "tail");
    } else if (c.binSectors == -2) {
        testenv::writeFile(bin, "");
        ASSERT_EQ(::truncate(bin.c_str(), 4LL << 30), 0);  // 4 GiB, sparse: takes no room
    } else {
        testenv::writeFile(bin, binBytes(c.binSectors));
    }
}

// Every case, alone in a folder: the list offers it exactly when the
// grabber reads it, with the number of tracks the cue gives and the first
// sector of the .bin as the first samples; nothing blocks on a FIFO.
TEST(CdCueSheets, TheListOffersExactlyWhatTheGrabberReads) {
    for (const CueCase& c : cueCases()) {
        SCOPED_TRACE(c.what);
        const std::string folder = testenv::makeTempDir("cue");
        writeCase(folder, c);
        withoutBlocking(folder, [&] {
            std::vector<std::string> rejected;
            const auto images = ListCdImages(folder, &rejected);
            EXPECT_EQ(images.size(), c.tracks > 0 ? 1u : 0u);
            EXPECT_EQ(rejected.size(), c.tracks > 0 ? 0u : 1u);
            for (const auto& line : rejected) EXPECT_NE(line.find(": "), std::string::npos) << line;

            const std::string cuePath = folder + "/" + c.cueName;
            const CdImageCheck check = CheckCdImage(cuePath);
            EXPECT_EQ(check.ok, c.tracks > 0) << check.reason;
            EXPECT_EQ(check.reason.empty(), c.tracks > 0) << check.reason;
            if (!c.reason.empty()) EXPECT_NE(check.reason.find(c.reason), std::string::npos) << check.reason;

            CdGrabber grabber;
            grabber.setImageFolder(folder);
            const int drive = cdtest::selectImageDrive(grabber, cuePath);
            if (c.tracks == 0) {
                EXPECT_EQ(drive, 0);
                return;
            }
            ASSERT_NE(drive, 0);
            grabber.setDriveIndex(drive);
            ASSERT_TRUE(grabber.readToc()) << grabber.tocProblem();
            EXPECT_EQ(grabber.trackCount(), c.tracks);
            if (!c.album.empty()) {
                ASSERT_TRUE(grabber.cddbQuery(2));
                EXPECT_EQ(grabber.cddbAlbum().toStdString(), c.album);
            }
            ASSERT_TRUE(grabber.openTrack(1)) << grabber.lastError();
            const AudioBlock block = grabber.readBlock(588 * 2);
            ASSERT_EQ(block.size(), 588 * 2);
            EXPECT_EQ(std::memcmp(block.samples.data(), binBytes(1).data(), kSector), 0);
        });
    }
}

// The encodings other rippers write: a UTF-8 cue (with or without a
// byte-order mark) is read as UTF-8, anything else as Latin-1, so neither
// the list nor the names of the rip files turn into mojibake.
TEST(CdCueSheets, TextIsUtf8WhenItIsValidUtf8ElseLatin1) {
    CdCueSheet sheet;
    const std::string body = "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nTITLE \"Hyperballad\"\nINDEX 01 00:00:00\n";
    ASSERT_EQ(ParseCdCueSheet("PERFORMER \"Bj\xC3\xB6rk\"\n" + body, &sheet), "");
    EXPECT_EQ(sheet.performer, "Bj\xC3\xB6rk");
    EXPECT_EQ(sheet.tracks.at(0).title, "Hyperballad");
    ASSERT_EQ(ParseCdCueSheet("\xEF\xBB\xBFPERFORMER \"Bj\xC3\xB6rk\"\n" + body, &sheet), "");
    EXPECT_EQ(sheet.performer, "Bj\xC3\xB6rk");
    ASSERT_EQ(ParseCdCueSheet("PERFORMER \"Bj\xF6rk\"\n" + body, &sheet), "");
    EXPECT_EQ(sheet.performer, "Bj\xC3\xB6rk");
    // A quote inside a title does not cut it short; control characters go.
    ASSERT_EQ(ParseCdCueSheet("TITLE \"Say \"Hi\" \x01now\"\n" + body, &sheet), "");
    EXPECT_EQ(sheet.title, "Say \"Hi\" now");
    EXPECT_NE(ParseCdCueSheet(std::string("FILE \"a.bin\" BINARY\0", 21) + kTrack, &sheet), "");
    EXPECT_NE(ParseCdCueSheet("FILE \"../a.bin\" BINARY\n" + kTrack, &sheet), "");
}

// An image offered as a drive whose cue is then changed to name a FIFO as
// its CD-TEXT file: the table's read refuses it at once and says why, and
// the FIFO is never opened.
TEST(CdCueSheets, TheReaderRefusesWhatTheCheckRefuses) {
    const std::string folder = testenv::makeTempDir("cue");
    const cdtest::Image image = cdtest::makeThreeTrackImage(folder);
    makeFifo(folder + "/text.cdt");
    CdGrabber grabber;
    grabber.setImageFolder(folder);
    cdtest::selectImageDrive(grabber, image.cue);
    ASSERT_EQ(grabber.drivePath(), image.cue);
    ASSERT_TRUE(grabber.readToc());
    testenv::writeFile(image.cue, "CDTEXTFILE \"text.cdt\"\r\n" + testenv::readFile(image.cue));
    withoutBlocking(folder, [&] {
        EXPECT_FALSE(grabber.readToc());
        EXPECT_EQ(grabber.trackCount(), 0);
        EXPECT_NE(grabber.tocProblem().find("CD-TEXT file"), std::string::npos) << grabber.tocProblem();
        EXPECT_FALSE(grabber.openTrack(1));
    });
}

// The drive road (paranoia through libcdio) reads an image whose names
// differ in case, from a private cue that libcdio gets beside a link to the
// checked .bin, and leaves nothing behind once the track is closed.
TEST(CdCueSheets, TheDriveRoadReadsTheCheckedBinAndCleansUp) {
    const std::string folder = testenv::makeTempDir("cue");
    const std::string tmp = testenv::makeTempDir("tmp");
    testenv::ScopedEnv env("TMPDIR", tmp.c_str());
    cdtest::Image image = cdtest::makeThreeTrackImage(folder, "LOUD");
    ASSERT_EQ(::rename(image.bin.c_str(), (folder + "/LOUD.BIN").c_str()), 0);
    CdGrabber grabber;
    grabber.setImageFolder(folder);
    cdtest::selectImageDrive(grabber, image.cue);
    ASSERT_EQ(grabber.drivePath(), image.cue);
    grabber.setParanoiaForImages(true);
    grabber.setGrabMode(CdGrabber::GrabSecure);
    ASSERT_TRUE(grabber.readToc()) << grabber.tocProblem();
    ASSERT_TRUE(grabber.openTrack(2));
    cdtest::Pcm got;
    for (AudioBlock b; !(b = grabber.readBlock(44100)).empty();) got.insert(got.end(), b.samples.begin(), b.samples.end());
    EXPECT_EQ(grabber.lastError(), 0);
    EXPECT_TRUE(got == image.padded[1]);
    grabber.closeTrack();
    DIR* dir = ::opendir(tmp.c_str());
    ASSERT_NE(dir, nullptr);
    int entries = 0;
    while (dirent* e = ::readdir(dir)) entries += e->d_name[0] != '.';
    ::closedir(dir);
    EXPECT_EQ(entries, 0);
}

// A closed track has let go of everything it took by the time the close
// returns, however late the reading thread gets the processor back: the
// private folder is gone and the next open finds the drive free. Busy
// threads keep every core taken, so the thread's last steps come late.
TEST(CdCueSheets, AClosedTrackLeavesNothingBehindWhenItReturns) {
    const std::string folder = testenv::makeTempDir("cue");
    const std::string tmp = testenv::makeTempDir("tmp");
    testenv::ScopedEnv env("TMPDIR", tmp.c_str());
    cdtest::Image image = cdtest::makeThreeTrackImage(folder, "busy");
    CdGrabber grabber;
    grabber.setImageFolder(folder);
    cdtest::selectImageDrive(grabber, image.cue);
    grabber.setParanoiaForImages(true);
    ASSERT_TRUE(grabber.readToc()) << grabber.tocProblem();

    std::atomic<bool> stop{false};
    std::vector<std::thread> busy;
    for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
        busy.emplace_back([&] {
            while (!stop.load(std::memory_order_relaxed)) {
            }
        });
    int leftBehind = 0;
    for (int round = 0; round < 40 && leftBehind == 0; ++round) {
        // The busy threads must be stopped whatever fails here.
        if (!grabber.openTrack(1 + round % 3)) {
            ADD_FAILURE() << "track " << 1 + round % 3 << " does not open";
            break;
        }
        grabber.readBlock(588);
        grabber.closeTrack();
        DIR* dir = ::opendir(tmp.c_str());
        if (!dir) {
            ADD_FAILURE() << tmp << " cannot be listed";
            break;
        }
        while (dirent* e = ::readdir(dir)) leftBehind += e->d_name[0] != '.';
        ::closedir(dir);
    }
    stop = true;
    for (auto& t : busy) t.join();
    EXPECT_EQ(leftBehind, 0);
}

// The window's disc changes only when the selected image's own .cue or
// .bin does: files written beside it, another image written into the
// folder, are no media change; a rewrite of its .bin is.
TEST(CdCueSheets, OnlyTheSelectedImagesOwnFilesAreAMediaChange) {
    const std::string folder = testenv::makeTempDir("cue");
    const cdtest::Image image = cdtest::makeThreeTrackImage(folder, "mine");
    CdGrabber grabber;
    grabber.setImageFolder(folder);
    cdtest::selectImageDrive(grabber, image.cue);
    ASSERT_EQ(grabber.drivePath(), image.cue);
    ASSERT_TRUE(grabber.readToc());
    QSignalSpy spy(&grabber, &CdGrabber::mediaChange);
    grabber.setMediaPolling(true);
    testenv::writeFile(folder + "/notes.txt", "unrelated");
    cdtest::makeThreeTrackImage(folder, "another");
    const std::string other = testenv::makeTempDir("other");
    cdtest::makeImage(other, "third", {{cdtest::tone(1.0), "", ""}});
    ASSERT_EQ(::rename((other + "/third.bin").c_str(), (folder + "/third.bin").c_str()), 0);
    ASSERT_EQ(::rename((other + "/third.cue").c_str(), (folder + "/third.cue").c_str()), 0);
    EXPECT_FALSE(spy.wait(1500));
    EXPECT_EQ(spy.count(), 0);
    cdtest::makeImage(other, "mine", {{cdtest::tone(1.0), "", ""}});
    ASSERT_EQ(::rename((other + "/mine.bin").c_str(), image.bin.c_str()), 0);
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.count(), 1);
    grabber.setMediaPolling(false);
}

}  // namespace
