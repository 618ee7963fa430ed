#pragma once
// The ID3v2 tag at the start of an MP3 file: a frame-level tag that parses
// v2.3 and v2.4 and renders v2.3, and the seven-field view of it the program
// edits (ID3StructV2).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tags/bytes.h"
#include "tags/mpeg/id3v1.h"
#include "tags/tagfile.h"

// Title, Artist, Album, Year, Track, Comment, Genre as UTF-8 text; Genre is
// text ("Rock"), not a number.
struct ID3StructV2 {
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Track;
    std::string Comment;
    std::string Genre;
    bool operator==(const ID3StructV2&) const = default;
};

// The frames the program edits, in read and write order.
inline constexpr std::array<std::string_view, 7> kId3v2FrameIds = {"TIT2", "TPE1", "TALB", "TRCK",
                                                                   "TYER", "TCON", "COMM"};

// Working record of the reader: the 10-byte header, the size of the file and
// one text per frame of the table.
struct TagInfo {
    std::array<uint8_t, 10> Header{};
    int64_t FileSize = 0;
    std::array<std::string, 7> Text;
};

// Size of the tag a header describes, header included, or 0 when it would
// not fit the file: b6*2097152 + b7*16384 + b8*128 + b9 + 10.
int64_t ID3v2TagSize(const TagInfo& info);

// total = 10 + sum of (10 + frame size); stored synchsafe in header bytes
// 6..9. Returns total, the whole tag less its 10-byte header.
uint32_t ComputeID3v2TagSize(std::array<uint8_t, 10>& header, std::span<const uint32_t> frameSizes);

extern ID3StructV2 LastID3v2Tag;

// Re-entrant: the seven fields from the file's ID3v2 tag (empty when it has
// none). False with *error when the file cannot be read.
bool ReadID3v2Tag(const std::string& fileName, ID3StructV2& tag, std::string* error = nullptr);
// Main thread: reads into LastID3v2Tag and returns it.
const ID3StructV2& ReadID3v2Tag(const std::string& fileName);

// Re-entrant: both tags of an MP3 file, as ReadID3v2Tag and ReadID3v1Tag
// read them, through one open of the file and with the two reads
// overlapping on a cold cache: the call for building records of many files.
bool ReadMp3Tags(const std::string& fileName, ID3StructV2& v2, ID3v1Block& v1, std::string* error = nullptr);
// The same through a regular file the caller holds open as fd, of size bytes
// (fileName for messages).
bool ReadMp3Tags(int fd, uint64_t size, const std::string& fileName, ID3StructV2& v2, ID3v1Block& v1,
                 std::string* error = nullptr);

// Writes the seven fields as an ID3v2.3 tag at the start of the file. The
// file's other frames (pictures, ReplayGain, lyrics...) are kept after the
// seven; the audio is never overwritten: the tag is written in place when it
// fits the old one with its padding, otherwise the file is rewritten
// atomically. Saving the same fields twice gives identical bytes.
TagWriteResult WriteID3v2Tag(const std::string& fileName, const ID3StructV2& tag);

namespace tags {

struct Id3v2Frame {
    std::string id;      // four characters
    uint16_t flags = 0;  // v2.3 flag bits
    ByteVector data;     // the frame body, without unsynchronisation
    bool operator==(const Id3v2Frame&) const = default;
};

class Id3v2Tag {
public:
    // A tag from bytes that start with its header; nullopt when they do not
    // begin with an ID3v2 header. v2.3 and v2.4 frames are read, v2.2
    // frames under their v2.3 names (a picture as APIC; frames v2.3 has no
    // name for are left out), other versions by the v2.3 rules. A truncated
    // or damaged body gives the frames read before the damage.
    static std::optional<Id3v2Tag> Parse(ByteSpan bytes);
    // Size of the tag that begins these bytes (header, body, footer), 0 when
    // they do not begin with "ID3" and a whole header. Any version counts, and
    // the size bytes count as they are, high bits included.
    static uint64_t SizeOnDisk(ByteSpan first10);

    // The frames the seven fields of ID3StructV2 come from, of the tag at the
    // start of source (none when it holds no tag; the whole frames of one
    // that runs past its end), each cut to the bytes text() and comment()
    // read: what Parse of the whole tag would give those two. Other frames
    // are skipped unread.
    static Id3v2Tag ReadFields(const ByteSource& source);

    // The whole v2.3 tag: header, frames, then padding zero bytes.
    ByteVector Render(size_t padding) const;
    // The size Render(0) gives, without rendering.
    size_t RenderedSize() const;

    std::vector<Id3v2Frame>& frames() { return frames_; }
    const std::vector<Id3v2Frame>& frames() const { return frames_; }
    uint8_t version() const { return version_; }

    // The text of the first text frame of that id ("TIT2"...), decoded from
    // at most the first 250 bytes of the frame.
    std::string text(std::string_view id) const;
    // The comment: the first COMM frame with an empty description, else the
    // first COMM frame, else a TXXX frame described "comment".
    std::string comment() const;

private:
    uint8_t version_ = 3;
    std::vector<Id3v2Frame> frames_;
};

// Decodes an ID3v2 text (encoding byte first) to UTF-8, up to the first
// terminator of its encoding.
std::string DecodeId3v2Text(ByteSpan body);
// The body of a text frame: encoding 0 (Windows-1252) when the text fits,
// else 1 (UTF-16 with BOM); at most maxTextBytes text bytes, cut at a
// character boundary.
ByteVector EncodeId3v2Text(std::string_view utf8, size_t maxTextBytes);

// The tag at the start of a file; an empty v2.3 tag when it has none. False
// with *error when the file cannot be read.
bool ReadId3v2Frames(const std::string& fileName, Id3v2Tag& tag, std::string* error = nullptr);
// Writes the tag at the start of the file in place of the old one, with the
// room rules of WriteID3v2Tag.
TagWriteResult WriteId3v2Frames(const std::string& fileName, const Id3v2Tag& tag);

// The frames WriteID3v2Tag writes for the seven fields, in its order.
Id3v2Tag Id3v2TagOf(const ID3StructV2& fields);
// The tag as the writers put it before audio that had none (with their
// padding): for a writer that puts it in with the audio of a new file.
ByteVector RenderNewId3v2Tag(const Id3v2Tag& tag);

}  // namespace tags
