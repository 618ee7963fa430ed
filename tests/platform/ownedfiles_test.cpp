// The marks that tell a killed process's work files from a running one's:
// a process id in a temporary folder's name, a lock held on a file or a
// folder with a fixed name; and this process's folders going at its exit.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ownedfiles.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

// A process id that no longer runs.
pid_t GonePid() {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    return gone;
}

TEST(OwnedFiles, TemporaryFoldersOfEndedProcessesGoAndOthersStay) {
    const std::string tmp = testenv::makeTempDir("tmp");
    testenv::ScopedEnv env("TMPDIR", tmp.c_str());
    const std::string gone = std::to_string(GonePid());
    const std::vector<std::string> kept = {"tunevale-cd-" + std::to_string(::getpid()) + "-abcDE1",
                                           "tunevale-cd-" + std::to_string(::getppid()) + "-abcDE2",
                                           "tunevale-cd-abcDE3", "other-" + gone + "-abcDE4",
                                           "tunevale-cd-" + gone + "-abc"};
    for (const auto& name : kept) fs::create_directory(tmp + "/" + name);
    fs::create_directories(tmp + "/tunevale-cd-" + gone + "-abcDE5/deep");
    testenv::writeFile(tmp + "/tunevale-cd-" + gone + "-abcDE5/deep/track01.wav", "pcm");
    // A link in the way is removed itself, never followed.
    const std::string outside = testenv::makeTempDir("outside");
    testenv::writeFile(outside + "/keep", "k");
    fs::create_directory_symlink(outside, tmp + "/tunevale-cd-" + gone + "-abcDE5/link");

    RemoveAbandonedTemporaryFolders(TemporaryFolder(), kAudioCdCachePrefix);
    EXPECT_FALSE(fs::exists(tmp + "/tunevale-cd-" + gone + "-abcDE5"));
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(tmp + "/" + name)) << name;
    EXPECT_TRUE(fs::exists(outside + "/keep"));
}

TEST(OwnedFiles, AFolderLeftAtExitGoesButNotTheParentsAfterAFork) {
    const std::string tmp = testenv::makeTempDir("tmp");
    testenv::ScopedEnv env("TMPDIR", tmp.c_str());
    auto* mine = new OwnedTemporaryFolder(kAudioCdCachePrefix);
    ASSERT_TRUE(mine->isValid());
    EXPECT_EQ(mine->path().rfind(tmp + "/tunevale-cd-" + std::to_string(::getpid()) + "-", 0), 0u);
    const int status = testenv::inChild([&] {
        // A child's exit leaves its parent's folder alone and takes its own,
        // whose destructor never ran.
        new OwnedTemporaryFolder(kAudioCdDrivePrefix);
        std::exit(0);
        return 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::exists(mine->path()));
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(tmp)) entries += entry.exists();
    EXPECT_EQ(entries, 1u) << "the child's folder went at its exit";
    const std::string path = mine->path();
    delete mine;
    EXPECT_FALSE(fs::exists(path));
}

TEST(OwnedFiles, APartOrFolderIsRemovedOnlyOnceItsHolderHasEnded) {
    const std::string dir = testenv::makeTempDir("parts");
    const std::string part = dir + "/Data CD.iso.part", staging = dir + "/burnquilltemp";
    // Made and held by a process that then ended.
    ASSERT_EQ(testenv::inChild([&] {
                  PosixFile file = CreateOwnedFile(part, O_WRONLY);
                  PosixFile folder = OwnFolder(staging);
                  testenv::writeFile(staging + "/song.mp3", "x");
                  return file.isOpen() && folder.isOpen() ? 0 : 1;
              }),
              0);
    {
        // Held here: another process's sweep (or ours) leaves them.
        PosixFile held = CreateOwnedFile(dir + "/Audio CD.bin.part", O_WRONLY);
        PosixFile heldFolder = OwnFolder(dir + "/held");
        ASSERT_TRUE(held.isOpen());
        ASSERT_TRUE(heldFolder.isOpen());
        EXPECT_FALSE(RemoveIfAbandoned(dir + "/Audio CD.bin.part"));
        EXPECT_FALSE(RemoveIfAbandoned(dir + "/held"));
        EXPECT_TRUE(fs::exists(dir + "/Audio CD.bin.part"));
        EXPECT_TRUE(fs::exists(dir + "/held"));
        // A part already there is not taken over.
        EXPECT_FALSE(CreateOwnedFile(dir + "/Audio CD.bin.part", O_WRONLY).isOpen());
    }
    // A file changed in place is marked while it is open.
    testenv::writeFile(dir + "/image.iso", "iso");
    {
        PosixFile mark = MarkExistingFile(dir + "/image.iso");
        ASSERT_TRUE(mark.isOpen());
        EXPECT_FALSE(MarkExistingFile(dir + "/image.iso").isOpen());
    }
    EXPECT_TRUE(MarkExistingFile(dir + "/image.iso").isOpen());
    EXPECT_FALSE(MarkExistingFile(dir + "/missing.iso").isOpen());

    EXPECT_TRUE(RemoveIfAbandoned(part));
    EXPECT_TRUE(RemoveIfAbandoned(staging));
    EXPECT_TRUE(RemoveIfAbandoned(dir + "/Audio CD.bin.part"));
    EXPECT_FALSE(RemoveIfAbandoned(dir + "/missing"));
    EXPECT_FALSE(fs::exists(part));
    EXPECT_FALSE(fs::exists(staging));
    EXPECT_FALSE(fs::exists(dir + "/Audio CD.bin.part"));
}

}  // namespace
