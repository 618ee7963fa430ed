#include <filesystem>
#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include "tagsamples.h"
#include "tags/ogg/oggtag.h"
#include "testenv.h"

namespace {

struct PageFacts {
    // Every page's checksum right, no bytes between pages, each stream's
    // sequence numbers without a gap.
    bool intact = true;
    std::vector<std::pair<long, long>> sequenceBySerial;  // (serial, sequence)
    std::vector<int64_t> granules;
};

PageFacts pagesOf(const std::string& path) {
    const std::string bytes = testenv::readFile(path);
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), buffer);
    ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
    PageFacts facts;
    std::map<long, long> next;  // each serial's next sequence number
    ogg_page page;
    for (;;) {
        const long r = ogg_sync_pageseek(&sync, &page);
        if (r == 0) break;
        if (r < 0) {
            facts.intact = false;
            continue;
        }
        const long serial = ogg_page_serialno(&page), sequence = ogg_page_pageno(&page);
        if (next.count(serial) && next[serial] != sequence) facts.intact = false;
        next[serial] = sequence + 1;
        facts.sequenceBySerial.emplace_back(serial, sequence);
        facts.granules.push_back(ogg_page_granulepos(&page));
    }
    ogg_sync_clear(&sync);
    return facts;
}

// The comments' texts, without the encoder's own.
std::vector<std::string> commentTexts(const std::string& path) {
    TStrComments comments;
    EXPECT_TRUE(tags::ReadOggComments(path, comments));
    std::vector<std::string> out;
    for (const auto& c : comments)
        if (c.Text.rfind("encoder=", 0) != 0) out.push_back(c.Text);
    return out;
}

size_t filesIn(const std::string& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

}  // namespace

TEST(OggComments, ParseRulesForKeysAndValues) {
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    for (const char* c : {"TITLE=Song", "title=Other", "=x", "no equals", "a}b=ok", "a\x1f" "b=v", "K=\xC3\xA9\xFF"})
        vorbis_comment_add(&vc, c);
    const TStrComments list = ParseOggComments(vc, 1);
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(list[0].Key, "TITLE");
    EXPECT_EQ(list[0].Text, "TITLE=Song");
    EXPECT_EQ(list[2].Key, "");
    EXPECT_EQ(list[2].Value, "x");
    EXPECT_EQ(list[3].Value, "no equals");
    EXPECT_EQ(list[4].Key, "a}b");
    EXPECT_EQ(list[5].Key, "");
    EXPECT_EQ(list[5].Value, "a\x1f" "b=v");
    EXPECT_EQ(list[6].Value, "é\xEF\xBF\xBD");
    bool high = false;
    EXPECT_EQ(ParseOggComments(vc, 0, &high)[6].Value, "???");
    EXPECT_TRUE(high);
    vorbis_comment_clear(&vc);
}

TEST(OggTag, ReadsWhatFfmpegAndMutagenWrite) {
    OGGTag tag;
    ASSERT_TRUE(ReadOggTag(tagsamples::sample("ogg-tagged"), tag));
    // ffmpeg writes the comment under the format's own key, "DESCRIPTION".
    EXPECT_EQ(tag, (OGGTag{"Album", "Song", "Artist", "Note", "Pop", "1999", "3"}));

    const std::string path = tagsamples::copyOf("ogg");
    tagsamples::mutagen("f = mutagen.File('" + path + "')\n"
                        "f.tags.clear()\n"
                        "f.tags.append(('TITLE', 'Song'))\n"
                        "f.tags.append(('title', 'Другая'))\n"
                        "f.tags.append(('ARTIST', '  padded  '))\n"
                        "f.save()\n");
    OGGTag other;
    ASSERT_TRUE(ReadOggTag(path, other));
    EXPECT_EQ(other.Title, "Другая");
    EXPECT_EQ(other.Artist, "padded");
}

TEST(OggTag, WriteRoundTripOrderAndOtherReaders) {
    const std::string path = tagsamples::copyOf("ogg-tagged");
    const std::string pcm = tagsamples::decodedMd5(path);
    const PageFacts before = pagesOf(path);
    OGGTag tag{"アルバム", "", "Исполнитель", std::string(3000, 'c'), "Jazz", "2024", "12"};
    ASSERT_TRUE(WriteOggTag(path, tag).ok);

    OGGTag back;
    ASSERT_TRUE(ReadOggTag(path, back));
    EXPECT_EQ(back, tag);
    // The ReplayGain comment stays; the fields follow in the writer's order,
    // an empty Title writes nothing.
    EXPECT_EQ(commentTexts(path),
              (std::vector<std::string>{"REPLAYGAIN_TRACK_GAIN=-3.5 dB", "Artist=Исполнитель", "Album=アルバム",
                                        "TrackNumber=12", "Date=2024", "Genre=Jazz",
                                        "Comment=" + tag.Comment}));

    const PageFacts after = pagesOf(path);
    EXPECT_TRUE(after.intact);
    EXPECT_EQ(std::vector<int64_t>(after.granules.end() - 3, after.granules.end()),
              std::vector<int64_t>(before.granules.end() - 3, before.granules.end()));
    EXPECT_EQ(tagsamples::decodedMd5(path), pcm);

    auto tl = tagsamples::taglibTag(path);
    EXPECT_EQ(tl["artist"], tag.Artist);
    EXPECT_EQ(tl["album"], tag.Album);
    EXPECT_EQ(tl["track"], "12");
    EXPECT_EQ(tagsamples::mutagen("f = mutagen.File('" + path + "')\nprint(f['artist'][0], f['album'][0], sep='|')"),
              tag.Artist + "|" + tag.Album + "\n");

    // Saving again gives the same bytes.
    const std::string first = testenv::readFile(path);
    ASSERT_TRUE(WriteOggTag(path, tag).ok);
    EXPECT_EQ(testenv::readFile(path), first);
}

TEST(OggTag, DescriptionStaysUnlessItIsTheCommentShownAndChanged) {
    const struct {
        std::vector<std::pair<std::string, std::string>> comments;
        std::string newComment;  // written with a new title
        std::vector<std::string> after;
    } rows[] = {
        // "comment" is the one shown: the liner notes in "description" stay.
        {{{"COMMENT", "c"}, {"DESCRIPTION", "notes"}}, "c", {"DESCRIPTION=notes", "Title=T", "Comment=c"}},
        {{{"COMMENT", "c"}, {"DESCRIPTION", "notes"}}, "", {"DESCRIPTION=notes", "Title=T"}},
        // "description" is shown: kept as it is unless the user changed it.
        {{{"DESCRIPTION", " notes "}}, "notes", {"DESCRIPTION= notes ", "Title=T"}},
        {{{"DESCRIPTION", "notes"}}, "mine", {"Title=T", "Comment=mine"}},
        {{{"DESCRIPTION", "notes"}}, "", {"Title=T"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comments.size() * 10 + row.newComment.size());
        const std::string path = tagsamples::copyOf("ogg");
        ASSERT_TRUE(tags::WriteOggComments(path, row.comments).ok);
        OGGTag tag;
        ASSERT_TRUE(ReadOggTag(path, tag));
        tag.Title = "T";
        tag.Comment = row.newComment;
        ASSERT_TRUE(WriteOggTag(path, tag).ok);
        EXPECT_EQ(commentTexts(path), row.after);
    }
}

TEST(OggTag, LongCommentsAreSkippedAcrossPagesAndKeptOnSave) {
    // A cover picture before or after the fields, in the pages of two
    // writers: libogg's 64 KB pages (ours) and TagLib's 8 KB ones.
    const std::string picture(300000, 'Q');
    for (bool taglib : {false, true}) {
        SCOPED_TRACE(taglib);
        const std::string path = tagsamples::copyOf("ogg");
        if (taglib) {
            TagLib::Ogg::Vorbis::File f(path.c_str(), false);
            f.tag()->addField("METADATA_BLOCK_PICTURE", picture);
            f.tag()->addField("TITLE", "After");
            ASSERT_TRUE(f.save());
        } else {
            ASSERT_TRUE(tags::WriteOggComments(path, {{"METADATA_BLOCK_PICTURE", picture}, {"TITLE", "After"}}).ok);
        }
        OGGTag tag;
        ASSERT_TRUE(ReadOggTag(path, tag));
        EXPECT_EQ(tag.Title, "After");
        tag.Artist = "New";
        ASSERT_TRUE(WriteOggTag(path, tag).ok);
        const auto texts = commentTexts(path);
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "METADATA_BLOCK_PICTURE=" + picture), 1);
        ASSERT_TRUE(ReadOggTag(path, tag));
        EXPECT_EQ(tag.Artist, "New");
    }
}

TEST(OggTag, HeadersThatGrowAcrossPagesAndShrinkBackKeepTheAudio) {
    const std::string path = tagsamples::copyOf("ogg");
    const std::string pcm = tagsamples::decodedMd5(path);
    const size_t pagesBefore = pagesOf(path).sequenceBySerial.size();
    OGGTag tag;
    for (const std::string& comment : {std::string(200000, 'x'), std::string("short")}) {
        tag.Comment = comment;
        ASSERT_TRUE(WriteOggTag(path, tag).ok);
        const PageFacts facts = pagesOf(path);
        EXPECT_TRUE(facts.intact);
        if (comment.size() > 10) EXPECT_GT(facts.sequenceBySerial.size(), pagesBefore + 2);
        else EXPECT_EQ(facts.sequenceBySerial.size(), pagesBefore);
        EXPECT_EQ(tagsamples::decodedMd5(path), pcm);
    }
}

TEST(OggTag, LaterLinksOfAChainStayAsTheyWere) {
    std::string dir;
    const std::string path = tagsamples::copyOf("ogg", &dir);
    const std::string second = dir + "/second.ogg";
    ASSERT_EQ(testenv::run("ffmpeg -v error -f lavfi -i sine=frequency=880:duration=1 -c:a libvorbis "
                           "-serial_offset 777 -fflags +bitexact " + second),
              0);
    const std::string link2 = testenv::readFile(second);
    testenv::writeFile(path, testenv::readFile(path) + link2);
    OGGTag tag;
    tag.Title = "Chained";
    ASSERT_TRUE(WriteOggTag(path, tag).ok);
    const std::string bytes = testenv::readFile(path);
    EXPECT_EQ(bytes.substr(bytes.size() - link2.size()), link2);
    OGGTag back;
    ASSERT_TRUE(ReadOggTag(path, back));
    EXPECT_EQ(back.Title, "Chained");
}

TEST(OggTag, FilesThatAreNotVorbisAreRefusedAndLeftAlone) {
    const std::string dir = testenv::makeTempDir();
    const std::string opus = tagsamples::copyOf("opus.ogg");
    const std::string flac = tagsamples::copyOf("flac.ogg");
    const std::string whole = testenv::readFile(tagsamples::sample("ogg"));
    testenv::writeFile(dir + "/truncated.ogg", whole.substr(0, 3000));
    testenv::writeFile(dir + "/random.ogg", std::string(100000, '\x5A'));
    testenv::writeFile(dir + "/empty.ogg", "");
    for (const std::string& path :
         {opus, flac, dir + "/truncated.ogg", dir + "/random.ogg", dir + "/empty.ogg", dir + "/missing.ogg"}) {
        SCOPED_TRACE(path);
        const std::string before = testenv::readFile(path);
        const std::string folder = path.substr(0, path.rfind('/'));
        const size_t files = filesIn(folder);
        OGGTag tag{"keep", "", "", "", "", "", ""};
        std::string error;
        EXPECT_FALSE(ReadOggTag(path, tag, &error));
        EXPECT_EQ(tag.Album, "keep");
        EXPECT_EQ(error.rfind("Cannot open " + path + ": ", 0), 0u) << error;
        const TagWriteResult result = WriteOggTag(path, OGGTag{"a", "b", "c", "d", "e", "f", "g"});
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error.rfind("Cannot open " + path + ": ", 0), 0u) << result.error;
        EXPECT_EQ(testenv::readFile(path), before);
        EXPECT_EQ(filesIn(folder), files);
    }
    std::string error;
    OGGTag tag;
    ReadOggTag(opus, tag, &error);
    EXPECT_EQ(error, "Cannot open " + opus + ": Ogg bitstream does not contain Vorbis data.");
}
