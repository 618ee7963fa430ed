#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
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

    ASSERT_TRUE(WriteFileAtomically(dir + "/fresh.txt", "x"));
    EXPECT_EQ(testenv::readFile(dir + "/fresh.txt"), "x");
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
