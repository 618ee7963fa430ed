// The folder walk on trees that would trap a naive one: a link back to a
// parent, a link to a folder met elsewhere, a FIFO and a broken link under
// audio names.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/folderwalk.h"

namespace fs = std::filesystem;

namespace {

class FolderWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/walkXXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directories(root_ + "/a");
        fs::create_directories(root_ + "/skip");
        std::ofstream(root_ + "/a/x.mp3") << "x";
        std::ofstream(root_ + "/skip/y.mp3") << "y";
        fs::create_directory_symlink(root_, root_ + "/a/loop");
        fs::create_directory_symlink(root_ + "/a", root_ + "/dirlink");
        fs::create_symlink(root_ + "/a/x.mp3", root_ + "/link.mp3");
        fs::create_symlink(root_ + "/missing.mp3", root_ + "/broken.mp3");
        ASSERT_EQ(::mkfifo((root_ + "/fifo.mp3").c_str(), 0600), 0);
    }
    void TearDown() override { fs::remove_all(root_); }

    // Relative path -> regular, for every file reported.
    std::map<std::string, bool> walk(const std::string& from, int* reports = nullptr) {
        std::map<std::string, bool> files;
        FolderWalk w;
        w.enter = [](std::string_view name) { return name != "skip"; };
        w.file = [&](const std::string& path, std::string_view, bool regular) {
            const std::string rel = fs::path(path).lexically_relative(root_).string();
            if (reports) ++*reports;
            files[rel] = regular;
        };
        EXPECT_TRUE(WalkFolder(from, w));
        return files;
    }

    std::string root_;
};

}  // namespace

TEST_F(FolderWalkTest, EachFolderOnceNoFolderLinksOnlyRegularFilesCountAsSuch) {
    int reports = 0;
    const auto files = walk(root_, &reports);
    const std::map<std::string, bool> want = {
        {"a/x.mp3", true}, {"link.mp3", true}, {"broken.mp3", false}, {"fifo.mp3", false}};
    EXPECT_EQ(files, want);
    EXPECT_EQ(reports, 4) << "a file reached twice";
}

TEST_F(FolderWalkTest, TheChosenFolderMayItselfBeALink) {
    const auto files = walk(root_ + "/dirlink");
    // Reported under the path walked, below the link.
    EXPECT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, "dirlink/x.mp3");
}

TEST_F(FolderWalkTest, AnEntryCallbackStopsTheWalkAtEveryLevel) {
    FolderWalk w;
    int entries = 0;
    w.entry = [&](const std::string&) { return ++entries < 2; };
    int files = 0;
    w.file = [&](const std::string&, std::string_view, bool) { ++files; };
    EXPECT_FALSE(WalkFolder(root_, w));
    EXPECT_EQ(entries, 2);
    EXPECT_LE(files, 1);
}

TEST_F(FolderWalkTest, AFolderNamedNeverIsNotEnteredByAnyPath) {
    // A walk that copies into a folder of the tree it walks must not walk
    // its copies: neither by its own name nor through a link to it.
    FolderWalk w;
    w.never = {root_ + "/a"};
    std::map<std::string, bool> files;
    w.file = [&](const std::string& path, std::string_view, bool regular) {
        files[fs::path(path).lexically_relative(root_).string()] = regular;
    };
    EXPECT_TRUE(WalkFolder(root_, w));
    EXPECT_EQ(files.count("a/x.mp3"), 0u);
    EXPECT_EQ(files.count("skip/y.mp3"), 1u);
    files.clear();
    EXPECT_TRUE(WalkFolder(root_ + "/dirlink", w));
    EXPECT_TRUE(files.empty()) << "the chosen folder is that folder itself";
}
