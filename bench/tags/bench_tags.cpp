// Tag reading against TagLib on files like those of a real collection: 60 s
// of audio; MP3 with an ID3v2.3 tag (text frames, TXXX frames) and an ID3v1
// block, Ogg Vorbis with its comments, WMA with its attributes; each once
// without and once with a 500 KB front cover (APIC, METADATA_BLOCK_PICTURE,
// WM/Picture), and the MP3 also with the cover stored before the text
// frames, as some taggers put it. The files are tagged by TagLib, as a
// common tagger would.
//
// Both sides read the same seven fields (title, artist, album, year,
// comment, genre, track): ours as a record is built (MP3: the ID3v2 tag and
// the ID3v1 block through ReadMp3Tags; a second MP3 line asks for them by
// two calls), TagLib through FileRef without audio properties. Beside them stands the floor: open, read the first 4 KB
// and the last 128 bytes, close. Warm figures read files in the page cache;
// cold figures drop each file from the cache (posix_fadvise DONTNEED, after
// an fsync) right before its read, on every side alike. The sides alternate
// in rounds and each figure is the median round with the range of the
// rounds, in microseconds per file. Each kind's save is printed beside its
// reads: a new title saved as the tag editor saves it, against TagLib's
// save followed by an fsync (ours is on the disk when it returns).
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "bench/support/benchsupport.h"
#include "tags/asf/wmatag.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/mpeg/mp3tags.h"
#include "tags/ogg/oggtag.h"

namespace {

constexpr int kFiles = 100;     // per kind of file
constexpr int kWarmRounds = 9;  // each a pass over every file
constexpr int kColdRounds = 5;
constexpr int kSaveRounds = 5;
constexpr size_t kCoverBytes = 500 * 1024;

enum class Cover { None, AfterText, BeforeText };

using Reader = std::function<void(const std::string&)>;
volatile size_t sink = 0;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool copyFile(const std::string& from, const std::string& to) {
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = std::fopen(to.c_str(), "wb");
    bool ok = in && out;
    std::vector<char> buffer(1 << 20);
    while (ok) {
        const size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
        if (n == 0) break;
        ok = std::fwrite(buffer.data(), 1, n, out) == n;
    }
    if (in) std::fclose(in);
    // On disk before the cold reads: DONTNEED leaves dirty pages in memory.
    if (out) ok = std::fflush(out) == 0 && ::fsync(fileno(out)) == 0 && std::fclose(out) == 0 && ok;
    return ok;
}

void dropFromCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// A JPEG's first bytes and then noise, which no compression shrinks.
TagLib::ByteVector coverBytes() {
    std::mt19937 random(7);
    std::string bytes = "\xFF\xD8\xFF\xE0\x00\x10JFIF";
    while (bytes.size() < kCoverBytes) bytes.push_back(static_cast<char>(random()));
    return TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size()));
}

template <typename T>
void setFields(T* tag) {
    tag->setTitle(TagLib::String("Song of the Evening Light", TagLib::String::UTF8));
    tag->setArtist(TagLib::String("The Performing Artists", TagLib::String::UTF8));
    tag->setAlbum(TagLib::String("An Album Called Something", TagLib::String::UTF8));
    tag->setYear(2001);
    tag->setComment(TagLib::String("Recorded live", TagLib::String::UTF8));
    tag->setGenre("Rock");
    tag->setTrack(5);
}

const char* const kExtras[][2] = {{"REPLAYGAIN_TRACK_GAIN", "-6.20 dB"},
                                  {"REPLAYGAIN_TRACK_PEAK", "0.988251"},
                                  {"REPLAYGAIN_ALBUM_GAIN", "-5.90 dB"},
                                  {"MusicBrainz Album Id", "6f0e7d12-3d41-4a7e-9c35-0b3b3e6a1d11"},
                                  {"MusicBrainz Track Id", "1b2c3d4e-5f60-4718-8293-a4b5c6d7e8f9"}};

bool tagFile(const std::string& path, const std::string& ext, Cover coverAt) {
    const bool cover = coverAt != Cover::None;
    if (ext == "mp3") {
        TagLib::MPEG::File f(path.c_str(), false);
        // Frames are stored in the order they are added.
        auto addPicture = [&] {
            auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
            picture->setMimeType("image/jpeg");
            picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
            picture->setPicture(coverBytes());
            f.ID3v2Tag(true)->addFrame(picture);
        };
        if (coverAt == Cover::BeforeText) addPicture();
        setFields(f.ID3v2Tag(true));
        for (const auto& extra : kExtras)
            f.ID3v2Tag()->addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(extra[0], TagLib::StringList(extra[1])));
        if (coverAt == Cover::AfterText) addPicture();
        setFields(f.ID3v1Tag(true));
        return f.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                      TagLib::ID3v2::v3);
    }
    if (ext == "ogg") {
        TagLib::Ogg::Vorbis::File f(path.c_str(), false);
        setFields(f.tag());
        for (const auto& extra : kExtras) f.tag()->addField(extra[0], extra[1]);
        if (cover) {
            auto* picture = new TagLib::FLAC::Picture;
            picture->setMimeType("image/jpeg");
            picture->setType(TagLib::FLAC::Picture::FrontCover);
            picture->setData(coverBytes());
            f.tag()->addPicture(picture);
        }
        return f.save();
    }
    TagLib::ASF::File f(path.c_str(), false);
    setFields(f.tag());
    for (const auto& extra : kExtras) f.tag()->setAttribute(extra[0], TagLib::ASF::Attribute(TagLib::String(extra[1])));
    if (cover) {
        TagLib::ASF::Picture picture;
        picture.setMimeType("image/jpeg");
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setPicture(coverBytes());
        f.tag()->setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
    }
    return f.save();
}

void useMp3(const ID3StructV2& v2, const ID3v1Block& v1) {
    sink = sink + v2.Title.size() + v2.Artist.size() + v2.Album.size() + v2.Year.size() + v2.Comment.size() +
           v2.Genre.size() + v2.Track.size() + v1.title().size() + v1.artist().size() + v1.genre();
}

// MP3 as a caller that asks for each tag by itself: two opens, one after
// the other.
void readOursTwoCalls(const std::string& path) {
    ID3StructV2 v2;
    ID3v1Block v1;
    ReadID3v2Tag(path, v2);
    ReadID3v1Tag(path, v1);
    useMp3(v2, v1);
}

void readOurs(const std::string& path, const std::string& ext) {
    if (ext == "mp3") {
        ID3StructV2 v2;
        ID3v1Block v1;
        ReadMp3Tags(path, v2, v1);
        useMp3(v2, v1);
    } else if (ext == "ogg") {
        OGGTag tag;
        ReadOggTag(path, tag);
        sink = sink + tag.Title.size() + tag.Artist.size() + tag.Album.size() + tag.Date.size() + tag.Comment.size() +
               tag.Genre.size() + tag.TrackNumber.size();
    } else {
        WmaTagInfo info;
        ReadWmaInfo(path, info);
        sink = sink + info.Title.size() + info.Author.size() + info.Album.size() + info.Year.size() +
               info.Description.size() + info.Genre.size() + info.TrackNumber;
    }
}

void readTagLib(const std::string& path) {
    TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull() || !ref.tag()) return;
    const TagLib::Tag* tag = ref.tag();
    sink = sink + tag->title().size() + tag->artist().size() + tag->album().size() + tag->year() +
           tag->comment().size() + tag->genre().size() + tag->track();
}

void readFloor(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    ::fstat(fd, &st);
    char head[4096], tail[128];
    sink = sink + static_cast<size_t>(::pread(fd, head, sizeof head, 0)) +
           static_cast<size_t>(::pread(fd, tail, sizeof tail, st.st_size - 128));
    ::close(fd);
}

struct Figures {
    std::vector<double> ours, taglib, floor;  // microseconds per file, a round each
};

// One pass of one side over every file: warm as they are, or cold with each
// file dropped from the cache just before its read (the drop not timed).
double pass(const std::vector<std::string>& files, const Reader& read, bool cold) {
    double seconds = 0;
    if (!cold) {
        const double start = now();
        for (const auto& f : files) read(f);
        seconds = now() - start;
    } else {
        for (const auto& f : files) {
            dropFromCache(f);
            const double start = now();
            read(f);
            seconds += now() - start;
        }
    }
    return seconds * 1e6 / static_cast<double>(files.size());
}

Figures measure(const std::vector<std::string>& files, const Reader& ours, bool cold) {
    const Reader taglib = readTagLib, floor = readFloor;
    std::vector<double> o, t, f;
    const int rounds = cold ? kColdRounds : kWarmRounds;
    if (!cold) {
        pass(files, ours, false);
        pass(files, taglib, false);
    }
    for (int round = 0; round < rounds; ++round) {
        // Alternate which side goes first, so neither always follows the other.
        if (round % 2 == 0) {
            o.push_back(pass(files, ours, cold));
            t.push_back(pass(files, taglib, cold));
        } else {
            t.push_back(pass(files, taglib, cold));
            o.push_back(pass(files, ours, cold));
        }
        f.push_back(pass(files, floor, cold));
    }
    return {o, t, f};
}

// A save of a new title, as the tag editor makes it (MP3: both tags, the
// ID3v2 tag first, one flush for the two), each
// side on files of its own, in alternating rounds. Ours is on disk (fsync)
// when the call returns; TagLib's save is followed by an fsync of the file,
// so both pay for it. Microseconds per file, a round each.
std::pair<std::vector<double>, std::vector<double>> measureWrites(const std::vector<std::string>& files,
                                                                  const std::string& ext) {
    const size_t half = std::min<size_t>(files.size() / 2, 20);
    int k = 0;
    auto title = [&] { return "New title " + std::to_string(k++ % 7); };
    auto ours = [&](const std::string& path) {
        if (ext == "mp3") {
            ID3StructV2 v2;
            ID3v1Block v1;
            ReadMp3Tags(path, v2, v1);
            v2.Title = title();
            v1.setTitle(v2.Title);
            WriteMp3Tags(path, v2, v1);
        } else if (ext == "ogg") {
            OGGTag tag;
            ReadOggTag(path, tag);
            tag.Title = title();
            WriteOggTag(path, tag);
        } else {
            WmaTagInfo info;
            ReadWmaInfo(path, info);
            info.Title = title();
            WriteWmaTag(path, info);
        }
    };
    auto theirs = [&](const std::string& path) {
        TagLib::FileRef ref(path.c_str(), false);
        ref.tag()->setTitle(TagLib::String(title(), TagLib::String::UTF8));
        ref.save();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ::fsync(fd);
        ::close(fd);
    };
    std::vector<double> o, t;
    auto side = [&](const std::function<void(const std::string&)>& save, size_t first, std::vector<double>& into) {
        const double start = now();
        for (size_t i = first; i < first + half; ++i) save(files[i]);
        into.push_back((now() - start) * 1e6 / static_cast<double>(half));
    };
    for (int round = 0; round < kSaveRounds; ++round) {
        if (round % 2 == 0) {
            side(ours, 0, o);
            side(theirs, half, t);
        } else {
            side(theirs, half, t);
            side(ours, 0, o);
        }
    }
    return {o, t};
}

std::string us(const std::vector<double>& v) { return bench::Figure(v, 1, 1); }

void report(const std::string& what, const char* cache, const Figures& x) {
    std::printf("%-30s %-4s ours %s us  TagLib %s us  floor %s us  ours/TagLib speed %s  ours/floor %s\n",
                what.c_str(), cache, us(x.ours).c_str(), us(x.taglib).c_str(), us(x.floor).c_str(),
                bench::RatioFigure(x.taglib, x.ours).c_str(), bench::RatioFigure(x.ours, x.floor).c_str());
}

}  // namespace

int main() {
    char tmpl[] = "/var/tmp/bench_tags_XXXXXX";
    if (!::mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl;
    const std::string tone =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=60 -ac 2 -fflags +bitexact -flags:a +bitexact ";
    struct Kind {
        const char* name;
        const char* ext;
        const char* codec;
    };
    const Kind kinds[] = {{"MP3", "mp3", "-c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0"},
                          {"OGG", "ogg", "-c:a libvorbis -q:a 4"},
                          {"WMA", "wma", "-c:a wmav2 -b:a 128k"}};
    std::printf("%d files of 60 s per row; microseconds per file, median [range] of %d warm and %d cold rounds "
                "(saves: %d rounds); a speed above 1 is ours faster\n",
                kFiles, kWarmRounds, kColdRounds, kSaveRounds);
    int failures = 0;
    for (const Kind& kind : kinds) {
        const std::string ext = kind.ext;
        const std::string audio = dir + "/audio." + ext;
        if (std::system((tone + kind.codec + " " + audio).c_str()) != 0) {
            std::fprintf(stderr, "ffmpeg could not make the %s sample\n", kind.ext);
            return 1;
        }
        for (Cover coverAt : {Cover::None, Cover::AfterText, Cover::BeforeText}) {
            if (coverAt == Cover::BeforeText && ext != "mp3") continue;
            const bool cover = coverAt != Cover::None;
            const std::string base = dir + "/base." + ext;
            if (!copyFile(audio, base) || !tagFile(base, ext, coverAt)) {
                std::fprintf(stderr, "could not tag the %s sample\n", kind.ext);
                return 1;
            }
            std::vector<std::string> files;
            for (int i = 0; i < kFiles; ++i) {
                files.push_back(dir + "/f" + std::to_string(i) + "." + ext);
                if (!copyFile(base, files.back())) return 1;
            }
            // Both sides must see the tag, or the comparison means nothing.
            OGGTag ogg;
            WmaTagInfo wma;
            ID3StructV2 mp3;
            const bool oursRead = ext == "mp3"   ? (ReadID3v2Tag(base, mp3), mp3.Title == "Song of the Evening Light")
                                  : ext == "ogg" ? (ReadOggTag(base, ogg), ogg.Title == "Song of the Evening Light")
                                                 : (ReadWmaInfo(base, wma), wma.Title == "Song of the Evening Light");
            if (!oursRead || TagLib::FileRef(base.c_str(), false).tag()->title() != "Song of the Evening Light") {
                std::fprintf(stderr, "a reader missed the %s tag\n", kind.ext);
                ++failures;
            }
            struct stat st {};
            ::stat(base.c_str(), &st);
            const std::string what = std::string(kind.name) + (!cover                        ? " small tag"
                                                               : coverAt == Cover::BeforeText ? " cover before text"
                                                                                              : " with cover");
            std::printf("%s: %.0f KB a file\n", what.c_str(), st.st_size / 1024.0);
            const Reader ours = [ext](const std::string& p) { readOurs(p, ext); };
            report(what, "warm", measure(files, ours, false));
            report(what, "cold", measure(files, ours, true));
            if (ext == "mp3") {
                report(what + ", 2 calls", "warm", measure(files, readOursTwoCalls, false));
                report(what + ", 2 calls", "cold", measure(files, readOursTwoCalls, true));
            }
            const auto [ourWrite, theirWrite] = measureWrites(files, ext);
            std::printf("%-30s save ours %s us  TagLib + fsync %s us  ours/TagLib speed %s\n", what.c_str(),
                        us(ourWrite).c_str(), us(theirWrite).c_str(), bench::RatioFigure(theirWrite, ourWrite).c_str());
            for (const auto& f : files) ::unlink(f.c_str());
            ::unlink(base.c_str());
        }
        ::unlink(audio.c_str());
    }
    ::rmdir(dir.c_str());
    return failures == 0 ? 0 : 1;
}
