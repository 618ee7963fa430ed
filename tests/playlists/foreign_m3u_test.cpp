// M3U lists as other programs write them. None of these may throw or lose
// the entries around a damaged line.

#include <gtest/gtest.h>

#include "library/playlists/m3u.h"
#include "testenv.h"

namespace {

std::vector<PlaylistRow> rowsOf(std::string_view bytes, std::string_view folder = "/lists") {
    return ParseM3u(bytes, folder).rows();
}

}  // namespace

TEST(ForeignM3u, PlainListsKeepTheirFirstEntryAndPathsFromTheListsFolder) {
    EXPECT_EQ(rowsOf("first.mp3\nsub/second.ogg\n/abs/third.wma\n"),
              (std::vector<PlaylistRow>{{"first.mp3", "", "/lists/first.mp3"},
                                        {"second.ogg", "", "/lists/sub/second.ogg"},
                                        {"third.wma", "", "/abs/third.wma"}}));
    // Another machine's absolute paths stay as they are: they name no file
    // here, which playing reports.
    EXPECT_EQ(rowsOf("./a.mp3\r\n../up/b.mp3\r\nC:\\Music\\c.mp3\r\n\\\\server\\share\\d.mp3\r\n", "/x/y/"),
              (std::vector<PlaylistRow>{{"a.mp3", "", "/x/y/a.mp3"},
                                        {"b.mp3", "", "/x/y/../up/b.mp3"},
                                        {"C:\\Music\\c.mp3", "", "C:\\Music\\c.mp3"},
                                        {"\\\\server\\share\\d.mp3", "", "\\\\server\\share\\d.mp3"}}));

    const std::string dir = testenv::makeTempDir();
    testenv::writeFile(dir + "/list.m3u", "#EXTM3U\r\n#EXTINF:5,Five\r\nsub/five.mp3\r\n");
    EXPECT_EQ(ReadM3uPlaylist(dir + "/list.m3u").rows(),
              (std::vector<PlaylistRow>{{"Five", "00:05", dir + "/sub/five.mp3"}}));
}

TEST(ForeignM3u, EveryLineEndAndJunkBetweenEntries) {
    const std::string body =
        "\xEF\xBB\xBF#extm3u\r\n"
        "\r\n"
        "#EXTINF:10,Ten\r"          // CR only
        "/m/10.mp3\n"               // LF only
        "   \t\n"
        "#EXTVLCOPT:network-caching=1000\r\n"
        "# a comment, with a comma\r\n"
        "#EXTINF:20,Twenty\r\n"
        "\r\n"                      // a blank between an #EXTINF and its path
        "/m/20.mp3";                // no line end at all
    const auto r = ParseM3u(body, "/lists");
    EXPECT_EQ(r.skipped, 0);
    EXPECT_EQ(r.rows(), (std::vector<PlaylistRow>{{"Ten", "00:10", "/m/10.mp3"}, {"Twenty", "00:20", "/m/20.mp3"}}));

    // An info line without its path is skipped and counted.
    const auto lost = ParseM3u("#EXTM3U\n#EXTINF:1,Lost\n#EXTINF:2,Kept\n/m/k.mp3\n#EXTINF:3,Dangling\n", "");
    EXPECT_EQ(lost.rows(), (std::vector<PlaylistRow>{{"Kept", "00:02", "/m/k.mp3"}}));
    EXPECT_EQ(lost.skipped, 2);
    EXPECT_TRUE(lost.ok);
}

TEST(ForeignM3u, LengthFieldsThatAreNotWholeSeconds) {
    const auto rows = rowsOf(
        "#EXTM3U\n"
        "#EXTINF:12.5,Float\n/m/1.mp3\n"
        "#EXTINF:-1,Stream\n/m/2.mp3\n"
        "#EXTINF:-30,Negative\n/m/3.mp3\n"
        "#EXTINF:abc,Letters\n/m/4.mp3\n"
        "#EXTINF:-1 tvg-id=\"a,b\",Attributes\n/m/5.mp3\n"
        "#EXTINF:99999999999,Huge\n/m/6.mp3\n"
        "#EXTINF:42\n/m/7.mp3\n"            // no comma: a length and no title
        "#EXTINF:,Empty\n/m/8.mp3\n");
    const std::vector<PlaylistRow> expected = {
        {"Float", "00:12", "/m/1.mp3"},    {"Stream", "", "/m/2.mp3"},
        {"Negative", "", "/m/3.mp3"},      {"Letters", "", "/m/4.mp3"},
        {"b\",Attributes", "", "/m/5.mp3"}, {"Huge", "", "/m/6.mp3"},
        {"7.mp3", "00:42", "/m/7.mp3"},    {"Empty", "", "/m/8.mp3"},
    };
    EXPECT_EQ(rows, expected);
}

TEST(ForeignM3u, Windows1252TextIsReadWhenTheFileIsNotUtf8) {
    // "Café Déjà vu" and a euro sign, as a Windows program writes them.
    EXPECT_EQ(rowsOf("#EXTM3U\r\n#EXTINF:60,Caf\xE9 D\xE9j\xE0 vu \x80\r\nC:\\M\xFAsica\\caf\xE9.mp3\r\n"),
              (std::vector<PlaylistRow>{{"Café Déjà vu €", "01:00", "C:\\Música\\café.mp3"}}));
    // Valid UTF-8 is never reinterpreted.
    EXPECT_EQ(rowsOf("#EXTINF:1,Café\n/m/é.mp3\n")[0].name, "Café");
}

TEST(ForeignM3u, HostileBytesNeverEscapeALine) {
    const std::string huge(1024 * 1024, 'x');
    const auto r = ParseM3u("#EXTM3U\n/" + huge + "\n/m/after.mp3\n", "");
    EXPECT_EQ(r.rows(), (std::vector<PlaylistRow>{{"after.mp3", "", "/m/after.mp3"}}));
    EXPECT_EQ(r.skipped, 1);

    // A path with a NUL byte would name one file to the system and another
    // to the list: refused and counted, the entries around it kept.
    static const char kWithNul[] = "#EXTINF:1,a\0b\n/m/a\0b.mp3\n/m/next.mp3\n";
    const auto withNul = ParseM3u(std::string(kWithNul, sizeof kWithNul - 1), "");
    EXPECT_EQ(withNul.rows(), (std::vector<PlaylistRow>{{"next.mp3", "", "/m/next.mp3"}}));
    EXPECT_EQ(withNul.skipped, 1);
    EXPECT_EQ(withNul.refused, std::vector<std::string>{"/m/a\xEF\xBF\xBD" "b.mp3"});

    EXPECT_TRUE(ParseM3u("", "/x").entries.empty());
    EXPECT_TRUE(ParseM3u("#EXTM3U", "/x").entries.empty());
    EXPECT_TRUE(ParseM3u("\r\n\r\n\n\r", "/x").entries.empty());
}
