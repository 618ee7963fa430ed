// Stream facts and tags through AudioInformation, within and across formats.

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

#include "audiotestutil.h"
#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "testenv.h"

using namespace audiotest;

namespace {

class AudioInformationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = testenv::makeTempDir("info");
        const AudioBlock source = sine(44100, 2, 2.0, {440, 880});
        for (const char* ext : {"wav", "ogg", "wma"}) encode(dir_ + "/src." + ext, source);
        encode(dir_ + "/src.mp3", source, 44100, 2, [](AudioFile& w) { ASSERT_TRUE(w.setMp3Format(44100, 192, 3)); });
    }

    // A fresh copy of a generated file, as a converter's new output.
    static std::string fresh(const std::string& ext, const std::string& name) {
        const std::string path = dir_ + "/" + name + "." + ext;
        testenv::writeFile(path, testenv::readFile(dir_ + "/src." + ext));
        return path;
    }

    static void fill(AudioInformation& info) {
        info.infoTitle = "Título de prueba";
        info.infoArtist = "Artist Ω";
        info.infoAlbum = "Album";
        info.infoComments = "A comment";
        info.infoCopyright = "(c) Us";
        info.infoURL = "http://example.invalid/track";
        info.infoEncodedBy = "Encoder person";
        info.infoComposer = "Composer";
        info.infoOriginalArtist = "Original";
        info.infoGenre = 17;  // Rock
        info.infoYear = 1999;
        info.infoTrack = 7;
    }

    // Every field a tag holds, to compare in one go.
    static auto tagFields(const AudioInformation& i) {
        return std::tuple(i.infoTitle, i.infoArtist, i.infoAlbum, i.infoComments, i.infoCopyright, i.infoURL,
                          i.infoEncodedBy, i.infoComposer, i.infoOriginalArtist, i.infoGenre, i.infoYear, i.infoTrack);
    }

    static std::string dir_;
};
std::string AudioInformationTest::dir_;

TEST_F(AudioInformationTest, StreamFactsOfEachFormat) {
    AudioInformation info;
    ASSERT_TRUE(info.load(dir_ + "/src.wav"));
    EXPECT_EQ(info.infoFrequency, 44100);
    EXPECT_EQ(info.infoChannels, 2);
    EXPECT_EQ(info.infoSamples, 88200);
    EXPECT_EQ(info.infoDuration, 2000);
    EXPECT_EQ(info.infoBitsPerSample, 16);
    EXPECT_EQ(info.infoFormatTag, 1);
    EXPECT_EQ(info.infoBitrate, 1411200);
    EXPECT_EQ(info.infoSize, 44 + 88200 * 4);

    ASSERT_TRUE(info.load(dir_ + "/src.mp3"));
    EXPECT_EQ(info.infoFormatTag, 85);
    EXPECT_EQ(info.infoBitrate, 192000);
    EXPECT_EQ(info.infoBitsPerSample, 16);
    EXPECT_NEAR(info.infoDuration, 2000, 60);  // the encoder's padding may count

    ASSERT_TRUE(info.load(dir_ + "/src.wma"));
    EXPECT_EQ(info.infoFormatTag, 0x161);
    EXPECT_EQ(info.infoFrequency, 44100);

    ASSERT_TRUE(info.load(dir_ + "/src.ogg"));
    EXPECT_NE(info.infoFormatTag, 0);
    EXPECT_EQ(info.infoSamples, 88200);
    EXPECT_GT(info.infoBitrate, 0);

    EXPECT_FALSE(info.load(dir_ + "/missing.mp3"));
    EXPECT_EQ(info.infoFrequency, 0);
}

TEST_F(AudioInformationTest, EveryFieldRoundTripsInEachFormat) {
    for (const char* ext : {"mp3", "ogg", "wma", "wav"}) {
        const std::string path = fresh(ext, std::string("all_") + ext);
        AudioInformation writer;
        writer.tagVersion = 2;
        fill(writer);
        ASSERT_TRUE(writer.save(path)) << ext << ": " << writer.lastError();
        // Saving again changes nothing.
        const std::string once = testenv::readFile(path);
        ASSERT_TRUE(writer.save(path));
        EXPECT_EQ(testenv::readFile(path), once) << ext;

        AudioInformation reader;
        reader.tagVersion = 2;
        ASSERT_TRUE(reader.load(path)) << ext;
        AudioInformation want;
        fill(want);
        EXPECT_EQ(tagFields(reader), tagFields(want)) << ext;
        // The audio is untouched by the tag.
        Decoded tagged = decode(path), plain = decode(dir_ + "/src." + ext);
        EXPECT_EQ(tagged.samples, plain.samples) << ext;
    }
}

// The converters copy tags with load(source) then save(output), never
// putting tagVersion: an MP3 that has only an ID3v1 block must not lose it.
TEST_F(AudioInformationTest, TagsCopyAcrossFormats) {
    const std::string source = fresh("mp3", "v1only");
    {
        ID3v1Block block = ID3v1Block::Empty();
        block.setTitle("Old Song");
        block.setArtist("Old Band");
        block.setAlbum("Old Album");
        block.setYear("1987");
        block.setTrack("4");
        block.setGenre(8);  // Jazz
        ASSERT_TRUE(WriteID3v1Tag(source, block).ok);
    }
    AudioInformation copier;
    for (const char* ext : {"ogg", "wav", "wma", "mp3"}) {
        const std::string out = fresh(ext, std::string("copy_") + ext);
        ASSERT_TRUE(copier.load(source));
        ASSERT_TRUE(copier.save(out)) << ext << ": " << copier.lastError();
        AudioInformation check;
        ASSERT_TRUE(check.load(out));
        EXPECT_EQ(std::tuple(check.infoTitle, check.infoArtist, check.infoAlbum, check.infoYear, check.infoTrack, check.infoGenre),
                  std::tuple("Old Song", "Old Band", "Old Album", 1987, 4, 8))
            << ext;
    }
    // Into an MP3 both versions are written.
    ID3v1Block v1;
    ASSERT_TRUE(ReadID3v1Tag(dir_ + "/copy_mp3.mp3", v1));
    EXPECT_EQ(v1.title(), "Old Song");
    // The track as a zero and the number, as other readers take it.
    EXPECT_EQ(v1.bytes[125], 0);
    EXPECT_EQ(v1.bytes[126], 4);
    ID3StructV2 v2;
    ASSERT_TRUE(ReadID3v2Tag(dir_ + "/copy_mp3.mp3", v2));
    EXPECT_EQ(v2.Title, "Old Song");
    EXPECT_EQ(v2.Genre, "Jazz");
}

// The ripper puts a genre text and saves as v1, then as v2.
TEST_F(AudioInformationTest, GenreTextAndTheTwoId3Versions) {
    const std::string path = fresh("mp3", "rip");
    AudioInformation info;
    info.infoTitle = "Track 01";
    info.infoGenreS = "Rock";
    info.tagVersion = 1;
    ASSERT_TRUE(info.save(path));
    info.tagVersion = 2;
    info.infoGenreS = "Synthwave";  // not in the list
    ASSERT_TRUE(info.save(path));
    ID3v1Block v1;
    ASSERT_TRUE(ReadID3v1Tag(path, v1));
    EXPECT_EQ(v1.genre(), 17);
    ID3StructV2 v2;
    ASSERT_TRUE(ReadID3v2Tag(path, v2));
    EXPECT_EQ(v2.Genre, "Synthwave");
    EXPECT_EQ(v2.Title, "Track 01");

    // A genre the list lacks survives a save that changed only the title.
    AudioInformation editor;
    editor.tagVersion = 2;
    ASSERT_TRUE(editor.load(path));
    EXPECT_EQ(editor.infoGenre, 12);
    editor.infoTitle = "Renamed";
    ASSERT_TRUE(editor.save(path));
    ASSERT_TRUE(ReadID3v2Tag(path, v2));
    EXPECT_EQ(v2.Genre, "Synthwave");
    EXPECT_EQ(v2.Title, "Renamed");
}

TEST_F(AudioInformationTest, AFailedSaveReportsAndLeavesTheFileAlone) {
    AudioInformation info;
    fill(info);
    EXPECT_FALSE(info.save(dir_ + "/missing.ogg"));
    EXPECT_FALSE(info.lastError().empty());
    EXPECT_FALSE(info.save(dir_ + "/src.flac"));
    // Not what its name says: refused, unchanged.
    for (const std::string& fake : {dir_ + "/fake.wav", dir_ + "/fake.wma"}) {
        testenv::writeFile(fake, "neither a RIFF nor an ASF file");
        EXPECT_FALSE(info.save(fake)) << fake;
        EXPECT_EQ(testenv::readFile(fake), "neither a RIFF nor an ASF file") << fake;
    }
}

// Rip and conversion workers load tags while the window thread does too.
TEST_F(AudioInformationTest, InstancesOnSeveralThreadsDoNotMeet) {
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i) {
        files.push_back(fresh(i % 2 ? "mp3" : "ogg", "thread" + std::to_string(i)));
        AudioInformation w;
        w.infoTitle = "Title " + std::to_string(i);
        ASSERT_TRUE(w.save(files.back()));
    }
    std::vector<int> mismatches(files.size());
    std::vector<std::thread> threads;
    for (size_t t = 0; t < files.size(); ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                AudioInformation r;
                if (!r.load(files[t]) || r.infoTitle != "Title " + std::to_string(t) || r.infoFrequency != 44100)
                    ++mismatches[t];
            }
        });
    for (auto& th : threads) th.join();
    for (int m : mismatches) EXPECT_EQ(m, 0);
}

}  // namespace
