// PLS lists as other programs write them: read by their keys, so missing,
// reordered and extra lines cost only what they name.

#include <gtest/gtest.h>

#include "library/playlists/pls.h"
#include "testenv.h"

TEST(ForeignPls, KeysCountNotLineOrder) {
    // No PlaylistName, NumberOfEntries first, lower-case keys, File3 before
    // File1, blanks around keys, and Windows line ends.
    const auto r = ParsePls(
        "[Playlist]\r\n"
        "NumberOfEntries=3\r\n"
        "file3=/m/three.mp3\r\n"
        "TITLE3=Three\r\n"
        "length3=180\r\n"
        " File1 =/m/one.mp3\r\n"
        "Title1=One\r\n"
        "Length1=60\r\n"
        "File2=two.mp3\r\n"
        "Version=2\r\n",
        "/lists");
    EXPECT_EQ(r.skipped, 0);
    EXPECT_EQ(r.rows(), (std::vector<PlaylistRow>{{"One", "01:00", "/m/one.mp3"},
                                                  {"two.mp3", "", "/lists/two.mp3"},
                                                  {"Three", "03:00", "/m/three.mp3"}}));
}

TEST(ForeignPls, MissingPiecesOfAnEntry) {
    const auto r = ParsePls(
        "[playlist]\n"
        "File1=/m/a.mp3\nLength1=12.5\n"         // no title
        "File2=/m/b.mp3\nTitle2=Bee\n"           // no length
        "Title3=Orphan\nLength3=5\n"             // no file: dropped
        "File4=\nTitle4=Empty path\n"            // an empty file: dropped
        "File5=/m/e.mp3\nTitle5=Neg\nLength5=-1\n"
        "File6=/m/f.mp3\nTitle6=Neg2\nLength6=-42\n",
        "");
    EXPECT_EQ(r.rows(), (std::vector<PlaylistRow>{{"a.mp3", "00:12", "/m/a.mp3"},
                                                  {"Bee", "", "/m/b.mp3"},
                                                  {"Neg", "", "/m/e.mp3"},
                                                  {"Neg2", "", "/m/f.mp3"}}));
    EXPECT_EQ(r.skipped, 2);
    // The import sees the absence, not a made-up value.
    EXPECT_FALSE(r.entries[0].title.has_value());
    EXPECT_FALSE(r.entries[1].lengthSeconds.has_value());
}

TEST(ForeignPls, JunkLinesAndRepeatedKeys) {
    const auto r = ParsePls(
        "[playlist]\n"
        "this line has no equals sign\n"
        "File1=/m/old.mp3\n"
        "File1=/m/new.mp3\n"                     // a later key replaces
        "Title1=Key=Value = title\n"             // only the first "=" splits
        "Comment=whatever\n"
        "Filex=/m/not-a-number.mp3\n"
        "File=/m/no-number.mp3\n"
        "File-1=/m/negative.mp3\n"
        "File99999999999999999999=/m/too-big.mp3\n"
        "File2000000000=/m/far.mp3\n"            // one entry, not two billion
        "[another section]\n",
        "");
    EXPECT_EQ(r.rows(), (std::vector<PlaylistRow>{{"Key=Value = title", "", "/m/new.mp3"},
                                                  {"far.mp3", "", "/m/far.mp3"}}));
    EXPECT_EQ(r.skipped, 6);
}

TEST(ForeignPls, Windows1252AndRelativePathsFromTheFile) {
    const std::string dir = testenv::makeTempDir();
    testenv::writeFile(dir + "/old.pls",
                       "[playlist]\r\nFile1=sub\\..\\x.mp3\r\nFile2=f\xFCr Elise.mp3\r\nTitle2=F\xFCr Elise\r\n");
    const auto r = ReadPlsPlaylist(dir + "/old.pls");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rows(), (std::vector<PlaylistRow>{{"sub\\..\\x.mp3", "", dir + "/sub\\..\\x.mp3"},
                                                  {"Für Elise", "", dir + "/für Elise.mp3"}}));
}

TEST(ForeignPls, HostileBytesNeverEscapeALine) {
    const std::string huge(1024 * 1024, 'x');
    const auto r = ParsePls("File1=/" + huge + "\nFile2=/m/ok.mp3\n", "");
    EXPECT_EQ(r.rows(), (std::vector<PlaylistRow>{{"ok.mp3", "", "/m/ok.mp3"}}));
    EXPECT_EQ(r.skipped, 1);

    static const char kWithNul[] = "[playlist]\nFile1=/m/a\0.mp3\nTitle1=A\nFile2=/m/b.mp3\n";
    const auto withNul = ParsePls(std::string(kWithNul, sizeof kWithNul - 1), "");
    EXPECT_EQ(withNul.rows(), (std::vector<PlaylistRow>{{"b.mp3", "", "/m/b.mp3"}}));
    EXPECT_EQ(withNul.skipped, 1);
    EXPECT_EQ(withNul.refused.size(), 1u);

    EXPECT_TRUE(ParsePls("", "").entries.empty());
    EXPECT_TRUE(ParsePls("=\n==\n=File1=x\n", "").entries.empty());
}
