#pragma once
// The tag fields of WMA files: read through the ASF attribute layer, or, for
// files of the old pre-1.0 header format, by walking their header records.

#include <cstdint>
#include <string>

#include "tags/bytes.h"
#include "tags/tagfile.h"

// Texts are UTF-8, cut at a character boundary to the byte sizes of the
// record's fixed arrays less the terminator: Year, Author, Title, Album and
// ExtraText 127, Description 254, Genre 31.
struct WmaTagInfo {
    static constexpr size_t kTextMax = 127;
    static constexpr size_t kDescriptionMax = 254;
    static constexpr size_t kGenreMax = 31;

    int32_t Status = 0;  // 0 nothing read; -1 the file was understood
    std::string Year;
    uint16_t TrackNumber = 0;
    std::string Author;
    std::string Title;
    std::string Album;
    std::string Description;
    std::string ExtraText;  // header record 3 of the old format
    std::string Genre;
    bool operator==(const WmaTagInfo&) const = default;
};

// Re-entrant: fills Info (replacing all of it) and returns true. A file that
// is neither kind of ASF gives Status 0 and empty fields and still returns
// true; a file that cannot be read returns false with *error.
bool ReadWmaInfo(const std::string& fileName, WmaTagInfo& info, std::string* error = nullptr);

// Writes Author, Title, WM/AlbumTitle, WM/Year, Description, WM/Genre and
// WM/TrackNumber; every other attribute and the audio stay as they were.
TagWriteResult WriteWmaTag(const std::string& fileName, const WmaTagInfo& info);

// The old-format walk over any source; exposed for the tests and the fuzzer.
WmaTagInfo ReadWmaHeaderRecords(const tags::ByteSource& source);

// Count UTF-16 characters of a record: at most 511 are kept (the rest is
// skipped), and the text ends at the first zero character.
std::string ReadUtf16Chars(tags::ByteReader& in, size_t count);
