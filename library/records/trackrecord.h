#pragma once
// One library entry as it is stored: 664 bytes, packed, little-endian. The
// layout is fixed because existing "music.dat" and playlist files hold it.
//
// Texts are UTF-8 in memory and on disk. Each text field is a length byte
// followed by that many bytes; a text that is too long is cut at a character
// boundary when it is stored, and the bytes after the text are zero so that
// the same record always gives the same bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::size_t kTrackRecordSize = 664;

// Longest text, in bytes, that each field holds.
inline constexpr std::size_t kMaxTitleBytes = 80;
inline constexpr std::size_t kMaxArtistBytes = 80;
inline constexpr std::size_t kMaxAlbumBytes = 100;
inline constexpr std::size_t kMaxGenreBytes = 10;
inline constexpr std::size_t kMaxYearBytes = 20;
inline constexpr std::size_t kMaxCommentBytes = 100;
// A longer path cannot be stored without naming another file; the builders
// skip such files rather than store a cut path.
inline constexpr std::size_t kMaxPathBytes = 255;

struct TrackRecord {
    int32_t PlayCount = 0;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Genre;
    std::string Year;
    std::string Comment;
    std::string Path;  // the record's identity, compared byte for byte
    double DateAdded = 0;  // days since 1899-12-30, local time; 0 for imported records

    bool operator==(const TrackRecord&) const = default;
};

using TrackRecordBytes = std::array<uint8_t, kTrackRecordSize>;

TrackRecordBytes EncodeTrackRecord(const TrackRecord& record);
void EncodeTrackRecord(const TrackRecord& record, std::span<uint8_t, kTrackRecordSize> out);
// Never fails: a length byte beyond its field's maximum is read as the maximum.
TrackRecord DecodeTrackRecord(std::span<const uint8_t, kTrackRecordSize> bytes);
// The stored Path of an encoded record, without decoding the rest.
std::string_view TrackRecordPath(std::span<const uint8_t, kTrackRecordSize> bytes);

// One more play, stopping at the largest count the field holds.
void IncrementPlayCount(TrackRecord& record);

// DateAdded values: days since 1899-12-30 on the local wall clock, with the
// time of day as the fraction.
double DateAddedFromTime(std::time_t t);
double DateAddedNow();
// The moment a DateAdded value names, or nothing for NaN, infinities and
// values beyond what time_t and the calendar hold.
std::optional<std::time_t> TimeFromDateAdded(double dateAdded);
