// The grabber on generated cue/bin images: the table, CD-TEXT, exact reads
// in every grab mode through both roads (the image's own and the drive's
// paranoia road), the cues that are not offered, and damaged images under
// every error action.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "cdimagemaker.h"
#include "components/disc/cdgrabber.h"
#include "components/disc/cdimages.h"
#include "testenv.h"

namespace {

using cdtest::Pcm;

Pcm readWhole(CdGrabber& grabber, int track, int64_t block) {
    Pcm out;
    EXPECT_TRUE(grabber.openTrack(track)) << grabber.lastError();
    for (int guard = 0; guard < 100000; ++guard) {
        AudioBlock b = grabber.readBlock(block);
        if (b.empty() && grabber.lastError() == 0) break;
        out.insert(out.end(), b.samples.begin(), b.samples.end());
        if (b.empty() && grabber.position() >= grabber.trackLength()) break;
    }
    grabber.closeTrack();
    return out;
}

struct GrabberFixture : ::testing::Test {
    std::string folder = testenv::makeTempDir("cd");
    cdtest::Image image = cdtest::makeThreeTrackImage(folder);
    CdGrabber grabber;
    void SetUp() override {
        grabber.setImageFolder(folder);
        ASSERT_GT(cdtest::selectImageDrive(grabber, image.cue), 0);
    }
};

TEST_F(GrabberFixture, TableLengthsAndCdText) {
    EXPECT_EQ(grabber.driveShortName(), "disc.cue");
    EXPECT_EQ(grabber.driveName(), QString::fromStdString("Image " + image.cue));
    ASSERT_TRUE(grabber.readToc()) << grabber.tocProblem();
    ASSERT_EQ(grabber.trackCount(), 3);
    EXPECT_EQ(grabber.tableOfContents().trackLsn, (std::vector<int32_t>{0, 375, 690}));
    EXPECT_EQ(grabber.tableOfContents().leadoutLsn, 1141);
    const int64_t frames[] = {375 * 588, 315 * 588, 451 * 588};
    for (int t = 1; t <= 3; ++t) {
        grabber.setTrack(t);
        EXPECT_EQ(grabber.trackLength(), frames[t - 1]);
        EXPECT_EQ(static_cast<std::size_t>(grabber.trackLength() * 2), image.padded[t - 1].size());
    }
    // Without a cache entry the image's CD-TEXT is what is known.
    ASSERT_TRUE(grabber.cddbQuery(2));
    EXPECT_EQ(grabber.cddbArtist(), "Test Artist");
    EXPECT_EQ(grabber.cddbAlbum(), "Test Album");
    grabber.setTrack(2);
    EXPECT_EQ(grabber.cddbTrackTitle(), "Quiet");
    grabber.setTrack(9);
    EXPECT_EQ(grabber.cddbTrackTitle(), "");
    EXPECT_FALSE(grabber.openTrack(4));
    EXPECT_NE(grabber.lastError(), 0);
}

// Every grab mode, on the image road and on the drive's paranoia road, gives
// each track back byte for byte, with its padding: the tone that ends right
// before the silent track is the case overlap checking alone gets wrong. A
// seek lands on its frame, and the last block is short.
TEST_F(GrabberFixture, ExactInEveryGrabModeOnBothRoadsWithSeeksAndShortBlocks) {
    for (bool paranoia : {false, true}) {
        for (int mode = 0; mode < 4; ++mode) {
            SCOPED_TRACE("paranoia " + std::to_string(paranoia) + " mode " + std::to_string(mode));
            grabber.setParanoiaForImages(paranoia);
            grabber.setGrabMode(mode);
            ASSERT_TRUE(grabber.readToc());
            for (int t = 1; t <= 3; ++t) {
                const Pcm got = readWhole(grabber, t, 2 * (1000 + 77 * t));
                EXPECT_TRUE(got == image.padded[t - 1]) << "track " << t;
            }
        }
        ASSERT_TRUE(grabber.openTrack(3));
        ASSERT_TRUE(grabber.seek(100000));
        AudioBlock b = grabber.readBlock(2468);
        ASSERT_EQ(b.size(), 2468);
        EXPECT_TRUE(std::equal(b.samples.begin(), b.samples.end(), image.padded[2].begin() + 200000));
        ASSERT_TRUE(grabber.seek(grabber.trackLength() - 10));
        EXPECT_EQ(grabber.readBlock(2000).size(), 20);
        EXPECT_TRUE(grabber.readBlock(2000).empty());
        EXPECT_EQ(grabber.lastError(), 0);
        grabber.closeTrack();
        EXPECT_FALSE(grabber.trackOpen());
    }
}

// The drive road hands sectors over through a ring of four seconds: blocks
// longer than the ring, and seeks back and ahead once the reader thread
// has filled it, still give the track's own samples.
TEST_F(GrabberFixture, DriveRoadBlocksAndSeeksAcrossItsRing) {
    grabber.setParanoiaForImages(true);
    grabber.setGrabMode(CdGrabber::GrabSecure);
    ASSERT_TRUE(grabber.readToc());
    const Pcm& noise = image.padded[2];
    EXPECT_TRUE(readWhole(grabber, 3, 2 * (400 * 588 + 37)) == noise);
    ASSERT_TRUE(grabber.openTrack(3));
    auto expectAt = [&](int64_t frame, int64_t samples) {
        ASSERT_TRUE(grabber.seek(frame));
        const AudioBlock b = grabber.readBlock(samples);
        ASSERT_EQ(b.size(), samples);
        EXPECT_TRUE(std::equal(b.samples.begin(), b.samples.end(), noise.begin() + 2 * frame)) << frame;
        EXPECT_EQ(grabber.lastError(), 0);
    };
    expectAt(0, 2 * 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the ring fills
    expectAt(990, 2 * 500);          // back into the sector read last
    expectAt(100, 2 * 700);          // back to an earlier sector
    expectAt(350 * 588, 2 * 40000);  // past what the ring held
    grabber.closeTrack();
}

// Only cues of one BINARY file named after the cue itself are offered; the
// FILE line is never followed. A byte-order mark is no reason to refuse a
// cue: other rippers write one before UTF-8 text.
TEST(CdImageList, OffersOnlyWhatLibcdioReadsRight) {
    const std::string folder = testenv::makeTempDir("cues");
    cdtest::makeImage(folder, "good", {{cdtest::tone(1.0), "", ""}});
    auto variant = [&](const std::string& name, const std::string& cue, bool withBin = true) {
        testenv::writeFile(folder + "/" + name + ".cue", cue);
        if (withBin) testenv::writeFile(folder + "/" + name + ".bin", std::string(2352 * 75, '\0'));
    };
    variant("other", "FILE \"good.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n");
    variant("up", "FILE \"../up.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n");
    variant("two", "FILE \"two.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:00:00\nFILE \"two.bin\" BINARY\n"
                   " TRACK 02 AUDIO\n INDEX 01 00:00:00\n");
    variant("wave", "FILE \"wave.bin\" WAVE\n TRACK 01 AUDIO\n INDEX 01 00:00:00\n");
    variant("bom", "\xEF\xBB\xBF" "FILE \"bom.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:00:00\n");
    variant("data", "FILE \"data.bin\" BINARY\n TRACK 01 MODE1/2352\n INDEX 01 00:00:00\n");
    variant("order", "FILE \"order.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:00:10\n TRACK 02 AUDIO\n"
                     " INDEX 01 00:00:05\n");
    variant("noindex", "FILE \"noindex.bin\" BINARY\n TRACK 01 AUDIO\n TRACK 02 AUDIO\n INDEX 01 00:00:05\n");
    variant("nobin", "FILE \"nobin.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:00:00\n", false);
    variant("lf", "FILE \"lf.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:00:00\n");
    std::vector<std::string> rejected;
    const auto images = ListCdImages(folder, &rejected);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].cuePath, folder + "/bom.cue");
    EXPECT_EQ(images[1].cuePath, folder + "/good.cue");
    EXPECT_EQ(images[1].binPath, folder + "/good.bin");
    EXPECT_EQ(images[2].cuePath, folder + "/lf.cue");
    EXPECT_EQ(rejected.size(), 8u);
}

TEST(CdImageList, FolderFromEnvironmentElseUnderTheDataRoot) {
    {
        testenv::ScopedEnv env("TUNEVALE_CD_IMAGES", "/srv/images");
        EXPECT_EQ(CdImageFolder(), "/srv/images");
    }
    testenv::ScopedEnv env("TUNEVALE_CD_IMAGES", nullptr);
    EXPECT_EQ(CdImageFolder(), std::string(std::getenv("TUNEVALE_HOME")) + "/cdimages");
}

// A .bin that does not match its table makes the image unreadable: no
// track is offered that would read another track's audio or nothing.
TEST_F(GrabberFixture, TableCheckedAgainstTheBin) {
    struct Case {
        const char* what;
        off_t size;
    } cases[] = {{"not whole sectors", 2500000}, {"track 3 past the end", 500 * 2352}, {"empty", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cdtest::makeThreeTrackImage(folder);
        ASSERT_EQ(::truncate(image.bin.c_str(), c.size), 0);
        EXPECT_FALSE(grabber.readToc());
        EXPECT_EQ(grabber.trackCount(), 0);
    }
    ::unlink(image.bin.c_str());
    EXPECT_FALSE(grabber.readToc());
}

// The .bin shrinks while track 3 is read: each error action gives what it
// promises, the read always reaches the end, and the error is reported.
TEST_F(GrabberFixture, ShrinkingBinUnderEachErrorAction) {
    const int64_t keepFrames = (700 - 690) * 588;  // ten sectors of track 3 stay
    for (bool paranoia : {false, true}) {
        for (int action = 0; action < 4; ++action) {
            SCOPED_TRACE("paranoia " + std::to_string(paranoia) + " action " + std::to_string(action));
            cdtest::makeThreeTrackImage(folder);
            grabber.setParanoiaForImages(paranoia);
            grabber.setGrabMode(CdGrabber::GrabSecure);
            grabber.setErrorAction(action);
            grabber.setErrorRetry(1);
            ASSERT_TRUE(grabber.readToc());
            ASSERT_TRUE(grabber.openTrack(3));
            AudioBlock first = grabber.readBlock(2 * 588 * 2);
            ASSERT_EQ(grabber.lastError(), 0);
            ASSERT_EQ(::truncate(image.bin.c_str(), 700 * 2352), 0);
            Pcm got(first.samples);
            int errors = 0;
            const auto start = std::chrono::steady_clock::now();
            for (;;) {
                AudioBlock b = grabber.readBlock(88200);
                if (grabber.lastError() != 0) ++errors;
                else if (b.empty()) break;
                got.insert(got.end(), b.samples.begin(), b.samples.end());
                ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
            }
            grabber.closeTrack();
            EXPECT_GT(errors, 0);
            const Pcm& want = image.padded[2];
            switch (action) {
            case CdGrabber::ActionStop:
            case CdGrabber::ActionCut:
                // What was read before the damage is kept, and what lay past
                // it is gone (the drive road may have read ahead of the cut).
                EXPECT_LT(got.size(), want.size());
                if (!paranoia) EXPECT_LE(got.size(), static_cast<std::size_t>(keepFrames + 44100) * 2);
                EXPECT_TRUE(std::equal(got.begin(), got.begin() + 1176, want.begin()));
                break;
            case CdGrabber::ActionSilence:
            case CdGrabber::ActionCorrect:
                ASSERT_EQ(got.size(), want.size());
                EXPECT_TRUE(std::equal(got.begin(), got.begin() + keepFrames * 2, want.begin()));
                EXPECT_TRUE(std::all_of(got.end() - 44100, got.end(), [](int16_t s) { return s == 0; }));
                break;
            }
        }
    }
}

// Rewriting an image (as the writer does, by renaming a new file over the
// old one) is a media change of that drive.
TEST_F(GrabberFixture, RewrittenImageIsAMediaChange) {
    QSignalSpy spy(&grabber, &CdGrabber::mediaChange);
    grabber.setMediaPolling(true);
    const std::string other = testenv::makeTempDir("other");
    cdtest::makeImage(other, "disc", {{cdtest::tone(2.0), "", ""}});
    ASSERT_EQ(::rename((other + "/disc.bin").c_str(), image.bin.c_str()), 0);
    ASSERT_EQ(::rename((other + "/disc.cue").c_str(), image.cue.c_str()), 0);
    ASSERT_TRUE(spy.wait(5000));
    ASSERT_TRUE(grabber.readToc());
    EXPECT_EQ(grabber.trackCount(), 1);
    grabber.setMediaPolling(false);
}

// A drive that stops answering fails the read after the no-progress
// deadline instead of holding the caller, and the rest of the track fails
// at once; closing the track does not wait for the drive.
TEST_F(GrabberFixture, DriveThatStopsAnsweringFailsAfterTheDeadline) {
    grabber.setParanoiaForImages(true);
    grabber.setNoProgressDeadlineMs(300);
    grabber.setSectorDelayForTests(3000);
    grabber.setErrorAction(CdGrabber::ActionSilence);
    ASSERT_TRUE(grabber.readToc());
    ASSERT_TRUE(grabber.openTrack(1));
    const auto start = std::chrono::steady_clock::now();
    AudioBlock b = grabber.readBlock(2 * 588 * 2);
    EXPECT_NE(grabber.lastError(), 0);
    EXPECT_EQ(b.size(), 2 * 588 * 2);
    EXPECT_TRUE(std::all_of(b.samples.begin(), b.samples.end(), [](int16_t s) { return s == 0; }));
    grabber.readBlock(44100);
    EXPECT_NE(grabber.lastError(), 0);
    grabber.closeTrack();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST(CdDriveMounts, MountPointFromTheMountTable) {
    const std::string table =
        "22 1 253:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
        "95 22 11:0 / /media/user/My\\040Disc ro,nosuid shared:50 - iso9660 /dev/sr0 ro\n"
        "96 22 7:0 / /mnt/loop rw - ext4 /dev/loop0 rw\n";
    EXPECT_EQ(MountPointIn(table, 11, 0), "/media/user/My Disc");
    EXPECT_EQ(MountPointIn(table, 7, 0), "/mnt/loop");
    EXPECT_EQ(MountPointIn(table, 11, 1), "");
    EXPECT_EQ(MountPointOf("/nonexistent/sr9"), "");
}

}  // namespace
