#pragma once
// The 128-byte ID3v1 block at the end of an MP3 file.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tags/bytes.h"
#include "tags/tagfile.h"

// The block as it lies in the file: "TAG", Title 30, Artist 30, Album 30,
// Year 4, Comment 28, Track 2, Genre 1. The track is a zero byte and the
// number (the form every other tool writes and reads) or, for what is no
// such number, text ("A1"). Texts are
// Windows-1252, zero-padded, without terminator when full. The accessors
// convert to and from UTF-8; a getter trims characters 0 to 32 from both
// ends of the whole field (and ends the text at a zero byte still inside),
// a setter cuts to the field's width and zero-pads.
struct ID3v1Block {
    static constexpr size_t kSize = 128;
    std::array<uint8_t, kSize> bytes{};

    // A block with "TAG" and empty fields; genre 255 (none).
    static ID3v1Block Empty();
    // The last 128 bytes of a file as read; a block that does not begin with
    // "TAG" keeps its first three bytes, the rest becomes zero and the genre 3.
    static ID3v1Block Parse(tags::ByteSpan last128);

    bool hasMagic() const;

    std::string title() const;
    std::string artist() const;
    std::string album() const;
    std::string year() const;
    std::string comment() const;
    // A zero byte then a number other than zero gives that number as text;
    // otherwise the two bytes as text.
    std::string track() const;
    uint8_t genre() const { return bytes[127]; }

    void setTitle(std::string_view utf8);
    void setArtist(std::string_view utf8);
    void setAlbum(std::string_view utf8);
    void setYear(std::string_view utf8);
    void setComment(std::string_view utf8);
    // A whole number 1 to 255 is stored as a zero byte and the number; any
    // other text as up to two text bytes.
    void setTrack(std::string_view utf8);
    // 0..147 is stored as itself, anything else as 255.
    void setGenre(int index);

    bool operator==(const ID3v1Block&) const = default;
};

// The number a track text stores in the zero-and-number form: a whole
// number 1 to 255 (blanks around it allowed), else none.
std::optional<uint8_t> Id3v1TrackNumber(std::string_view text);

// Component-wide result of the last ReadID3v1Tag(fileName) on the main
// thread; the tag editor also fills it as the writer's input.
extern ID3v1Block LastID3v1Tag;

// Re-entrant: fills block from the file and returns true; a file shorter than
// 128 bytes or without "TAG" gives the empty block of the format (genre 3).
// A file that cannot be read gives that block too and returns false, with
// the reason in *error.
bool ReadID3v1Tag(const std::string& fileName, ID3v1Block& block, std::string* error = nullptr);
// Main thread: reads into LastID3v1Tag and returns it.
const ID3v1Block& ReadID3v1Tag(const std::string& fileName);

namespace tags {
// The block at the end of an open file, as ReadID3v1Tag reads it.
bool ReadId3v1Block(const ByteSource& file, const std::string& fileName, ID3v1Block& block, std::string* error);
}  // namespace tags

// Replaces the file's ID3v1 block, or appends one when it has none. The rest
// of the file is untouched. Never creates the file.
TagWriteResult WriteID3v1Tag(const std::string& fileName, const ID3v1Block& block);
