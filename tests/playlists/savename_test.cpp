#include <gtest/gtest.h>

#include "library/playlists/playlistformat.h"
#include "library/playlists/savename.h"
#include "testenv.h"

TEST(SaveName, TheFilterDecidesTheExtension) {
    EXPECT_EQ(PlaylistFormatForFilterIndex(1), PlaylistFormat::M3u);
    for (int other : {0, 2, 3, -1}) EXPECT_EQ(PlaylistFormatForFilterIndex(other), PlaylistFormat::Pls) << other;

    EXPECT_EQ(SavePlaylistFileName("/h/mix", PlaylistFormat::M3u), "/h/mix.m3u");
    EXPECT_EQ(SavePlaylistFileName("/h/mix", PlaylistFormat::Pls), "/h/mix.pls");
    EXPECT_EQ(SavePlaylistFileName("/h/mix.pls", PlaylistFormat::M3u), "/h/mix.m3u");
    EXPECT_EQ(SavePlaylistFileName("/h/mix.m3u", PlaylistFormat::M3u), "/h/mix.m3u");
    // Only the last extension of the file name goes; a dotted folder stays.
    EXPECT_EQ(SavePlaylistFileName("/h/best.of", PlaylistFormat::Pls), "/h/best.pls");
    EXPECT_EQ(SavePlaylistFileName("/h/best.of.all.txt", PlaylistFormat::Pls), "/h/best.of.all.pls");
    EXPECT_EQ(SavePlaylistFileName("/h/my.lists/mix", PlaylistFormat::M3u), "/h/my.lists/mix.m3u");
    EXPECT_EQ(SavePlaylistFileName("mix.", PlaylistFormat::M3u), "mix.m3u");
}

TEST(SaveName, PlsNamesTheListAsTyped) {
    EXPECT_EQ(PlsPlaylistName("/h/best.of"), "Playlist best.of");
    EXPECT_EQ(PlsPlaylistName("/h/mix.pls"), "Playlist mix.pls");
    EXPECT_EQ(PlsPlaylistName("mix"), "Playlist mix");
}

TEST(PlaylistFormatSniff, AFileThatSaysWhatItIsIsReadAsThat) {
    EXPECT_EQ(SniffPlaylistFormat("[playlist]\r\nFile1=a\r\n", PlaylistFormat::M3u), PlaylistFormat::Pls);
    EXPECT_EQ(SniffPlaylistFormat("\xEF\xBB\xBF\r\n  [Playlist]\n", PlaylistFormat::M3u), PlaylistFormat::Pls);
    EXPECT_EQ(SniffPlaylistFormat("#EXTM3U\n", PlaylistFormat::Pls), PlaylistFormat::M3u);
    EXPECT_EQ(SniffPlaylistFormat("\n#extm3u\n", PlaylistFormat::Pls), PlaylistFormat::M3u);
    // Anything else is what the user chose.
    EXPECT_EQ(SniffPlaylistFormat("/m/a.mp3\n", PlaylistFormat::Pls), PlaylistFormat::Pls);
    EXPECT_EQ(SniffPlaylistFormat("/m/a.mp3\n[playlist]\n", PlaylistFormat::M3u), PlaylistFormat::M3u);
    EXPECT_EQ(SniffPlaylistFormat("", PlaylistFormat::M3u), PlaylistFormat::M3u);

    const std::string dir = testenv::makeTempDir();
    testenv::writeFile(dir + "/list.m3u", "[playlist]\r\nFile1=a.mp3\r\nTitle1=A\r\nLength1=3\r\n");
    const auto r = ReadPlaylistFile(dir + "/list.m3u", PlaylistFormat::M3u);
    EXPECT_EQ(r.rows(), (std::vector<PlaylistRow>{{"A", "00:03", dir + "/a.mp3"}}));
    EXPECT_FALSE(ReadPlaylistFile(dir + "/none.pls", PlaylistFormat::Pls).ok);
}
