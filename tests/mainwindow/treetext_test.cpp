#include <gtest/gtest.h>

#include <regex>

#include "library/librarytree.h"
#include "library/treetext.h"

namespace {

std::string skeletonWith(const std::string& artists, const std::string& playlists, const std::string& albums) {
    std::string s = "Title\r\n\tAlphabetic\r\n";
    for (char c = 'A'; c <= 'Z'; ++c) s += std::string("\t\t") + c + "\r\n";
    s += "\t\tExtra\r\n\tAll Title\r\nMy Artist\r\n" + artists + "My Habit\r\nMy Playlist\r\n" + playlists +
         "My Album\r\n" + albums;
    return s;
}

TEST(TreeText, SavedTreeIsTheFixedSkeletonWithLeavesInOrder) {
    LibraryTreeContent c{{"Kestrel", "Ada Fenwick"}, {"Road Trip"}, {"Night Drive"}};
    const std::string expected = skeletonWith("\tKestrel\r\n\tAda Fenwick\r\n", "\tRoad Trip\r\n", "\tNight Drive\r\n");
    EXPECT_EQ(FormatTreeText(c), expected);
    EXPECT_EQ(FormatTreeText({}), skeletonWith("", "", ""));
    EXPECT_EQ(kFixedTreeNodes.size(), 34u);

    const TreeTextLoad back = ParseTreeText(expected);
    EXPECT_FALSE(back.repaired);
    EXPECT_TRUE(back.levelError.empty());
    EXPECT_EQ(back.content, c);
}

TEST(TreeText, TextsThatWouldBreakTheFileAreCleanedAndRoundTrip) {
    EXPECT_EQ(CleanNodeText("A\tB\r\nC"), "A B  C");
    EXPECT_EQ(CleanNodeText("   Lead"), "Lead");
    EXPECT_EQ(CleanNodeText("   "), "");
    // An artist from a tag with a line break stays one node at its level.
    LibraryTreeContent c{{"Line\nBreak", " Lead", "Tab\tInside"}, {}, {"Trail "}};
    const TreeTextLoad load = ParseTreeText(FormatTreeText(c));
    EXPECT_FALSE(load.repaired);
    EXPECT_EQ(load.content.artists, (std::vector<std::string>{"Line Break", "Lead", "Tab Inside"}));
    EXPECT_EQ(load.content.albums, std::vector<std::string>{"Trail "});
    // Leading blanks are no level: a file from elsewhere with them reads at
    // the TABs' level.
    const TreeTextLoad blanks = ParseTreeText(skeletonWith("\t  Spaced\r\n", "", ""));
    EXPECT_FALSE(blanks.repaired);
    EXPECT_EQ(blanks.content.artists, std::vector<std::string>{"Spaced"});
}

// Every kind of line end reads the same and an empty file is the built-in
// tree; a damaged skeleton is repaired, keeping the leaves of known roots.
TEST(TreeText, TextsReadAsTheirTreeAndDamageIsRepaired) {
    const std::string crlf = skeletonWith("\tA1\r\n", "", "\tB1\r\n");
    const std::string lf = std::regex_replace(crlf, std::regex("\r\n"), "\n");
    const LibraryTreeContent ab{{"A1"}, {}, {"B1"}};
    const std::string deep = skeletonWith("\tOne\r\n\t\t\tDeep\r\n\tTwo\r\n", "\tList\r\n", "");
    struct Case {
        const char* what;
        std::string text;
        LibraryTreeContent want;
        bool repaired;
    };
    const std::vector<Case> cases = {
        {"CR LF", crlf, ab, false},
        {"LF", lf, ab, false},
        {"CR", std::regex_replace(crlf, std::regex("\r\n"), "\r"), ab, false},
        {"no last line end", lf.substr(0, lf.size() - 1), ab, false},
        {"empty", "", {}, false},
        {"blank lines", "\r\n\r\n", {}, false},
        {"TABs only", "\t\t\r\n", {}, false},
        // The deep line hangs under "One": a grandchild, dropped.
        {"too deep", deep, {{"One", "Two"}, {"List"}, {}}, true},
        {"My Habit missing", "Title\r\nMy Artist\r\n\tX\r\nMy Playlist\r\n\tP\r\nMy Album\r\n\tB\r\n",
         {{"X"}, {"P"}, {"B"}}, true},
        {"a sixth root", skeletonWith("\tX\r\n", "", "") + "Other\r\n\tY\r\n", {{"X"}, {}, {}}, true},
        {"children of My Habit", skeletonWith("", "", "").insert(skeletonWith("", "", "").find("My Playlist"), "\tTop\r\n"),
         {}, true},
        {"grandchildren", skeletonWith("\tX\r\n\t\tSub\r\n", "", ""), {{"X"}, {}, {}}, true},
        {"roots reordered", "My Album\r\n\tB\r\nMy Artist\r\n\tA\r\n", {{"A"}, {}, {"B"}}, true},
        {"first line indented", "\t\tMy Artist\r\n\tA\r\n", {{"A"}, {}, {}}, true},
        {"binary noise", std::string("\x01\x02\t\t\t\xff\r\n\0\0\t", 12), {}, true},
    };
    for (const Case& c : cases) {
        const TreeTextLoad load = ParseTreeText(c.text);
        EXPECT_EQ(load.repaired, c.repaired) << c.what;
        EXPECT_EQ(load.content, c.want) << c.what;
    }
    EXPECT_EQ(ParseTreeText(deep).levelError, "Invalid level (3) for item \"Deep\"");
}

// A file counts as unchanged by a save exactly when the save would write
// the same bytes: the start-up then leaves it alone.
TEST(TreeText, OnlyAFileAsASaveWritesItIsCanonical) {
    const std::string plain = skeletonWith("\tA1\r\n\tA2\r\n", "\tP\r\n", "\tB1\r\n");
    const std::vector<std::string> texts = {
        plain,
        skeletonWith("", "", ""),
        std::regex_replace(plain, std::regex("\r\n"), "\n"),
        plain.substr(0, plain.size() - 2),
        plain + "\r\n",
        skeletonWith("\t  Spaced\r\n", "", ""),
        skeletonWith("\tTab\tInside\r\n", "", ""),
        skeletonWith("\tTrail \r\n", "", ""),
        skeletonWith("\tOne\r\n\t\t\tDeep\r\n", "", ""),
        "\tTitle\r\n" + plain.substr(7),
        "",
        "My Album\r\n\tB\r\nMy Artist\r\n\tA\r\n",
    };
    for (const std::string& text : texts) {
        const TreeTextLoad load = ParseTreeText(text);
        EXPECT_EQ(load.canonical, text == FormatTreeText(load.content)) << text;
        // Read in place, a canonical file gives the same leaves; another
        // gives none and is parsed.
        const std::optional<TreeTextLeaves> leaves = IndexCanonicalTreeText(std::make_shared<std::string>(text));
        ASSERT_EQ(leaves.has_value(), load.canonical) << text;
        if (!leaves) continue;
        LibraryTree tree;
        tree.setLeaves(TreeTextLeaves(*leaves));
        EXPECT_EQ(tree.content(), load.content) << text;
        EXPECT_TRUE(tree.leavesUnmade());
        tree.expandItem(tree.topLevelItem(1));
        EXPECT_EQ(tree.myAlbumNode()->childCount(), static_cast<int>(load.content.albums.size()));
        EXPECT_EQ(tree.content(), load.content) << text;
    }
    EXPECT_TRUE(ParseTreeText(plain).canonical);
}

// Leaves are made when first needed, and the tree answers the same before
// and after: content, indexes, lookups, expansion.
TEST(LibraryTreeLeaves, UnmadeLeavesBehaveAsMadeOnes) {
    const LibraryTreeContent content{{"A", "B", "A"}, {"P"}, {"X", "Y"}};
    LibraryTree tree;
    tree.setContent(content);
    EXPECT_TRUE(tree.leavesUnmade());
    EXPECT_EQ(tree.content(), content);
    // My Artist, its 3 leaves, My Habit, My Playlist, its leaf, My Album.
    EXPECT_EQ(tree.absoluteIndex(tree.topLevelItem(4)), LibraryTree::kMyArtistIndex + 7);
    EXPECT_TRUE(tree.leavesUnmade());
    EXPECT_EQ(tree.topLevelItem(1)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

    tree.expandItem(tree.topLevelItem(1));
    EXPECT_FALSE(tree.leavesUnmade());
    EXPECT_EQ(tree.topLevelItem(1)->childCount(), 3);
    EXPECT_EQ(tree.topLevelItem(3)->childCount(), 0);
    EXPECT_EQ(tree.findArtist("A"), tree.topLevelItem(1)->child(0));

    // An index into unmade leaves makes them; so does a lookup.
    QTreeWidgetItem* y = tree.itemAtIndex(LibraryTree::kMyArtistIndex + 9);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->text(0), "Y");
    EXPECT_EQ(tree.absoluteIndex(y), LibraryTree::kMyArtistIndex + 9);
    EXPECT_EQ(tree.findPlaylist("P"), tree.myPlaylistNode()->child(0));
    EXPECT_EQ(tree.content(), content);
    EXPECT_EQ(LibraryTree::imageOf(y), 4);

    // New content replaces made and unmade leaves; an expanded root shows
    // its new leaves at once.
    tree.setContent({{"C"}, {}, {"Z"}});
    EXPECT_EQ(tree.topLevelItem(1)->childCount(), 1);
    EXPECT_EQ(tree.topLevelItem(4)->childCount(), 0);
    QTreeWidgetItem* w = tree.ensureAlbum("W");
    EXPECT_EQ(w, tree.myAlbumNode()->child(1));
    EXPECT_EQ(tree.content(), (LibraryTreeContent{{"C"}, {}, {"Z", "W"}}));
    tree.setContent({});
    EXPECT_EQ(tree.topLevelItem(1)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

}  // namespace
