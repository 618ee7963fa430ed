#include "library/recordbuilder.h"

#include <array>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "library/playlists/playlistrow.h"
#include "platform/texthelpers.h"
#include "library/treetext.h"
#include "platform/utf8.h"
#include "tags/asf/wmatag.h"
#include "tags/commontags.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/ogg/oggtag.h"
#include "tags/textcodec.h"

namespace {

// Codes below 33 go at both ends, as the ID3v1 texts are padded with zeros
// and blanks.
std::string trimmed(std::string_view text) { return std::string(tags::TrimTagText(text)); }

std::string cut(std::string_view text, std::size_t maxBytes) { return std::string(Utf8Cut(text, maxBytes)); }

// A record keeps six of the seven: no track.
void putRecordTags(TrackRecord& r, const CommonTags& t) {
    r.Title = t.title;
    r.Artist = t.artist;
    r.Album = t.album;
    r.Genre = t.genre;
    r.Year = t.year;
    r.Comment = t.comment;
}

struct OpenFile {
    // Without blocking: a FIFO under an audio name must not hang the add.
    explicit OpenFile(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd;
};

}  // namespace

// The file is open already, to tell files from folders and FIFOs, so the
// tags are read through it rather than by opening the file again: an add of
// thousands of files spends its time in such calls.
bool TagReaders::readMp3(int fd, int64_t size, const std::string& path, ID3StructV2& v2, ID3v1Block& v1,
                         std::string* error) const {
    return ReadMp3Tags(fd, static_cast<uint64_t>(size), path, v2, v1, error);
}
bool TagReaders::readOgg(const std::string& path, OGGTag& tag, std::string* error) const {
    return ReadOggTag(path, tag, error);
}
bool TagReaders::readWma(const std::string& path, WmaTagInfo& info, std::string* error) const {
    return ReadWmaInfo(path, info, error);
}

const TagReaders& FileTagReaders() {
    static const TagReaders readers;
    return readers;
}

void Mp3RecordTexts(TrackRecord& r, const ID3StructV2& v2, const ID3StructV2& v1) {
    // Most files carry only the ID3v2 tag, and only it holds texts beyond
    // Latin-1.
    auto field = [](const std::string& first, const std::string& second) {
        std::string text = trimmed(first);
        return text.empty() ? trimmed(second) : text;
    };
    r.Title = field(v2.Title, v1.Title);
    r.Artist = RemoveInvalidFileNameChars(field(v2.Artist, v1.Artist));
    r.Album = RemoveInvalidFileNameChars(field(v2.Album, v1.Album));
    r.Genre = field(v2.Genre, v1.Genre);
    r.Year = field(v2.Year, v1.Year);
    r.Comment = field(v2.Comment, v1.Comment);
}

void FinishRecordTexts(TrackRecord& r, std::string_view fileName) {
    // The artist and album become tree nodes, which hold no line breaks and
    // no leading blanks; the record keeps the same text so that the node
    // lists it.
    r.Artist = CleanNodeText(r.Artist);
    r.Album = CleanNodeText(r.Album);
    if (r.Artist.empty()) r.Artist = "Unknown Artist";
    if (r.Album.empty()) r.Album = "Unknown Album";
    if (r.Title.empty()) r.Title = fileName;
    r.Title = cut(r.Title, kMaxTitleBytes);
    r.Artist = cut(r.Artist, kMaxArtistBytes);
    r.Album = cut(r.Album, kMaxAlbumBytes);
    r.Genre = cut(r.Genre, kMaxGenreBytes);
    r.Year = cut(r.Year, kMaxYearBytes);
    r.Comment = cut(r.Comment, kMaxCommentBytes);
}

RecordBuild BuildTrackRecord(const std::string& path, double dateAdded, const TagReaders& readers) {
    RecordBuild build;
    const OpenFile file(path);
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0) {
        build.reason = "Cannot open file " + path;
        return build;
    }
    if (S_ISDIR(st.st_mode)) {
        build.outcome = BuildOutcome::NotAFile;
        return build;
    }
    const AudioKind kind = AudioKindOfPath(path);
    if (kind == AudioKind::None) {
        build.outcome = BuildOutcome::NotAudio;
        return build;
    }
    if (path.size() > kMaxPathBytes) {
        build.outcome = BuildOutcome::PathTooLong;
        build.reason = "The path is longer than " + std::to_string(kMaxPathBytes) + " bytes: " + path;
        return build;
    }
    // Devices and FIFOs would block the tag readers or feed them forever.
    if (!S_ISREG(st.st_mode)) {
        build.reason = "Not a regular file: " + path;
        return build;
    }

    TrackRecord& r = build.record;
    r.DateAdded = dateAdded;
    const std::string fileName(FileNamePart(path));
    switch (kind) {
    case AudioKind::Wma: {
        WmaTagInfo info;
        if (!readers.readWma(path, info, &build.reason)) return build;
        if (info.Status == 0) {
            build.reason = "Not a WMA file: " + path;
            return build;
        }
        putRecordTags(r, CommonTagsOf(info));
        break;
    }
    case AudioKind::Ogg: {
        OGGTag tag;
        if (!readers.readOgg(path, tag, &build.reason)) return build;
        putRecordTags(r, CommonTagsOf(tag));
        break;
    }
    case AudioKind::Wav: break;
    case AudioKind::Mp3: {
        ID3v1Block block;
        ID3StructV2 v2;
        if (!readers.readMp3(file.fd, st.st_size, path, v2, block, &build.reason)) return build;
        ID3StructV2 v1;
        if (block.hasMagic()) PutCommonTags(v1, CommonTagsOf(block));
        Mp3RecordTexts(r, v2, v1);
        break;
    }
    case AudioKind::None: break;
    }

    FinishRecordTexts(r, fileName);
    r.Path = path;
    r.PlayCount = 0;
    build.outcome = BuildOutcome::Built;
    build.reason.clear();
    return build;
}
