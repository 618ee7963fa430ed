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
    const std::string dir = testenv::makeTempDir("build");
    const std::string mp3 = mwtest::makeMp3(dir + "/a.mp3", {"  Song  ", " AC/DC ", "Back: In", "", "1980", " hi ", 1});
    RecordBuild b = BuildTrackRecord(mp3, 45000.25);
    ASSERT_TRUE(b.built()) << b.reason;
    EXPECT_EQ(b.record.Title, "Song");
    EXPECT_EQ(b.record.Artist, "ACDC");  // file name characters go, ID3v1 only
    EXPECT_EQ(b.record.Album, "Back In");
    EXPECT_EQ(b.record.Genre, "Classic Ro");
    EXPECT_EQ(b.record.Year, "1980");
    EXPECT_EQ(b.record.Comment, "hi");
    EXPECT_EQ(b.record.Path, mp3);
    EXPECT_EQ(b.record.DateAdded, 45000.25);
    EXPECT_EQ(b.record.PlayCount, 0);

    const std::string ogg = mwtest::makeOgg(dir + "/b.OGG", {"Ogg Title", "AC/DC", "Album", "Progressive Rock", "1999", "c"});
    b = BuildTrackRecord(ogg, 1);
    ASSERT_TRUE(b.built()) << b.reason;
    EXPECT_EQ(b.record.Title, "Ogg Title");
    EXPECT_EQ(b.record.Artist, "AC/DC");  // the slash goes only from ID3v1 texts
    EXPECT_EQ(b.record.Genre, "Progressiv");
    EXPECT_EQ(b.record.Year, "1999");
    EXPECT_EQ(b.record.Comment, "c");

    const std::string wma = mwtest::makeWma(dir + "/c.wma", {"Wma Title", "Author", "Wma Album", "Jazz", "2001", "desc"});
    b = BuildTrackRecord(wma, 1);
    ASSERT_TRUE(b.built()) << b.reason;
    EXPECT_EQ(b.record.Title, "Wma Title");
    EXPECT_EQ(b.record.Artist, "Author");
    EXPECT_EQ(b.record.Album, "Wma Album");
    EXPECT_EQ(b.record.Genre, "Jazz");
    EXPECT_EQ(b.record.Year, "2001");
    EXPECT_EQ(b.record.Comment, "desc");

    const std::string wav = mwtest::makeWav(dir + "/Take Five.WAV");
    b = BuildTrackRecord(wav, 1);
    ASSERT_TRUE(b.built()) << b.reason;
    EXPECT_EQ(b.record.Title, "Take Five.WAV");
    EXPECT_EQ(b.record.Artist, "Unknown Artist");
    EXPECT_EQ(b.record.Album, "Unknown Album");
    EXPECT_EQ(b.record.Genre, "");
}

// An MP3 takes each field from its ID3v2 tag when the tag has it, else from
// its ID3v1 block; neither gives no genre.
TEST(RecordBuilder, Mp3FieldsComeFromId3v2ThenId3v1) {
    struct Row {
        const char* name;
        std::optional<Tags> v1;
        std::optional<ID3StructV2> v2;
        std::array<const char*, 6> expected;  // title, artist, album, genre, year, comment
    };
    const Row rows[] = {
        {"v2only", {}, ID3StructV2{"Song", "AC/DC", "Live", "2004", "3", "c2", "Rock"},
         {"Song", "ACDC", "Live", "Rock", "2004", "c2"}},
        {"v1only", Tags{"  Old  ", "Band", "Alb", "", "1980", " hi ", 1}, {},
         {"Old", "Band", "Alb", "Classic Ro", "1980", "hi"}},
        {"both", Tags{"Old", "Band", "Alb", "", "1980", "hi", 17}, ID3StructV2{"New", "", " ", "", "", "", ""},
         {"New", "Band", "Alb", "Rock", "1980", "hi"}},
        {"japanese", Tags{"\xe5\xa4\x9c", "Band", "", "", "", "", 255},
         ID3StructV2{"\xe5\xa4\x9c\xe3\x81\xab\xe9\xa7\x86\xe3\x81\x91\xe3\x82\x8b", "", "", "", "", "", ""},
         {"\xe5\xa4\x9c\xe3\x81\xab\xe9\xa7\x86\xe3\x81\x91\xe3\x82\x8b", "Band", "Unknown Album", "Other", "", ""}},
        {"untagged", {}, {}, {"untagged.mp3", "Unknown Artist", "Unknown Album", "", "", ""}},
    };
    const std::string dir = testenv::makeTempDir("v2");
    for (const Row& row : rows) {
        const std::string path = mwtest::makeMp3(dir + "/" + row.name + ".mp3", row.v1.value_or(Tags{}), row.v1.has_value());
        if (row.v2) {
            ASSERT_TRUE(WriteID3v2Tag(path, *row.v2).ok) << row.name;
        }
        const RecordBuild b = BuildTrackRecord(path, 1);
        ASSERT_TRUE(b.built()) << row.name << ": " << b.reason;
        const TrackRecord& r = b.record;
        EXPECT_EQ((std::array<std::string, 6>{r.Title, r.Artist, r.Album, r.Genre, r.Year, r.Comment}),
                  (std::array<std::string, 6>{row.expected[0], row.expected[1], row.expected[2], row.expected[3],
                                              row.expected[4], row.expected[5]}))
            << row.name;
    }
    // A file of another kind under an MP3 name has no tag either.
    testenv::writeFile(dir + "/text.mp3", "hello");
    const RecordBuild text = BuildTrackRecord(dir + "/text.mp3", 1);
    ASSERT_TRUE(text.built());
    EXPECT_EQ(text.record.Genre, "");
}

TEST(RecordBuilder, DefaultsGenresAndLimits) {
    const std::string dir = testenv::makeTempDir("build");
    RecordBuild b = BuildTrackRecord(mwtest::makeMp3(dir + "/No Tag.mp3", {}, false), 1);
    ASSERT_TRUE(b.built());
    EXPECT_EQ(b.record.Title, "No Tag.mp3");
    EXPECT_EQ(b.record.Artist, "Unknown Artist");
    EXPECT_EQ(b.record.Album, "Unknown Album");

    Tags odd;
    odd.genreByte = 200;
    b = BuildTrackRecord(mwtest::makeMp3(dir + "/g.mp3", odd), 1);
    EXPECT_EQ(b.record.Genre, "Other");

    // 41 two-byte characters are cut to 40, never into a character.
    std::string longTitle;
    for (int i = 0; i < 41; ++i) longTitle += "\xc3\xa9";
    std::string longArtist(90, 'a');
    b = BuildTrackRecord(mwtest::makeOgg(dir + "/long.ogg", {longTitle, longArtist, "Al", "", "", ""}), 1);
    ASSERT_TRUE(b.built());
    EXPECT_EQ(b.record.Title.size(), 80u);
    EXPECT_EQ(b.record.Artist, std::string(80, 'a'));

    // Texts that become tree lines hold no line breaks or leading blanks.
    b = BuildTrackRecord(mwtest::makeOgg(dir + "/nl.ogg", {"T", "A\nB", "\tX", "", "", ""}), 1);
    EXPECT_EQ(b.record.Artist, "A B");
    EXPECT_EQ(b.record.Album, "X");
    b = BuildTrackRecord(mwtest::makeOgg(dir + "/blank.ogg", {"T", "   ", "", "", "", ""}), 1);
    EXPECT_EQ(b.record.Artist, "Unknown Artist");
}

TEST(RecordBuilder, FilesThatCannotBecomeRecordsSayWhy) {
    const std::string dir = testenv::makeTempDir("bad");
    EXPECT_EQ(BuildTrackRecord(dir + "/missing.mp3", 1).outcome, BuildOutcome::Unreadable);
    EXPECT_EQ(BuildTrackRecord(dir, 1).outcome, BuildOutcome::NotAFile);
    testenv::writeFile(dir + "/x.flac", "fLaC");
    EXPECT_EQ(BuildTrackRecord(dir + "/x.flac", 1).outcome, BuildOutcome::NotAudio);
    EXPECT_FALSE(BuildTrackRecord(dir + "/x.flac", 1).counted());

    // Not Vorbis, not ASF: foreign files under an audio name.
    testenv::writeFile(dir + "/fake.ogg", "OggS but nothing more");
    RecordBuild b = BuildTrackRecord(dir + "/fake.ogg", 1);
    EXPECT_EQ(b.outcome, BuildOutcome::Unreadable);
    EXPECT_TRUE(b.counted());
    testenv::writeFile(dir + "/fake.wma", std::string(200, 'w'));
    EXPECT_EQ(BuildTrackRecord(dir + "/fake.wma", 1).outcome, BuildOutcome::Unreadable);

    // A FIFO would block a reader for good.
    ASSERT_EQ(::mkfifo((dir + "/pipe.mp3").c_str(), 0600), 0);
    EXPECT_EQ(BuildTrackRecord(dir + "/pipe.mp3", 1).outcome, BuildOutcome::Unreadable);

    if (::geteuid() != 0) {
        const std::string locked = mwtest::makeWav(dir + "/locked.wav");
        ::chmod(locked.c_str(), 0);
        EXPECT_EQ(BuildTrackRecord(locked, 1).outcome, BuildOutcome::Unreadable);
    }

    // A path the record cannot hold whole is not cut into another name.
    std::string deep = dir;
    while (deep.size() < 250) {
        deep += "/folder-of-some-length";
        ::mkdir(deep.c_str(), 0700);
    }
    const std::string tooLong = mwtest::makeWav(deep + "/track.wav");
    ASSERT_GT(tooLong.size(), kMaxPathBytes);
    b = BuildTrackRecord(tooLong, 1);
    EXPECT_EQ(b.outcome, BuildOutcome::PathTooLong);
    EXPECT_TRUE(b.counted());
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

TEST(RecordBuilder, KindFromExtensionWithoutCase) {
    EXPECT_EQ(AudioKindOfPath("/a/b.MP3"), AudioKind::Mp3);
    EXPECT_EQ(AudioKindOfPath("x.Wav"), AudioKind::Wav);
    EXPECT_EQ(AudioKindOfPath("x.ogg"), AudioKind::Ogg);
    EXPECT_EQ(AudioKindOfPath("x.wMa"), AudioKind::Wma);
    EXPECT_EQ(AudioKindOfPath("x.mp3.txt"), AudioKind::None);
    EXPECT_EQ(AudioKindOfPath("/a.mp3/noext"), AudioKind::None);
    EXPECT_EQ(AudioKindOfPath("--gtest_filter=*"), AudioKind::None);
}

}  // namespace
