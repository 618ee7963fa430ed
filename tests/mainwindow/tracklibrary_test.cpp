// The library's files driven without a window: what an add reports, and
// which artist and album nodes a removal leaves without records.

#include <gtest/gtest.h>

#include <filesystem>

#include "library/records/trackfile.h"
#include "library/tracklibrary.h"
#include "mainwindowsupport.h"
#include "testenv.h"

namespace {

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
    auto record = [](const char* path, const char* artist, const char* album) {
        TrackRecord r;
        r.Path = path;
        r.Artist = artist;
        r.Album = album;
        return r;
    };
    EXPECT_FALSE(library.orphansOf({record("/a", "A", "X")})) << "an unreadable library prunes nothing";
    library.ensureMusicFile();
    AppendTrackRecordIfNew(library.musicFile(), record("/b", "A", "Y"));
    const std::optional<OrphanNames> orphans = library.orphansOf({record("/a", "A", "X"), record("/c", "C", "Y")});
    ASSERT_TRUE(orphans);
    EXPECT_EQ(orphans->artists, std::vector<std::string>{"C"});
    EXPECT_EQ(orphans->albums, std::vector<std::string>{"X"});
}

}  // namespace
