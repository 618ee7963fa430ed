// The record built from each kind of file: which tag gives which field, the
// defaults and limits, and the files that cannot become records.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <optional>

#include "library/recordbuilder.h"
#include "mainwindowsupport.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "testenv.h"

namespace {

using mwtest::Tags;

TEST(RecordBuilder, EachKindTakesItsFieldsByTheTable) {
    // The file's extension says how it is made: an MP3 gets `tags` as its
    // ID3v1 block (none when unset) and `v2` as its ID3v2 tag.
    struct Row {
        const char* name;
        std::optional<Tags> tags;
        std::optional<ID3StructV2> v2;
        std::array<std::string, 6> expected;  // title, artist, album, genre, year, comment
    };
    std::string longTitle;  // 41 two-byte characters: cut to 40, never into a character
    for (int i = 0; i < 41; ++i) longTitle += "\xc3\xa9";
    const Row rows[] = {
        // Characters not allowed in file names go from ID3v1 texts only.
        {"v1.mp3", Tags{"  Song  ", " AC/DC ", "Back: In", "", "1980", " hi ", 1}, {},
         {"Song", "ACDC", "Back In", "Classic Ro", "1980", "hi"}},
        {"b.OGG", Tags{"Ogg Title", "AC/DC", "Album", "Progressive Rock", "1999", "c"}, {},
         {"Ogg Title", "AC/DC", "Album", "Progressiv", "1999", "c"}},
        {"c.wma", Tags{"Wma Title", "Author", "Wma Album", "Jazz", "2001", "desc"}, {},
         {"Wma Title", "Author", "Wma Album", "Jazz", "2001", "desc"}},
        {"Take Five.WAV", {}, {}, {"Take Five.WAV", "Unknown Artist", "Unknown Album", "", "", ""}},
        // An MP3 takes each field from its ID3v2 tag when the tag has it,
        // else from its ID3v1 block; neither gives no genre.
        {"v2only.mp3", {}, ID3StructV2{"Song", "AC/DC", "Live", "2004", "3", "c2", "Rock"},
         {"Song", "ACDC", "Live", "Rock", "2004", "c2"}},
        {"both.mp3", Tags{"Old", "Band", "Alb", "", "1980", "hi", 17}, ID3StructV2{"New", "", " ", "", "", "", ""},
         {"New", "Band", "Alb", "Rock", "1980", "hi"}},
        {"japanese.mp3", Tags{"\xe5\xa4\x9c", "Band", "", "", "", "", 255},
         ID3StructV2{"\xe5\xa4\x9c\xe3\x81\xab\xe9\xa7\x86\xe3\x81\x91\xe3\x82\x8b", "", "", "", "", "", ""},
         {"\xe5\xa4\x9c\xe3\x81\xab\xe9\xa7\x86\xe3\x81\x91\xe3\x82\x8b", "Band", "Unknown Album", "", "", ""}},
        {"No Tag.mp3", {}, {}, {"No Tag.mp3", "Unknown Artist", "Unknown Album", "", "", ""}},
        {"odd genre.mp3", Tags{"T", "A", "B", "", "", "", 200}, {}, {"T", "A", "B", "Other", "", ""}},
        {"long.ogg", Tags{longTitle, std::string(90, 'a'), "Al", "", "", ""}, {},
         {longTitle.substr(0, 80), std::string(80, 'a'), "Al", "", "", ""}},
        // Texts that become tree lines hold no line breaks or leading blanks.
        {"nl.ogg", Tags{"T", "A\nB", "\tX", "", "", ""}, {}, {"T", "A B", "X", "", "", ""}},
        {"blank.ogg", Tags{"T", "   ", "", "", "", ""}, {}, {"T", "Unknown Artist", "Unknown Album", "", "", ""}},
    };
    const std::string dir = testenv::makeTempDir("build");
    for (const Row& row : rows) {
        const std::string path = dir + "/" + row.name;
        switch (AudioKindOfPath(path)) {
        case AudioKind::Ogg: mwtest::makeOgg(path, *row.tags); break;
        case AudioKind::Wma: mwtest::makeWma(path, *row.tags); break;
        case AudioKind::Wav: mwtest::makeWav(path); break;
        default: mwtest::makeMp3(path, row.tags.value_or(Tags{}), row.tags.has_value());
        }
        if (row.v2) {
            ASSERT_TRUE(WriteID3v2Tag(path, *row.v2).ok) << row.name;
        }
        const RecordBuild b = BuildTrackRecord(path, 45000.25);
        ASSERT_TRUE(b.built()) << row.name << ": " << b.reason;
        const TrackRecord& r = b.record;
        EXPECT_EQ((std::array{r.Title, r.Artist, r.Album, r.Genre, r.Year, r.Comment}), row.expected) << row.name;
        EXPECT_TRUE(r.Path == path && r.DateAdded == 45000.25 && r.PlayCount == 0) << row.name;
    }
    // A file of another kind under an MP3 name has no tag either.
    testenv::writeFile(dir + "/text.mp3", "hello");
    const RecordBuild text = BuildTrackRecord(dir + "/text.mp3", 1);
    ASSERT_TRUE(text.built());
    EXPECT_EQ(text.record.Genre, "");
}

TEST(RecordBuilder, FilesThatCannotBecomeRecordsSayWhy) {
    const std::string dir = testenv::makeTempDir("bad");
    for (const char* name : {"x.flac", "x.mp3.txt"}) testenv::writeFile(dir + "/" + name, "fLaC");
    ::mkdir((dir + "/folder.mp3").c_str(), 0700);
    testenv::writeFile(dir + "/folder.mp3/noext", "");
    // Not Vorbis, not ASF: foreign files under an audio name.
    testenv::writeFile(dir + "/fake.ogg", "OggS but nothing more");
    testenv::writeFile(dir + "/fake.wma", std::string(200, 'w'));
    // A FIFO would block a reader for good.
    ASSERT_EQ(::mkfifo((dir + "/pipe.mp3").c_str(), 0600), 0);
    // A path the record cannot hold whole is not cut into another name.
    std::string deep = dir;
    while (deep.size() < 250) {
        deep += "/folder-of-some-length";
        ::mkdir(deep.c_str(), 0700);
    }
    const std::string tooLong = mwtest::makeWav(deep + "/track.wav");
    ASSERT_GT(tooLong.size(), kMaxPathBytes);

    using enum BuildOutcome;
    const std::pair<std::string, BuildOutcome> rows[] = {
        {"/missing.mp3", Unreadable}, {"", NotAFile}, {"/x.flac", NotAudio}, {"/x.mp3.txt", NotAudio},
        {"/folder.mp3/noext", NotAudio}, {"/fake.ogg", Unreadable}, {"/fake.wma", Unreadable},
        {"/pipe.mp3", Unreadable},
    };
    for (const auto& [name, outcome] : rows) {
        const RecordBuild b = BuildTrackRecord(dir + name, 1);
        EXPECT_EQ(b.outcome, outcome) << name;
        EXPECT_EQ(b.counted(), outcome == Unreadable) << name << ": skipped files the user hears of";
    }
    const RecordBuild tooLongBuild = BuildTrackRecord(tooLong, 1);
    EXPECT_EQ(tooLongBuild.outcome, PathTooLong);
    EXPECT_TRUE(tooLongBuild.counted());
    if (::geteuid() != 0) {
        const std::string locked = mwtest::makeWav(dir + "/locked.wav");
        ::chmod(locked.c_str(), 0);
        EXPECT_EQ(BuildTrackRecord(locked, 1).outcome, Unreadable);
    }
}

TEST(RecordBuilder, AFailingTagReaderSkipsTheFile) {
    struct Failing : TagReaders {
        bool readMp3(int, int64_t, const std::string&, ID3StructV2&, ID3v1Block&, std::string* error) const override {
            *error = "Cannot open file";
            return false;
        }
    } failing;
    const std::string dir = testenv::makeTempDir("fail");
    const RecordBuild b = BuildTrackRecord(mwtest::makeMp3(dir + "/a.mp3", {}), 1, failing);
    EXPECT_EQ(b.outcome, BuildOutcome::Unreadable);
    EXPECT_EQ(b.reason, "Cannot open file");
}

}  // namespace
