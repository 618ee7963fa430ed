#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/atomicfile.h"
#include "platform/posixfile.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {
mode_t modeOf(const std::string& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}
size_t entriesIn(const std::string& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}
}  // namespace

TEST(AtomicFile, ReplacesContentAndKeepsModeAndLinks) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/a.txt";
    testenv::writeFile(file, "old content that is longer");
    ::chmod(file.c_str(), 0640);
    const std::string link = dir + "/link.txt";
    ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);

    ASSERT_TRUE(WriteFileAtomically(link, "new"));
    EXPECT_EQ(testenv::readFile(file), "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(modeOf(file), 0640u);
    EXPECT_EQ(entriesIn(dir), 2u);  // no temporary file left

    // A settings file kept elsewhere and linked in: the first save makes the
    // file the link names instead of putting a plain file over the link.
    const std::string dangling = dir + "/Tunevale.ini";
    ASSERT_EQ(::symlink("kept/settings.ini", dangling.c_str()), 0);
    fs::create_directory(dir + "/kept");
    ASSERT_TRUE(WriteFileAtomically(dangling, "[a]\r\nb=1\r\n"));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(testenv::readFile(dir + "/kept/settings.ini"), "[a]\r\nb=1\r\n");

    // Long titles in a script of three-byte characters fill a file name
    // quickly; such a file must still take a new tag or playlist.
    std::string name;
    for (int i = 0; i < 83; ++i) name += "\xE6\x9B\xB2";  // 249 bytes
    const std::string longName = dir + "/kept/" + name + ".ogg";  // 253 bytes
    testenv::writeFile(longName, "old");
    const AtomicWriteResult r = WriteFileAtomically(longName, "new");
    EXPECT_TRUE(r) << r.error;
    EXPECT_EQ(testenv::readFile(longName), "new");
    EXPECT_EQ(entriesIn(dir + "/kept"), 2u);
}

TEST(AtomicFile, FailureLeavesTheOriginalIntactAndIsReported) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/keep.dat";
    testenv::writeFile(file, "precious");

    auto r = RewriteFileAtomically(file, [](PosixFile& out, std::string* error) {
        out.write({reinterpret_cast<const uint8_t*>("partial"), 7});
        *error = "producer gave up";
        return false;
    });
    EXPECT_FALSE(r);
    EXPECT_EQ(r.error, "producer gave up");
    EXPECT_EQ(testenv::readFile(file), "precious");
    EXPECT_EQ(entriesIn(dir), 1u);

    // A folder in the way of the target cannot be replaced.
    fs::create_directory(dir + "/sub");
    EXPECT_FALSE(WriteFileAtomically(dir + "/sub", "x"));
    EXPECT_TRUE(fs::is_directory(dir + "/sub"));
    // A missing folder is an error, not a crash.
    EXPECT_FALSE(WriteFileAtomically(dir + "/missing/x.txt", "x"));
}

TEST(AtomicFile, AWriterKilledAtAnyMomentLeavesNothingBehind) {
    // Rows: unnamed temporaries, and the named ones of file systems without
    // them, swept by the next write beside them or by the sweep at start.
    for (const bool unnamed : {true, false}) {
        const std::string dir = testenv::makeTempDir("kill");
        const std::string file = dir + "/music.dat";
        const std::string a(300000, 'a'), b(200000, 'b');
        testenv::writeFile(file, a);
        ::chmod(file.c_str(), 0640);
        std::mt19937 random(unnamed ? 1 : 2);
        for (int round = 0; round < 50; ++round) {
            const pid_t child = ::fork();
            if (child == 0) {
                SetUnnamedTemporariesAllowed(unnamed);
                for (int i = 0;; ++i) WriteFileAtomically(file, i % 2 ? a : b);
            }
            ::usleep(random() % 4000);
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            const std::string now = testenv::readFile(file);
            ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
        }
        SetUnnamedTemporariesAllowed(unnamed);
        if (unnamed) ASSERT_TRUE(WriteFileAtomically(file, b));
        else RemoveStaleTemporaries(dir);
        SetUnnamedTemporariesAllowed(true);
        EXPECT_EQ(entriesIn(dir), 1u) << (unnamed ? "unnamed" : "named");
        EXPECT_EQ(modeOf(file), 0640u);
    }
}

TEST(AtomicFile, TheSweepSparesTemporariesOfRunningWriters) {
    const std::string dir = testenv::makeTempDir();
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::vector<std::string> kept = {"x.tmp-" + std::to_string(::getpid()) + "-abcDE1",
                                           "x.tmp-" + std::to_string(::getppid()) + "-abcDE2",
                                           "notes.tmp-" + std::to_string(gone) + "-short", "x.tmp-" + std::to_string(gone)};
    for (const auto& name : kept) testenv::writeFile(dir + "/" + name, "k");
    testenv::writeFile(dir + "/x.tmp-" + std::to_string(gone) + "-abcDE3", "stale");
    RemoveStaleTemporaries(dir);
    EXPECT_EQ(entriesIn(dir), kept.size());
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(dir + "/" + name)) << name;
}
