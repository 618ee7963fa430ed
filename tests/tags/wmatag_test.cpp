#include <chrono>
#include <optional>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tags/asf/asfattributes.h"
#include "tagsamples.h"
#include "tags/bytes.h"
#include "tags/textcodec.h"
#include "tags/asf/wmatag.h"
#include "tags/asf/wmaudioinfo.h"
#include "testenv.h"

using tags::ByteWriter;

namespace {

constexpr tags::Guid kOldHeader = tags::GuidFromText("D6E229D1-35DA-11D1-9034-00A0C90349BE");
constexpr tags::Guid kOldRecords = tags::GuidFromText("D6E229D5-35DA-11D1-9034-00A0C90349BE");
constexpr tags::Guid kOther = tags::GuidFromText("01234567-89AB-CDEF-0123-456789ABCDEF");

std::string record(uint8_t id, const std::string& name, const std::string& value) {
    ByteWriter w;
    w.u8(id).u32le(0).u16le(static_cast<uint16_t>(name.size())).u16le(static_cast<uint16_t>(value.size()));
    w.bytes(tags::Utf8ToUtf16LeBytes(name)).bytes(tags::Utf8ToUtf16LeBytes(value));
    return std::string(tags::AsText(w.data()));
}

std::string object(const tags::Guid& guid, const std::string& body, std::optional<int64_t> size = {}) {
    ByteWriter w;
    w.bytes(guid).u64le(static_cast<uint64_t>(size.value_or(int64_t(24 + body.size())))).text(body);
    return std::string(tags::AsText(w.data()));
}

std::string oldFormat(const std::string& children, std::optional<int64_t> headerSize = {}) {
    return object(kOldHeader, "", headerSize.value_or(int64_t(24 + children.size()))) + children;
}

WmaTagInfo walk(const std::string& bytes) {
    tags::MemorySource source(tags::AsBytes(bytes));
    return ReadWmaHeaderRecords(source);
}

uint64_t u64At(const std::string& bytes, size_t at) {
    tags::ByteReader in(tags::AsBytes(bytes));
    in.seek(at);
    return in.u64le();
}

uint64_t filePropertiesSize(const std::string& bytes) {
    const auto guid = tags::GuidFromText("8CABDCA1-A947-11CF-8EE4-00C00C205365");
    return u64At(bytes, bytes.find(std::string(tags::AsText(guid))) + 40);
}

}  // namespace

TEST(WmaHeaderWalk, RecordsOfTheOldFormat) {
    std::string records = std::string("\x03\0", 2) + record(1, "", "A") + record(100, "wm/year", "1999") +
                          record(100, "WM/Track", "7");
    WmaTagInfo info = walk(oldFormat(object(kOther, "xyz") + object(kOldRecords, records)));
    EXPECT_EQ(info.Status, -1);
    EXPECT_EQ(info.Author, "A");
    EXPECT_EQ(info.Year, "1999");
    EXPECT_EQ(info.TrackNumber, 7);

    // A 600-character value keeps 511 characters; the next record reads from its own start.
    records = std::string("\x02\0", 2) + record(2, "", std::string(600, 't')) + record(4, "", "Desc");
    info = walk(oldFormat(object(kOldRecords, records)));
    EXPECT_EQ(info.Title.size(), WmaTagInfo::kTextMax);
    EXPECT_EQ(info.Description, "Desc");

    EXPECT_EQ(walk("not an asf file at all, only text").Status, 0);
}

TEST(WmaHeaderWalk, HostileSizesAndCountsEndQuickly) {
    const std::string records = std::string("\xFF\xFF", 2) + record(1, "", "A");
    const auto start = std::chrono::steady_clock::now();
    for (int64_t size : {int64_t(-24), int64_t(0), int64_t(1), int64_t(23), int64_t(1) << 62}) {
        SCOPED_TRACE(size);
        const std::string children = object(kOther, "", 24) + object(kOther, "", size) + object(kOldRecords, records);
        EXPECT_EQ(walk(oldFormat(children, 1 << 30)).Author, "");
    }
    // A record count beyond the object stops at its end, keeping what was read.
    WmaTagInfo info = walk(oldFormat(object(kOldRecords, records)));
    EXPECT_EQ(info.Author, "A");
    info = walk(oldFormat(object(kOldRecords, records)).substr(0, 60));
    EXPECT_EQ(info.Author, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    const std::string dir = testenv::makeTempDir();
    WmaTagInfo missing;
    missing.Title = "stale";
    std::string error;
    EXPECT_FALSE(ReadWmaInfo(dir + "/missing.wma", missing, &error));
    EXPECT_EQ(missing, WmaTagInfo{});
    testenv::writeFile(dir + "/old.wma", oldFormat(object(kOldRecords, std::string("\x01\0", 2) + record(2, "", "T"))));
    ASSERT_TRUE(ReadWmaInfo(dir + "/old.wma", missing));
    EXPECT_EQ(missing.Title, "T");
    EXPECT_FALSE(WriteWmaTag(dir + "/old.wma", missing).ok);
}

TEST(WmaTag, ReadsWhatFfmpegAndMutagenWrite) {
    WmaTagInfo info;
    ASSERT_TRUE(ReadWmaInfo(tagsamples::sample("wma-tagged"), info));
    EXPECT_EQ(info, (WmaTagInfo{.Status = -1, .Year = "1999", .TrackNumber = 7, .Author = "Artist",
                                .Title = "Song", .Album = "Album", .Description = "Note", .Genre = "Jazz"}));

    const std::string path = tagsamples::copyOf("wma");
    tagsamples::mutagen("from mutagen.asf import ASF, ASFDWordAttribute, ASFByteArrayAttribute\n"
                        "f = ASF('" + path + "')\n"
                        "f['WM/TrackNumber'] = [ASFDWordAttribute(0)]\n"
                        "f['WM/Track'] = [ASFDWordAttribute(7)]\n"
                        "f['WM/Genre'] = ['" + std::string(40, 'g') + "']\n"
                        "f['Title'] = ['Песня']\n"
                        "f['Description'] = ['日本語']\n"
                        "f['WM/Picture'] = [ASFByteArrayAttribute(b'\\xff' * 200000)]\n"
                        "f.save()\n");
    ASSERT_TRUE(ReadWmaInfo(path, info));
    EXPECT_EQ(info, (WmaTagInfo{.Status = -1, .TrackNumber = 7, .Title = "Песня", .Description = "日本語",
                                .Genre = std::string(31, 'g')}));
    // The picture, in the header extension the reader passes unread, stays
    // through a save.
    info.Title = "New";
    ASSERT_TRUE(WriteWmaTag(path, info).ok);
    EXPECT_EQ(tagsamples::mutagen("f = mutagen.File('" + path + "')\nprint(len(f['WM/Picture'][0].value), f['Title'][0])"),
              "200000 New\n");
}

TEST(WmaTag, WriteRoundTripKeepsAudioAndOtherAttributes) {
    const std::string path = tagsamples::copyOf("wma-tagged");
    ::chmod(path.c_str(), 0444);
    const std::string pcm = tagsamples::decodedMd5(path);
    const std::string before = testenv::readFile(path);
    auto oldHeader = tags::AsfFile::Load(path);
    ASSERT_TRUE(oldHeader);
    ASSERT_NE(oldHeader->header().find("WM/Composer"), nullptr);

    WmaTagInfo info{.Year = "2024", .TrackNumber = 12, .Author = "日本のアーティスト", .Title = "Песня о любви",
                    .Album = std::string(WmaTagInfo::kTextMax, 'a'), .Genre = "Rock"};
    ASSERT_TRUE(WriteWmaTag(path, info).ok);

    WmaTagInfo back;
    ASSERT_TRUE(ReadWmaInfo(path, back));
    info.Status = -1;
    EXPECT_EQ(back, info);

    const std::string after = testenv::readFile(path);
    EXPECT_EQ(filePropertiesSize(after), after.size());
    auto newHeader = tags::AsfFile::Load(path);
    ASSERT_TRUE(newHeader);
    EXPECT_NE(newHeader->header().find("WM/Composer"), nullptr);
    // Everything after the header is the old file's.
    EXPECT_TRUE(after.substr(u64At(after, 16)) == before.substr(u64At(before, 16)));
    EXPECT_EQ(tagsamples::decodedMd5(path), pcm);
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0444u);

    EXPECT_EQ(tagsamples::taglibTag(path),
              (std::map<std::string, std::string>{{"title", info.Title}, {"artist", info.Author},
                                                  {"album", info.Album}, {"comment", ""}, {"genre", "Rock"},
                                                  {"year", "2024"}, {"track", "12"}}));
    EXPECT_EQ(tagsamples::mutagen("f = mutagen.File('" + path + "')\n"
                                  "print(f['Title'][0], f['Author'][0], f['WM/TrackNumber'][0], f['WM/Year'][0], sep='|')"),
              info.Title + "|" + info.Author + "|12|2024\n");

    ASSERT_TRUE(WriteWmaTag(path, info).ok);
    EXPECT_EQ(testenv::readFile(path), after);
}

TEST(WmaTag, AttributesByNameThroughTheInterface) {
    const std::string path = tagsamples::copyOf("wma");
    std::unique_ptr<WmaAttributeObject> info;
    ASSERT_EQ(WMAudioCreateInfo(path, info), 0);
    EXPECT_EQ(GetStringAttribute(*info, "WM/Composer"), "");
    EXPECT_EQ(SetStringAttribute(*info, "WM/Composer", "Бах"), 0);
    EXPECT_EQ(SetDwordAttribute(*info, "WM/Track", 3), 0);
    EXPECT_EQ(SetStringAttribute(*info, "Copyright", "(c) me"), 0);
    ASSERT_EQ(info->Close(), 0);
    info.reset();
    ASSERT_EQ(WMAudioCreateInfo(path, info), 0);
    EXPECT_EQ(GetStringAttribute(*info, "wm/composer"), "Бах");
    EXPECT_EQ(GetDwordAttribute(*info, "WM/Track"), 3u);
    EXPECT_EQ(GetStringAttribute(*info, "Copyright"), "(c) me");

    std::string error;
    std::unique_ptr<WmaAttributeObject> none;
    EXPECT_NE(WMAudioCreateInfo(tagsamples::sample("mp3"), none, &error), 0);
    EXPECT_FALSE(error.empty());
}

TEST(WmaTag, TextsBeyondTheSixteenBitCountsAreCutNotWrapped) {
    // A comment of pasted liner notes: more than 32766 UTF-16 characters
    // would wrap the 16-bit byte count and leave a header nobody can walk.
    const std::string path = tagsamples::copyOf("wma-tagged");
    std::string notes;
    for (int i = 0; i < 40000; ++i) notes += static_cast<char>('a' + i % 26);
    std::unique_ptr<WmaAttributeObject> info;
    ASSERT_EQ(WMAudioCreateInfo(path, info), 0);
    ASSERT_EQ(SetStringAttribute(*info, WMAudioInfo::Description, notes), 0);
    ASSERT_EQ(SetStringAttribute(*info, "WM/Lyrics", notes), 0);
    ASSERT_EQ(SetStringAttribute(*info, WMAudioInfo::Title, "Kept"), 0);
    ASSERT_EQ(info->Close(), 0);
    info.reset();

    std::string error;
    auto header = tags::AsfFile::Load(path, &error);
    ASSERT_TRUE(header) << error;
    ASSERT_EQ(WMAudioCreateInfo(path, info), 0);
    EXPECT_EQ(GetStringAttribute(*info, WMAudioInfo::Description), notes.substr(0, 32766));
    EXPECT_EQ(GetStringAttribute(*info, "WM/Lyrics"), notes.substr(0, 32766));
    EXPECT_EQ(GetStringAttribute(*info, WMAudioInfo::Title), "Kept");
    EXPECT_NE(header->header().find("WM/Composer"), nullptr);
    const std::string after = testenv::readFile(path);
    EXPECT_EQ(filePropertiesSize(after), after.size());
}
