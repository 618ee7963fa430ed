// The library's files without a window: the rows each node lists and their
// sort keys, what an add reports, and which artist and album nodes a removal
// leaves without records.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>

#include "library/libraryfill.h"
#include "library/records/trackfile.h"
#include "library/tracklibrary.h"
#include "mainwindowsupport.h"
#include "platform/paths.h"
#include "testenv.h"

namespace {

TrackRecord rec(const std::string& title, const std::string& path, int plays = 0, const std::string& artist = "Ar",
                const std::string& album = "Al") {
    TrackRecord r;
    r.Title = title;
    r.Path = path;
    r.PlayCount = plays;
    r.Artist = artist;
    r.Album = album;
    r.DateAdded = 45000.5;
    return r;
}

std::string writeLibrary(const std::string& dir, const std::vector<TrackRecord>& records) {
    const std::string file = dir + "/music.dat";
    CreateEmptyTrackFile(file);
    TrackFileWriter w(file);
    for (const auto& r : records) w.append(r);
    w.close();
    return file;
}

std::vector<std::string> titles(const std::vector<ListRow>& rows) {
    std::vector<std::string> out;
    for (const auto& r : rows) out.push_back(r.record.Title);
    return out;
}

std::vector<ListRow> fill(const NodeFill& node, const std::string& musicDat, const std::string& folder = "/none") {
    std::vector<ListRow> rows;
    FillRows(node, musicDat, folder, rows);
    return rows;
}

TEST(Fill, LettersExtraAndAllTitleInFileOrder) {
    const std::string dir = testenv::makeTempDir("fill");
    const std::string lib = writeLibrary(
        dir, {rec("apple", "/1"), rec("1984", "/2"), rec("Axe", "/3"), rec("", "/4"), rec("\xc3\x89" "clair", "/5"),
              rec(" x", "/6"), rec("banana", "/7")});
    EXPECT_EQ(titles(fill({NodeKind::Letter, 'A', {}}, lib)), (std::vector<std::string>{"apple", "Axe"}));
    EXPECT_EQ(titles(fill({NodeKind::Letter, 'B', {}}, lib)), std::vector<std::string>{"banana"});
    EXPECT_TRUE(fill({NodeKind::Letter, 'Z', {}}, lib).empty());
    EXPECT_EQ(titles(fill({NodeKind::Extra, 0, {}}, lib)),
              (std::vector<std::string>{"1984", "", "\xc3\x89" "clair", " x"}));
    EXPECT_EQ(fill({NodeKind::AllTitle, 0, {}}, lib).size(), 7u);
    EXPECT_TRUE(fill({NodeKind::None, 0, {}}, lib).empty());
    for (const ListRow& r : fill({NodeKind::AllTitle, 0, {}}, lib)) EXPECT_TRUE(r.showTime);
}

TEST(Fill, ArtistsAndAlbumsMatchExactly) {
    const std::string dir = testenv::makeTempDir("fill");
    const std::string lib = writeLibrary(dir, {rec("t1", "/1", 0, "Kestrel", "Sky"), rec("t2", "/2", 0, "kestrel", "Sky"),
                                               rec("t3", "/3", 0, "Kestrel", "sky"), rec("t4", "/4", 0, "Kestrel ", "Sky")});
    EXPECT_EQ(titles(fill({NodeKind::Artist, 0, "Kestrel"}, lib)), (std::vector<std::string>{"t1", "t3"}));
    EXPECT_EQ(titles(fill({NodeKind::Album, 0, "Sky"}, lib)), (std::vector<std::string>{"t1", "t2", "t4"}));
    EXPECT_TRUE(NodeListsRecord({NodeKind::Artist, 0, "kestrel"}, rec("x", "/x", 0, "kestrel")));
    EXPECT_FALSE(NodeListsRecord({NodeKind::MyHabit, 0, {}}, rec("x", "/x")));
}

TEST(Fill, MissingLibraryListsNothingAndBrokenOneWhatIsWhole) {
    const std::string dir = testenv::makeTempDir("fill");
    EXPECT_TRUE(fill({NodeKind::AllTitle, 0, {}}, dir + "/music.dat").empty());
    EXPECT_TRUE(fill({NodeKind::MyHabit, 0, {}}, dir + "/music.dat").empty());
    EXPECT_TRUE(fill({NodeKind::Letter, 'A', {}}, dir + "/music.dat").empty());

    // A hostile record: a title length byte of 255, a NaN date, and 36
    // bytes of a record that never finished.
    TrackRecordBytes bytes = EncodeTrackRecord(rec("Abc", "/p"));
    bytes[4] = 255;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(&bytes[656], &nan, sizeof nan);
    std::string content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    content += std::string(36, 'x');
    testenv::writeFile(dir + "/music.dat", content);
    const auto rows = fill({NodeKind::AllTitle, 0, {}}, dir + "/music.dat");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_LE(rows[0].record.Title.size(), kMaxTitleBytes);
}

TEST(Fill, MostPlayedListsTenWithoutTimeEachPathOnceMostPlayedFirst) {
    const std::string dir = testenv::makeTempDir("habit");
    std::vector<TrackRecord> records;
    for (int i = 0; i < 25; ++i) records.push_back(rec("t" + std::to_string(i), "/p" + std::to_string(i), i % 3));
    const auto rows = fill({NodeKind::MyHabit, 0, {}}, writeLibrary(dir, records));
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(titles(rows), (std::vector<std::string>{"t2", "t5", "t8", "t11", "t14", "t17", "t20", "t23", "t1", "t4"}));
    for (const ListRow& r : rows) EXPECT_FALSE(r.showTime);

    // The first unlisted record of the highest count comes next: a path is
    // listed once, at its highest count, and counts below zero come last.
    const std::vector<TrackRecord> file = {rec("t0", "/a", 1),  rec("t1", "/b", 3), rec("t2", "/a", 5),
                                           rec("t3", "/c", -2), rec("t4", "/d", 3), rec("t5", "/b", 3),
                                           rec("t6", "/e", -1)};
    std::vector<std::string> ranked;
    for (const TrackRecord& r : RankMostPlayed(file)) ranked.push_back(r.Title);
    EXPECT_EQ(ranked, (std::vector<std::string>{"t2", "t1", "t4", "t6", "t3"}));
}

TEST(Fill, PlaylistNodesReadTheirOwnFileByExactName) {
    const std::string dir = testenv::makeTempDir("lists");
    const std::string folder = dir + "/playlist";
    CreateFolder(folder);
    writeLibrary(folder, {rec("one", "/1"), rec("two", "/2")});
    std::rename((folder + "/music.dat").c_str(), (folder + "/Road Trip.dat").c_str());
    EXPECT_EQ(titles(fill({NodeKind::Playlist, 0, "Road Trip"}, "/none", folder)), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(fill({NodeKind::Playlist, 0, "road trip"}, "/none", folder).empty());
    EXPECT_TRUE(fill({NodeKind::Playlist, 0, "Missing"}, "/none", folder).empty());
    // Texts from a tree file never lead out of the folder.
    testenv::writeFile(dir + "/outside.dat", std::string(664, '\0'));
    EXPECT_FALSE(PlaylistDataFileFor(folder, "../outside").has_value());
    EXPECT_FALSE(PlaylistDataFileFor(folder, "..").has_value());
    EXPECT_FALSE(PlaylistDataFileFor(folder, "").has_value());
    EXPECT_TRUE(PlaylistDataFileFor(folder, "Road Trip").has_value());
}

TEST(Sort, KeysFoldOnlyAsciiLettersAndShorterPrefixesComeFirst) {
    EXPECT_EQ(CompareListKeys("abc", "ABC"), 0);
    EXPECT_EQ(CompareListKeys("ab", "abcd"), -2);
    EXPECT_GT(CompareListKeys("_", "z"), 0);  // z folds to Z (90), before _ (95)
    EXPECT_EQ(CompareListKeys("a", "b"), -1);
    // Bytes beyond ASCII compare as themselves, above every ASCII byte.
    EXPECT_GT(CompareListKeys("\xc3\xa9", "z"), 0);
    EXPECT_NE(CompareListKeys("\xc3\xa9", "\xc3\x89"), 0);
    // Keys folded once order as the comparison does.
    const std::string keys[] = {"",  "a", "A", "ab",   "aB",   "abc",      "b",        "z",
                                "Z", "_", "0", " ",    "\x7f", "\x80", "\xc3\xa9", "\xc3\x89", "a\xc3\xa9"};
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const std::string& a : keys)
        for (const std::string& b : keys)
            EXPECT_EQ(sign(CompareListKeys(a, b)), sign(FoldListKey(a).compare(FoldListKey(b)))) << a << " | " << b;
}

TEST(TrackLibrary, AnAddSaysWhatBecameOfEachFile) {
    const std::string dir = testenv::makeTempDir("lib");
    const TrackLibrary library(dir + "/", dir);
    const std::string song = mwtest::makeWav(dir + "/song.wav");
    testenv::writeFile(dir + "/notes.txt", "not audio");

    EXPECT_EQ(library.add(song, 45000).outcome, AddOutcome::WriteFailed) << "no library file: nothing was written";
    library.ensureMusicFile();
    const struct {
        std::string path;
        AddOutcome outcome;
    } rows[] = {{song, AddOutcome::Added},
                {song, AddOutcome::AlreadyThere},
                {dir + "/gone.wav", AddOutcome::Skipped},
                {dir + "/notes.txt", AddOutcome::Ignored},
                {dir, AddOutcome::Ignored}};
    AddTally tally;
    for (const auto& row : rows) {
        const AddResult result = library.add(row.path, 45000);
        EXPECT_EQ(result.outcome, row.outcome) << row.path;
        tally.count(result);
    }
    EXPECT_EQ(tally.skippedFiles, std::vector<std::string>{dir + "/gone.wav"});
    EXPECT_EQ(LoadTrackRecords(library.musicFile()).size(), 1u);
}

TEST(TrackLibrary, OrphansAreTheNamesNoRecordKeeps) {
    const std::string dir = testenv::makeTempDir("lib");
    const TrackLibrary library(dir + "/", dir);
    EXPECT_FALSE(library.orphansOf({rec("", "/a", 0, "A", "X")})) << "an unreadable library prunes nothing";
    library.ensureMusicFile();
    AppendTrackRecordIfNew(library.musicFile(), rec("", "/b", 0, "A", "Y"));
    const std::optional<OrphanNames> orphans =
        library.orphansOf({rec("", "/a", 0, "A", "X"), rec("", "/c", 0, "C", "Y")});
    ASSERT_TRUE(orphans);
    EXPECT_EQ(orphans->artists, std::vector<std::string>{"C"});
    EXPECT_EQ(orphans->albums, std::vector<std::string>{"X"});
}

}  // namespace
