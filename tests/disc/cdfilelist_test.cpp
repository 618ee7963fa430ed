// The CD file list: what the writers save reads back the same, and a list
// from elsewhere is read tolerantly without ever opening what it names.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "disc/cdfilelist.h"
#include "testenv.h"

TEST(CdFileList, SavesCrLfLinesAndReadsThemBack) {
    const std::string dir = testenv::makeTempDir("cfl");
    const std::vector<std::string> paths{"/music/a.mp3", "/music/with blank/b.ogg", "/music/\xc3\xa9t\xc3\xa9.wav",
                                         "/music/latin1-\xe9.wma"};
    const std::string file = dir + "/" + "mylist.cfl";
    std::string error;
    ASSERT_TRUE(WriteCdFileList(file, paths, &error)) << error;
    EXPECT_EQ(testenv::readFile(file),
              "/music/a.mp3\r\n/music/with blank/b.ogg\r\n/music/\xc3\xa9t\xc3\xa9.wav\r\n/music/latin1-\xe9.wma\r\n");
    std::vector<std::string> back;
    ASSERT_TRUE(ReadCdFileList(file, &back, &error)) << error;
    EXPECT_EQ(back, paths);

    // Names a line cannot carry are left out rather than split in two.
    EXPECT_EQ(RenderCdFileList({"/a", "", "/b\nFILE x", "/c"}), "/a\r\n/c\r\n");
}

TEST(CdFileList, ReadsListsFromElsewhereTolerantly) {
    const std::string overlong = "/" + std::string(CdFileListMaxLine, 'x');
    const std::string bytes = std::string("/lf.mp3\n/crlf.mp3\r\n\r\n\n/cr.mp3\r/nul") + '\0' + "x.mp3\r\n" + overlong +
                              "\r\nC:\\Music\\win.wma\r\n/last-without-end.ogg";
    EXPECT_EQ(ParseCdFileList(bytes),
              (std::vector<std::string>{"/lf.mp3", "/crlf.mp3", "/cr.mp3", "C:\\Music\\win.wma", "/last-without-end.ogg"}));
    EXPECT_TRUE(ParseCdFileList("").empty());
    EXPECT_TRUE(ParseCdFileList("\r\n\r\n").empty());
}

TEST(CdFileList, NeverReadsSpecialFiles) {
    const std::string dir = testenv::makeTempDir("cflspecial");
    const std::string fifo = dir + "/list.cfl";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::string> paths{"stale"};
    std::string error;
    // A FIFO would block the read forever; it is refused at once.
    EXPECT_FALSE(ReadCdFileList(fifo, &paths, &error));
    EXPECT_TRUE(paths.empty());
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ReadCdFileList("/dev/zero", &paths, &error));
    EXPECT_FALSE(ReadCdFileList(dir, &paths, &error));

    const std::string file = dir + "/a.mp3";
    testenv::writeFile(file, "x");
    const std::vector<std::pair<std::string, ListedEntryKind>> entries{
        {file, ListedEntryKind::RegularFile}, {dir, ListedEntryKind::Folder},
        {fifo, ListedEntryKind::Special},     {"/dev/null", ListedEntryKind::Special},
        {dir + "/gone.mp3", ListedEntryKind::Missing}, {"", ListedEntryKind::Missing},
    };
    for (const auto& [path, kind] : entries) EXPECT_EQ(InspectListedEntry(path), kind) << path;
}

TEST(CdFileList, SaveNameTakesTheListExtension) {
    const std::vector<std::pair<std::string, std::string>> names{
        {"/home/u/mylist.txt", "/home/u/mylist.cfl"}, {"/home/u/mylist", "/home/u/mylist.cfl"},
        {"/home/u/mylist.cfl", "/home/u/mylist.cfl"}, {"/home/u.d/list", "/home/u.d/list.cfl"},
        {"/home/u/.hidden", "/home/u/.hidden.cfl"},   {"a.b.c", "a.b.cfl"},
    };
    for (const auto& [chosen, saved] : names) EXPECT_EQ(CdFileListName(chosen), saved) << chosen;
}
