// Our own files: the exact bytes written, that they read back to the same
// rows, and that a save that cannot happen leaves what was there.

#include <gtest/gtest.h>

#include <filesystem>

#include "library/playlists/m3u.h"
#include "library/playlists/pls.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

const std::vector<PlaylistRow> kThreeRows = {
    {"Song One.mp3", "03:07", "/home/u/Music/Song One.mp3"},
    {"Untimed, with comma", "", "/home/u/Music/x.ogg"},
    {"Long=Mix", "100:05", "/home/u/Music/a=b/long.wav"},
};

// Names and paths with every character the formats give a meaning to.
std::vector<PlaylistRow> awkwardRows() {
    return {
        {"a, b, c", "00:00", "/m/one.mp3"},
        {"x=y=z", "59:59", "/m/eq=uals.ogg"},
        {"#EXTINF:9,not a header", "100:05", "/m/two.wma"},
        {"ratio 3:4", "", "/m/colon:file.mp3"},
        {"Ёлка — 日本語 🎵", "01:02", "/m/ünïcødé/Ёлка.mp3"},
        {"", "00:01", "/m/empty name.mp3"},
        {" padded ", "1000:00", "/m/ leading space.mp3"},
        {"[playlist]", "00:59", "/m/File1=odd.mp3"},
    };
}

}  // namespace

TEST(PlaylistWriters, M3uBytesAreExact) {
    EXPECT_EQ(RenderM3u(kThreeRows),
              "#EXTM3U\r\n"
              "#EXTINF:187,Song One.mp3\r\n"
              "/home/u/Music/Song One.mp3\r\n"
              "#EXTINF:-1,Untimed, with comma\r\n"
              "/home/u/Music/x.ogg\r\n"
              "#EXTINF:6005,Long=Mix\r\n"
              "/home/u/Music/a=b/long.wav\r\n");
    EXPECT_EQ(RenderM3u({}), "#EXTM3U\r\n");
}

TEST(PlaylistWriters, PlsBytesAreExactAndNameTheListAsTyped) {
    EXPECT_EQ(RenderPls(kThreeRows, "/home/u/lists/best.of"),
              "[playlist]\r\n"
              "PlaylistName=Playlist best.of\r\n"
              "File1=/home/u/Music/Song One.mp3\r\n"
              "Title1=Song One.mp3\r\n"
              "Length1=187\r\n"
              "File2=/home/u/Music/x.ogg\r\n"
              "Title2=Untimed, with comma\r\n"
              "Length2=-1\r\n"
              "File3=/home/u/Music/a=b/long.wav\r\n"
              "Title3=Long=Mix\r\n"
              "Length3=6005\r\n"
              "NumberOfEntries=3\r\n"
              "Version=2\r\n");
    EXPECT_EQ(RenderPls({}, "/l/mylist.pls"),
              "[playlist]\r\nPlaylistName=Playlist mylist.pls\r\nNumberOfEntries=0\r\nVersion=2\r\n");
}

TEST(PlaylistWriters, NamesWithLineBreaksStayOnOneLine) {
    const std::vector<PlaylistRow> rows = {{"two\r\nlines\nhere", "00:10", "/m/a.mp3"}, {"next", "", "/m/b.mp3"}};
    const std::vector<PlaylistRow> expected = {{"two  lines here", "00:10", "/m/a.mp3"}, {"next", "", "/m/b.mp3"}};
    EXPECT_EQ(ParseM3u(RenderM3u(rows), "").rows(), expected);
    EXPECT_EQ(ParsePls(RenderPls(rows, "x.pls"), "").rows(), expected);
}

// Our own files read back to the same rows, from any folder, and writing
// what was read gives the same file again.
TEST(PlaylistRoundTrip, OwnFilesReadBackToTheSameRows) {
    const std::string dir = testenv::makeTempDir();
    const auto rows = awkwardRows();

    ASSERT_TRUE(WriteM3uPlaylist(dir + "/last.m3u", rows));
    EXPECT_EQ(testenv::readFile(dir + "/last.m3u"), RenderM3u(rows));
    const auto m3u = ReadM3uPlaylist(dir + "/last.m3u");
    EXPECT_TRUE(m3u.ok);
    EXPECT_EQ(m3u.skipped, 0);
    EXPECT_EQ(m3u.rows(), rows);

    ASSERT_TRUE(WritePlsPlaylist(dir + "/set.pls", rows, dir + "/set"));
    EXPECT_EQ(testenv::readFile(dir + "/set.pls"), RenderPls(rows, "set"));
    const auto pls = ReadPlsPlaylist(dir + "/set.pls");
    EXPECT_TRUE(pls.ok);
    EXPECT_EQ(pls.skipped, 0);
    EXPECT_EQ(pls.rows(), rows);

    // Overwriting replaces the whole content, a shorter list included.
    ASSERT_TRUE(WriteM3uPlaylist(dir + "/last.m3u", {}));
    EXPECT_EQ(testenv::readFile(dir + "/last.m3u"), "#EXTM3U\r\n");
    EXPECT_TRUE(ReadM3uPlaylist(dir + "/last.m3u").entries.empty());
}

TEST(PlaylistSave, FailureIsReportedAndLeavesWhatWasThere) {
    const std::string dir = testenv::makeTempDir();
    const std::vector<PlaylistRow> rows = {{"a", "00:01", "/m/a.mp3"}};

    // The folder is missing.
    auto r = WriteM3uPlaylist(dir + "/no such folder/list.m3u", rows);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_FALSE(WritePlsPlaylist(dir + "/no such folder/list.pls", rows, "list.pls").ok);
    EXPECT_FALSE(fs::exists(dir + "/no such folder"));

    // A path with a line break would break the file apart: refused, and the
    // previous list stays as it was.
    ASSERT_TRUE(WriteM3uPlaylist(dir + "/good.m3u", rows));
    const std::string before = testenv::readFile(dir + "/good.m3u");
    const std::vector<PlaylistRow> broken = {{"a", "", "/m/a.mp3"}, {"b", "", "/m/line\nbreak.mp3"}};
    r = WriteM3uPlaylist(dir + "/good.m3u", broken);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("line break"), std::string::npos);
    EXPECT_FALSE(WritePlsPlaylist(dir + "/good.m3u", broken, "good.m3u").ok);
    EXPECT_EQ(testenv::readFile(dir + "/good.m3u"), before);

    // Nothing but the lists themselves is left in the folder.
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
}

TEST(PlaylistRead, MissingOrUnreadableFileIsAnErrorNotAThrow) {
    const std::string dir = testenv::makeTempDir();
    auto r = ReadM3uPlaylist(dir + "/gone.m3u");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Cannot open file " + dir + "/gone.m3u");
    EXPECT_TRUE(r.entries.empty());
    EXPECT_FALSE(ReadPlsPlaylist(dir).ok);  // a folder
}
