#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tagsamples.h"
#include "tags/mpeg/id3v1.h"
#include "testenv.h"

TEST(ID3v1, ReadsTheBlockFfmpegWrites) {
    const ID3v1Block& block = ReadID3v1Tag(tagsamples::sample("mp3-v24"));
    EXPECT_TRUE(block.hasMagic());
    EXPECT_EQ(block.artist(), "Artist");
    EXPECT_EQ(block.album(), "Album");
    EXPECT_EQ(block.year(), "2001");
    EXPECT_EQ(block.genre(), 17);  // Rock
    EXPECT_EQ(LastID3v1Tag, block);
}

TEST(ID3v1, FilesWithoutABlockReadAsTheEmptyBlockWithGenre3) {
    const std::string dir = testenv::makeTempDir();
    testenv::writeFile(dir + "/short.mp3", "TAG tiny");
    std::string error;
    for (const std::string& path : {dir + "/short.mp3", tagsamples::sample("mp3"), dir + "/missing.mp3"}) {
        ID3v1Block block;
        block.setTitle("stale");
        EXPECT_EQ(ReadID3v1Tag(path, block, &error), path != dir + "/missing.mp3") << path;
        EXPECT_FALSE(block.hasMagic()) << path;
        EXPECT_EQ(block.genre(), 3) << path;
        EXPECT_EQ(block.title(), "") << path;
    }
    EXPECT_NE(error.find("missing.mp3"), std::string::npos);
}

TEST(ID3v1, FieldsAreTrimmedWholeAndTrackIsTextOrAZeroAndANumber) {
    // (title bytes, track bytes) -> (title, track)
    const struct {
        std::string title, track, wantTitle, wantTrack;
    } rows[] = {
        {"Title", "12", "Title", "12"},
        // A zero byte and a number is the track as every other tool writes it.
        {std::string("\0 Late start", 12), std::string("\0A", 2), "Late start", "65"},
        {"  Blank  ", std::string("\0\x07", 2), "Blank", "7"},
        {"Top", std::string("\0\xFF", 2), "Top", "255"},
        {std::string("New\0older text", 15), "5", "New", "5"},
        {"Blank first", " 9", "Blank first", "9"},
    };
    for (const auto& row : rows) {
        std::string raw(128, '\0');
        raw.replace(0, 3, "TAG");
        raw.replace(3, row.title.size(), row.title);
        raw.replace(125, row.track.size(), row.track);
        const ID3v1Block block = ID3v1Block::Parse(tags::AsBytes(raw));
        EXPECT_EQ(block.title(), row.wantTitle);
        EXPECT_EQ(block.track(), row.wantTrack);
    }
}

// A whole number 1 to 255 goes in as a zero and the number, which other
// readers take as the track; any other text keeps the two text bytes.
TEST(ID3v1, TrackNumbersAreWrittenAsAZeroAndTheNumber) {
    const struct {
        const char* text;
        uint8_t b125, b126;
        const char* readBack;
    } rows[] = {
        {"5", 0, 5, "5"},     {"12", 0, 12, "12"},    {" 7 ", 0, 7, "7"},     {"255", 0, 255, "255"},
        {"05", 0, 5, "5"},    {"256", '2', '5', "25"}, {"0", '0', 0, "0"},    {"A1", 'A', '1', "A1"},
        {"3/12", '3', '/', "3/"}, {"", 0, 0, ""},      {"-4", '-', '4', "-4"},
    };
    for (const auto& row : rows) {
        ID3v1Block block = ID3v1Block::Empty();
        block.setComment(std::string(28, 'c'));
        block.setTrack(row.text);
        EXPECT_EQ(block.bytes[125], row.b125) << row.text;
        EXPECT_EQ(block.bytes[126], row.b126) << row.text;
        EXPECT_EQ(block.track(), row.readBack) << row.text;
        EXPECT_EQ(block.comment(), std::string(28, 'c')) << row.text;
    }
}

TEST(ID3v1, FieldsAreWindows1252CutToTheirWidths) {
    ID3v1Block block = ID3v1Block::Empty();
    block.setTitle("Café del Mar — ünïcödé beyond thirty chars");
    block.setArtist("Кино");
    block.setYear("19999");
    block.setComment(std::string(28, 'c'));
    EXPECT_EQ(block.title(), "Café del Mar — ünïcödé beyond");
    EXPECT_EQ(block.bytes[3 + 3], 0xE9);  // é as one byte
    EXPECT_EQ(block.artist(), "????");
    EXPECT_EQ(block.year(), "1999");
    EXPECT_EQ(block.comment(), std::string(28, 'c'));
    EXPECT_EQ(block.bytes[125], 0);  // a full comment does not run into the track

    for (auto [index, stored] : {std::pair{147, 147}, {80, 80}, {148, 255}, {-1, 255}}) {
        block.setGenre(index);
        EXPECT_EQ(block.genre(), stored) << index;
    }
}

TEST(ID3v1, WriteAppendsWhenMissingAndReplacesAfterwards) {
    const std::string path = tagsamples::copyOf("mp3");
    const std::string before = testenv::readFile(path);
    ::chmod(path.c_str(), 0444);

    ID3v1Block block = ID3v1Block::Empty();
    block.setTitle("First");
    block.setGenre(79);
    ASSERT_TRUE(WriteID3v1Tag(path, block).ok);
    std::string after = testenv::readFile(path);
    ASSERT_EQ(after.size(), before.size() + 128);
    EXPECT_EQ(after.substr(0, before.size()), before);

    block.setTitle("Second");
    struct stat st {};
    ::stat(path.c_str(), &st);
    const ino_t inodeBefore = st.st_ino;
    ASSERT_TRUE(WriteID3v1Tag(path, block).ok);
    after = testenv::readFile(path);
    EXPECT_EQ(after.size(), before.size() + 128);
    EXPECT_EQ(after.substr(after.size() - 128, 10), std::string("TAGSecond\0", 10));

    // The read-only file was replaced whole, never made writable for a
    // write in place.
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_NE(st.st_ino, inodeBefore);

    ID3v1Block back;
    ASSERT_TRUE(ReadID3v1Tag(path, back));
    EXPECT_EQ(back, block);
    EXPECT_EQ(tagsamples::taglibTag(path)["title"], "Second");
    EXPECT_EQ(tagsamples::mutagen("print(mutagen.File('" + path + "').tags['TIT2'])"), "Second\n");

    // The track as the other readers take it, without a stray comment
    // character.
    block.setTrack("5");
    block.setComment("note");
    ASSERT_TRUE(WriteID3v1Tag(path, block).ok);
    EXPECT_EQ(tagsamples::taglibTag(path)["track"], "5");
    EXPECT_EQ(tagsamples::mutagen("t = mutagen.File('" + path + "').tags\nprint(t['TRCK'], t.getall('COMM')[0])"),
              "5 note\n");
}

TEST(ID3v1, WriteNeverCreatesAFileAndReportsFailure) {
    const std::string dir = testenv::makeTempDir();
    const TagWriteResult result = WriteID3v1Tag(dir + "/none.mp3", ID3v1Block::Empty());
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    struct stat st {};
    EXPECT_NE(::stat((dir + "/none.mp3").c_str(), &st), 0);
    EXPECT_FALSE(WriteID3v1Tag(dir, ID3v1Block::Empty()).ok);
}
