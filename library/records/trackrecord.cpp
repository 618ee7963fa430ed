#include "trackrecord.h"

#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/utf8.h"

namespace {

struct Field {
    std::size_t offset;
    std::size_t maxBytes;
};

constexpr Field kTitle{4, kMaxTitleBytes};
constexpr Field kArtist{85, kMaxArtistBytes};
constexpr Field kAlbum{166, kMaxAlbumBytes};
constexpr Field kGenre{267, kMaxGenreBytes};
constexpr Field kYear{278, kMaxYearBytes};
constexpr Field kComment{299, kMaxCommentBytes};
constexpr Field kPath{400, kMaxPathBytes};
constexpr std::size_t kDateAddedOffset = 656;

static_assert(kPath.offset + 1 + kPath.maxBytes == kDateAddedOffset);
static_assert(kDateAddedOffset + sizeof(double) == kTrackRecordSize);
static_assert(std::numeric_limits<double>::is_iec559);

void putText(std::span<uint8_t, kTrackRecordSize> out, Field f, const std::string& text) {
    const std::string_view kept = Utf8Cut(text, f.maxBytes);
    out[f.offset] = static_cast<uint8_t>(kept.size());
    std::memcpy(out.data() + f.offset + 1, kept.data(), kept.size());
}

std::string_view textAt(std::span<const uint8_t, kTrackRecordSize> bytes, Field f) {
    const std::size_t length = std::min<std::size_t>(bytes[f.offset], f.maxBytes);
    return {reinterpret_cast<const char*>(bytes.data() + f.offset + 1), length};
}

void putLE(uint8_t* out, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t getLE(const uint8_t* in, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
    return value;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and back.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

const int64_t kDay0 = daysFromCivil(1899, 12, 30);
// 9999-12-31, the last day the stored format is used for.
constexpr double kLastDay = 2958465.0;

// Before day 0 the whole part counts days back while the fraction still
// counts forward into the day: 1899-12-29 06:00 is -1.25.
double combine(int64_t days, double dayFraction) {
    return days >= 0 ? static_cast<double>(days) + dayFraction : static_cast<double>(days) - dayFraction;
}

double fromLocal(std::time_t t, double subSecond) {
    std::tm tm {};
    if (!::localtime_r(&t, &tm)) return 0;
    const int64_t days = daysFromCivil(tm.tm_year + 1900LL, tm.tm_mon + 1, tm.tm_mday) - kDay0;
    const double seconds = tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + subSecond;
    return combine(days, seconds / 86400.0);
}

}  // namespace

void EncodeTrackRecord(const TrackRecord& r, std::span<uint8_t, kTrackRecordSize> out) {
    std::memset(out.data(), 0, out.size());
    putLE(out.data(), static_cast<uint32_t>(r.PlayCount), 4);
    putText(out, kTitle, r.Title);
    putText(out, kArtist, r.Artist);
    putText(out, kAlbum, r.Album);
    putText(out, kGenre, r.Genre);
    putText(out, kYear, r.Year);
    putText(out, kComment, r.Comment);
    putText(out, kPath, r.Path);
    putLE(out.data() + kDateAddedOffset, std::bit_cast<uint64_t>(r.DateAdded), 8);
}

TrackRecordBytes EncodeTrackRecord(const TrackRecord& record) {
    TrackRecordBytes bytes;
    EncodeTrackRecord(record, bytes);
    return bytes;
}

TrackRecord DecodeTrackRecord(std::span<const uint8_t, kTrackRecordSize> b) {
    TrackRecord r;
    r.PlayCount = static_cast<int32_t>(static_cast<uint32_t>(getLE(b.data(), 4)));
    r.Title = textAt(b, kTitle);
    r.Artist = textAt(b, kArtist);
    r.Album = textAt(b, kAlbum);
    r.Genre = textAt(b, kGenre);
    r.Year = textAt(b, kYear);
    r.Comment = textAt(b, kComment);
    r.Path = textAt(b, kPath);
    r.DateAdded = std::bit_cast<double>(getLE(b.data() + kDateAddedOffset, 8));
    return r;
}

std::string_view TrackRecordPath(std::span<const uint8_t, kTrackRecordSize> bytes) { return textAt(bytes, kPath); }

void IncrementPlayCount(TrackRecord& record) {
    if (record.PlayCount < INT32_MAX) ++record.PlayCount;
}

double DateAddedFromTime(std::time_t t) { return fromLocal(t, 0); }

double DateAddedNow() {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // Whole milliseconds, like the clock the format comes from.
    return fromLocal(now.tv_sec, static_cast<double>(now.tv_nsec / 1000000) / 1000.0);
}

std::optional<std::time_t> TimeFromDateAdded(double dateAdded) {
    if (!std::isfinite(dateAdded) || std::fabs(dateAdded) > kLastDay + 1) return std::nullopt;
    const double whole = std::trunc(dateAdded);
    const int64_t days = static_cast<int64_t>(whole);
    const long long seconds = std::llround(std::fabs(dateAdded - whole) * 86400.0);

    int64_t year;
    unsigned month, day;
    civilFromDays(days + kDay0, &year, &month, &day);
    std::tm tm {};
    tm.tm_year = static_cast<int>(year - 1900);
    tm.tm_mon = static_cast<int>(month) - 1;
    tm.tm_mday = static_cast<int>(day);
    tm.tm_sec = static_cast<int>(seconds);  // mktime carries a full day over
    tm.tm_isdst = -1;
    errno = 0;
    const std::time_t t = std::mktime(&tm);
    // -1 is also one second before 1970 in UTC; only errno tells them apart.
    if (t == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
    return t;
}
