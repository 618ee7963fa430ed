#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tagsamples.h"
#include "tags/bytes.h"
#include "tags/mpeg/id3v2.h"
#include "testenv.h"

using tags::ByteVector;
using tags::ByteWriter;

namespace {

std::string frame23(const std::string& id, const std::string& body) {
    ByteWriter w;
    w.text(id).u32be(static_cast<uint32_t>(body.size())).u8(0).u8(0).text(body);
    return std::string(tags::AsText(w.data()));
}

std::string tag(uint8_t version, uint8_t flags, const std::string& frames, size_t padding = 0) {
    ByteWriter w;
    w.text("ID3").u8(version).u8(0).u8(flags).synchsafe32(static_cast<uint32_t>(frames.size() + padding));
    w.text(frames).zeros(padding);
    return std::string(tags::AsText(w.data()));
}

// A file of a tag followed by a few bytes of MPEG audio.
std::string fileWith(const std::string& bytes) {
    const std::string path = testenv::makeTempDir() + "/t.mp3";
    testenv::writeFile(path, bytes);
    return path;
}

ID3StructV2 readV2(const std::string& path) {
    ID3StructV2 t;
    EXPECT_TRUE(ReadID3v2Tag(path, t));
    return t;
}

const std::string kAudio = std::string("\xFF\xFB\x90\x64", 4) + std::string(400, '\x55');

}  // namespace

TEST(ID3v2Write, GoldenBytesOfTheSevenFrames) {
    const std::string path = fileWith(kAudio);
    ASSERT_TRUE(WriteID3v2Tag(path, {}).ok);
    const std::string bytes = testenv::readFile(path);
    std::string expected("ID3\3\0\0\0\0\0\x5B", 10);
    for (const char* id : {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON"})
        expected += frame23(id, std::string(1, '\0'));
    expected += frame23("COMM", std::string("\0eng\0", 5)) + std::string(10, '\0');
    ASSERT_EQ(expected.size(), 101u);
    EXPECT_EQ(bytes.substr(0, 101), expected);
    EXPECT_EQ(bytes.substr(101), kAudio);

    ID3StructV2 t;
    t.Title = "abc";
    t.Comment = "hello";
    ASSERT_TRUE(WriteID3v2Tag(path, t).ok);
    const std::string again = testenv::readFile(path);
    EXPECT_EQ(again.substr(10, 14), std::string("TIT2\0\0\0\x04\0\0\0abc", 14));
    EXPECT_NE(again.find(frame23("COMM", std::string("\0eng\0hello", 10))), std::string::npos);
    EXPECT_EQ(again.substr(again.size() - kAudio.size()), kAudio);
}

TEST(ID3v2Read, FrameWindowLaterFramesAndDeclaredSizes) {
    // A 300-byte frame gives its first 250 bytes and the next frame still
    // reads, after a picture the reader passes unread; of two frames with
    // one id the first counts.
    const std::string frames = frame23("APIC", std::string(20000, '\xFF')) +
                               frame23("TIT2", std::string(1, '\0') + std::string(299, 'x')) +
                               frame23("TPE1", std::string("\0Artist", 7)) +
                               frame23("COMM", std::string("\0eng\0hello", 10)) +
                               frame23("TIT2", std::string("\0Later", 6)) + frame23("XXXX", "skipped") +
                               frame23("COMM", std::string("\0eng\0later", 10));
    EXPECT_EQ(readV2(fileWith(tag(3, 0, frames, 20) + kAudio)),
              (ID3StructV2{std::string(249, 'x'), "Artist", "", "", "", "hello", ""}));

    EXPECT_EQ(readV2(fileWith(kAudio)), ID3StructV2{});
    // A declared size beyond the file gives the frames that are there.
    EXPECT_EQ(readV2(fileWith(tag(3, 0, frame23("TIT2", std::string("\0A", 2)), 5000).substr(0, 40))).Title, "A");
}

namespace {

std::string frame22(const std::string& id, const std::string& body) {
    ByteWriter w;
    w.text(id).u8(0).u8(static_cast<uint8_t>(body.size() >> 8)).u8(static_cast<uint8_t>(body.size())).text(body);
    return std::string(tags::AsText(w.data()));
}

std::string frame24(const std::string& id, const std::string& body) {
    ByteWriter w;
    w.text(id).synchsafe32(static_cast<uint32_t>(body.size())).u8(0).u8(0).text(body);
    return std::string(tags::AsText(w.data()));
}

const std::string kPng = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(300, '\x42');

// A v2.2 tag as older stores and rippers wrote it, with a picture and a
// frame v2.3 has no name for.
std::string v22Tag() {
    return tag(2, 0,
               frame22("TT2", std::string("\0Old Song", 9)) + frame22("TP1", std::string("\0Old Band", 9)) +
                   frame22("TAL", std::string("\0Old Album", 10)) + frame22("TYE", std::string("\0" "1998", 5)) +
                   frame22("TRK", std::string("\0" "4/9", 4)) + frame22("COM", std::string("\0eng\0Liner", 10)) +
                   frame22("TCO", std::string("\0(17)", 5)) + frame22("TCM", std::string("\0Writer", 7)) +
                   frame22("PIC", std::string("\0PNG\x03\0", 6) + kPng) + frame22("CRM", "owner\0xyz"),
               40);
}

}  // namespace

// Tags as other programs write them: each row's fields by our reader and,
// where it takes them, by TagLib. An extended header whose size is counted
// the v2.3 way in a v2.4 tag throws TagLib and mutagen off its frames.
TEST(ID3v2Read, TagsAsOtherProgramsWriteThem) {
    const std::string good = frame23("TIT2", std::string("\0Song", 5)) + frame23("TPE1", std::string("\0Band", 5));
    const std::string extended23Way = std::string("\0\0\0\x06\0\0\0\0\0\0", 10) + frame24("TIT2", std::string("\0Song", 5)) +
                                frame24("TPE1", std::string("\0Band", 5));
    const struct {
        const char* what;
        std::string bytes;
        std::string title, artist;
        bool taglibReads;
    } rows[] = {
        {"v2.2", v22Tag() + kAudio, "Old Song", "Old Band", true},
        {"cut short", tag(3, 0, good + frame23("APIC", std::string(5000, '\x11'))).substr(0, 10 + good.size() + 200),
         "Song", "Band", true},
        {"one malformed frame",
         tag(3, 0, good + std::string("TALB\0\0\x40\0\0\0Alb", 13) + frame23("TYER", "\0" "2000"), 20) + kAudio,
         "Song", "Band", true},
        {"v2.4 with a v2.3 extended header", tag(4, 0x40, extended23Way, 10) + kAudio, "Song", "Band", false},
        {"two titles", tag(3, 0, good + frame23("TIT2", std::string("\0Second", 7))) + kAudio, "Song", "Band", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = fileWith(row.bytes);
        const ID3StructV2 ours = readV2(path);
        EXPECT_EQ(std::pair(ours.Title, ours.Artist), std::pair(row.title, row.artist));
        if (!row.taglibReads) continue;
        const auto tl = tagsamples::taglibTag(path);
        EXPECT_EQ(std::pair(tl.at("title"), tl.at("artist")), std::pair(row.title, row.artist)) << "TagLib";
    }
    const ID3StructV2 v22 = readV2(fileWith(v22Tag() + kAudio));
    EXPECT_EQ(v22, (ID3StructV2{"Old Song", "Old Band", "Old Album", "1998", "4/9", "Liner", "Rock"}));
}

// A save over a v2.2 tag writes v2.3: the picture as APIC with its MIME
// type, the frames v2.3 has a name for kept, the audio untouched.
TEST(ID3v2Write, ASaveOverAnId3v22TagWritesId3v23) {
    const std::string path = fileWith(v22Tag() + kAudio);
    ID3StructV2 t = readV2(path);
    t.Title = "New Song";
    ASSERT_TRUE(WriteID3v2Tag(path, t).ok);
    const std::string bytes = testenv::readFile(path);
    EXPECT_EQ(bytes.substr(0, 4), "ID3\3");
    EXPECT_EQ(bytes.substr(tags::Id3v2Tag::SizeOnDisk(tags::AsBytes(bytes))), kAudio);
    t.Title = "New Song";
    EXPECT_EQ(readV2(path), t);
    EXPECT_EQ(tagsamples::mutagen("from mutagen.id3 import ID3\nt = ID3('" + path + "', translate=False)\n"
                                  "p = t.getall('APIC')[0]\n"
                                  "print(t.version[1], p.mime, int(p.type), len(p.data), t['TCOM'].text[0], "
                                  "t['TIT2'].text[0], sorted(k[:4] for k in t.keys()))"),
              "3 image/png 3 308 Writer New Song ['APIC', 'COMM', 'TALB', 'TCOM', 'TCON', 'TIT2', 'TPE1', 'TRCK', "
              "'TYER']\n");
}

TEST(ID3v2Read, EncodingsVersionsAndCommentChoice) {
    // UTF-16 with BOM, UTF-16BE, UTF-8, and a genre given by number.
    const std::string frames = frame23("TIT2", std::string("\x01\xFF\xFE\x1F\x04\x35\x04\0\0", 9)) +
                               frame23("TPE1", std::string("\x02\x04\x16", 3)) +
                               frame23("TALB", "\x03" "日本") + frame23("TCON", std::string("\0(17)", 5)) +
                               frame23("COMM", std::string("\0engiTunNORM\0 0000", 18)) +
                               frame23("COMM", std::string("\0eng\0plain", 10));
    EXPECT_EQ(readV2(fileWith(tag(3, 0, frames) + kAudio)),
              (ID3StructV2{"Пе", "Ж", "日本", "", "", "plain", "Rock"}));

    // v2.4: synchsafe frame sizes above 127, an extended header, per-frame
    // unsynchronisation with a data length indicator.
    const std::string longText(200, 'L');
    ByteWriter f;
    f.text("TXXX").synchsafe32(1 + 4 + static_cast<uint32_t>(longText.size())).u8(0).u8(0);
    f.u8(0).text("desc").u8(0).text(std::string_view(longText).substr(0, longText.size() - 1));
    f.text("TIT2").synchsafe32(4 + 4).u8(0).u8(0x03).synchsafe32(4).u8(0).text(std::string("\xFF\x00" "A", 3));
    std::string body = std::string("\0\0\0\x06\x01\0", 6) + std::string(tags::AsText(f.data()));
    EXPECT_EQ(readV2(fileWith(tag(4, 0x40, body) + kAudio)).Title, "\xC3\xBF" "A");

    // v2.3 whole-tag unsynchronisation.
    const std::string plain = frame23("TIT2", std::string("\0\xFF\xE0", 3));
    std::string unsynced = frame23("TIT2", std::string("\0\xFF\x00\xE0", 4));
    unsynced[7] = 3;
    EXPECT_EQ(readV2(fileWith(tag(3, 0x80, unsynced) + kAudio)).Title, "ÿà");
}

TEST(ID3v2Read, FfmpegAndMutagenTagsReadCorrectly) {
    EXPECT_EQ(readV2(tagsamples::sample("mp3-v24")),
              (ID3StructV2{"Песня", "Artist", "Album", "2001", "5", "Hello", "Rock"}));

    const std::string path = tagsamples::copyOf("mp3");
    tagsamples::mutagen("from mutagen.id3 import ID3, TIT2, TPE1, COMM, TCON, APIC\n"
                        "t = ID3()\n"
                        "t.add(TIT2(encoding=1, text='夜の歌'))\n"
                        "t.add(TPE1(encoding=3, text='Кино'))\n"
                        "t.add(TCON(encoding=0, text='(13)'))\n"
                        "t.add(COMM(encoding=1, lang='eng', desc='', text='Привет'))\n"
                        "t.save('" + path + "', v2_version=3)\n");
    EXPECT_EQ(readV2(path), (ID3StructV2{"夜の歌", "Кино", "", "", "", "Привет", "Pop"}));
}

TEST(ID3v2Write, RoundTripWithLimitsAndOtherReaders) {
    const std::string path = tagsamples::copyOf("mp3");
    const std::string pcm = tagsamples::decodedMd5(path);
    ID3StructV2 t{"Песня о любви", "日本のアーティスト", "Album", "1999", "7", "Comment ünï", "Jazz"};
    ASSERT_TRUE(WriteID3v2Tag(path, t).ok);
    EXPECT_EQ(readV2(path), t);
    EXPECT_EQ(tagsamples::decodedMd5(path), pcm);

    EXPECT_EQ(tagsamples::taglibTag(path),
              (std::map<std::string, std::string>{{"title", t.Title}, {"artist", t.Artist},
                                                  {"album", "Album"}, {"comment", t.Comment},
                                                  {"genre", "Jazz"}, {"year", "1999"}, {"track", "7"}}));
    EXPECT_EQ(tagsamples::mutagen("t = mutagen.File('" + path + "').tags\n"
                                  "print(t['TIT2'], t['TPE1'], t.getall('COMM')[0], t.version, sep='|')"),
              t.Title + "|" + t.Artist + "|" + t.Comment + "|(2, 3, 0)\n");

    // At and beyond the 255-byte limit, in one byte and two byte encodings.
    ID3StructV2 longer;
    longer.Title = std::string(255, 'a');
    longer.Artist = std::string(300, 'b');
    for (int i = 0; i < 200; ++i) longer.Album += "Ж";  // UTF-16: 126 characters fit
    ASSERT_TRUE(WriteID3v2Tag(path, longer).ok);
    const ID3StructV2 back = readV2(path);
    EXPECT_EQ(back.Title.size(), 249u);  // the reader's 250-byte window
    EXPECT_EQ(back.Artist, std::string(249, 'b'));
    EXPECT_EQ(back.Album, longer.Album.substr(0, 2 * 123));
    EXPECT_EQ(tagsamples::taglibTag(path)["album"], longer.Album.substr(0, 2 * 126));
    EXPECT_EQ(tagsamples::taglibTag(path)["artist"], std::string(255, 'b'));
    EXPECT_EQ(tagsamples::decodedMd5(path), pcm);
}

TEST(ID3v2Write, RoomIsMadeWithoutTouchingTheAudio) {
    // A tag that fits in the old one's room, padding included, is written in
    // place: the same file and size, the rest of the room becomes padding. A
    // read-only file is never made writable for that (a kill would leave it
    // so): it is replaced whole and keeps its mode. A tag larger than the old
    // one is written before the audio in a new file.
    const std::string oldTitle = frame23("TIT2", std::string("\0Old title", 10));
    const struct {
        std::string old;
        mode_t mode;
        ID3StructV2 tag;
        bool inPlace, sameSize;
    } rows[] = {
        {tag(3, 0, oldTitle, 4000), 0644, {"New"}, true, true},
        {tag(3, 0, oldTitle, 70), 0644, {"Sixsix"}, true, true},  // 3 bytes short of the room
        {tag(3, 0, oldTitle, 4000), 0444, {"Newer"}, false, true},
        {tag(3, 0, oldTitle), 0444, {"Newer", "", "", "", "", std::string(200, 'c')}, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tag.Title + " " + std::to_string(row.old.size()) + " " + std::to_string(row.mode));
        const std::string path = fileWith(row.old + kAudio);
        ::chmod(path.c_str(), row.mode);
        struct stat before {}, after {};
        ::stat(path.c_str(), &before);
        ASSERT_TRUE(WriteID3v2Tag(path, row.tag).ok);
        ::stat(path.c_str(), &after);
        EXPECT_EQ(after.st_ino == before.st_ino, row.inPlace);
        EXPECT_EQ(after.st_mode & 07777, row.mode);
        const std::string bytes = testenv::readFile(path);
        EXPECT_EQ(bytes.size() == row.old.size() + kAudio.size(), row.sameSize);
        EXPECT_EQ(bytes.substr(bytes.size() - kAudio.size()), kAudio);
        EXPECT_EQ(bytes.find("Old title"), std::string::npos);
        EXPECT_EQ(readV2(path), row.tag);
    }
    // A file that is not there is not created.
    EXPECT_FALSE(WriteID3v2Tag(testenv::makeTempDir() + "/none.mp3", ID3StructV2{}).ok);
}

TEST(ID3v2Write, AnyTagAtTheStartIsReplacedNeverStacked) {
    // Headers other writers make: size bytes with the high bit set (counted
    // as they are), versions outside 2 to 4, a revision of 0xFF. Each tag is
    // read, and a save puts the new tag in its place.
    const std::string frames = frame23("TIT2", std::string("\0Old", 4));
    std::string highBit = tag(3, 0, frames, 256 - frames.size());
    highBit.replace(6, 4, std::string("\0\0\x01\x80", 4));  // 128 + 128 bytes
    std::string v5 = tag(5, 0, frames, 30), revision = tag(3, 0, frames, 30);
    revision[4] = '\xFF';
    for (const std::string& old : {highBit, v5, revision}) {
        SCOPED_TRACE(testing::PrintToString(old.substr(0, 10)));
        const std::string path = fileWith(old + kAudio);
        EXPECT_EQ(readV2(path).Title, "Old");
        ID3StructV2 t;
        t.Title = std::string(300, 'N');  // larger than the old tag
        for (int save = 0; save < 2; ++save) {
            ASSERT_TRUE(WriteID3v2Tag(path, t).ok);
            const std::string bytes = testenv::readFile(path);
            EXPECT_EQ(bytes.find("ID3", 1), std::string::npos);
            EXPECT_EQ(bytes.find("Old"), std::string::npos);
            EXPECT_EQ(bytes.substr(tags::Id3v2Tag::SizeOnDisk(tags::AsBytes(bytes))), kAudio);
            t.Title = "N";  // and one that fits in place
        }
    }
    // A header whose size runs past the file's end: where its tag ends is
    // unknown, so a save is refused and the file stays as it was.
    const std::string path = fileWith(tag(3, 0, frames, 5000).substr(0, 100) + kAudio);
    EXPECT_FALSE(WriteID3v2Tag(path, ID3StructV2{}).ok);
    EXPECT_EQ(testenv::readFile(path), tag(3, 0, frames, 5000).substr(0, 100) + kAudio);
}

TEST(ID3v2Write, OtherFramesSurviveAndASecondSaveIsIdentical) {
    const std::string path = tagsamples::copyOf("mp3");
    tagsamples::mutagen("from mutagen.id3 import ID3, TIT2, TXXX, APIC, COMM\n"
                        "t = ID3()\n"
                        "t.add(TIT2(encoding=0, text='Old'))\n"
                        "t.add(APIC(encoding=0, mime='image/png', type=3, desc='cover', data=bytes(range(256))*20))\n"
                        "t.add(TXXX(encoding=0, desc='REPLAYGAIN_TRACK_GAIN', text='-6.20 dB'))\n"
                        "t.add(COMM(encoding=0, lang='eng', desc='iTunNORM', text='0000'))\n"
                        "t.save('" + path + "', v2_version=3, padding=lambda info: 0)\n");
    const std::string pcm = tagsamples::decodedMd5(path);
    ID3StructV2 t;
    t.Title = "New";
    t.Comment = "mine";
    ASSERT_TRUE(WriteID3v2Tag(path, t).ok);
    const std::string first = testenv::readFile(path);
    ASSERT_TRUE(WriteID3v2Tag(path, t).ok);
    EXPECT_EQ(testenv::readFile(path), first);
    EXPECT_EQ(tagsamples::decodedMd5(path), pcm);
    EXPECT_EQ(tagsamples::mutagen("t = mutagen.File('" + path + "').tags\n"
                                  "print(len(t['APIC:cover'].data), t['TXXX:REPLAYGAIN_TRACK_GAIN'], "
                                  "t['COMM:iTunNORM:eng'], t['COMM::eng'], t['TIT2'], sep='|')"),
              "5120|-6.20 dB|0000|mine|New\n");
}
