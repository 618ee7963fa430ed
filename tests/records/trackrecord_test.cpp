#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <ctime>

#include "library/records/trackrecord.h"
#include "platform/utf8.h"
#include "testenv.h"

namespace {

std::string textAt(const TrackRecordBytes& b, std::size_t offset) {
    return std::string(reinterpret_cast<const char*>(b.data() + offset + 1), b[offset]);
}

// Runs the body with the local time zone set to tz.
class ScopedTimeZone {
    struct Reload {
        ~Reload() { ::tzset(); }
    } reload_;  // declared first, so it runs after env_ has put TZ back
    testenv::ScopedEnv env_;

public:
    explicit ScopedTimeZone(const char* tz) : env_("TZ", tz) { ::tzset(); }
};

}  // namespace

TEST(TrackRecord, EncodesEveryFieldAtItsOffset) {
    TrackRecord r{0x01020304, "Title", "Artist", "Album", "Rock", "1999", "Comment", "/m/a.mp3", 45000.25};

    const TrackRecordBytes b = EncodeTrackRecord(r);
    ASSERT_EQ(b.size(), 664u);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 4), (std::vector<uint8_t>{4, 3, 2, 1}));
    // The bytes after each text are zero, so the same record always gives
    // the same file.
    const struct {
        std::size_t offset, width;
        const char* text;
    } fields[] = {{4, 81, "Title"},  {85, 81, "Artist"},   {166, 101, "Album"},        {267, 11, "Rock"},
                  {278, 21, "1999"}, {299, 101, "Comment"}, {400, 256, "/m/a.mp3"}};
    for (const auto& f : fields) {
        EXPECT_EQ(textAt(b, f.offset), f.text);
        for (std::size_t i = f.offset + 1 + b[f.offset]; i < f.offset + f.width; ++i) ASSERT_EQ(b[i], 0) << "byte " << i;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(b[656 + i]) << (8 * i);
    EXPECT_EQ(std::bit_cast<double>(bits), 45000.25);

    EXPECT_EQ(DecodeTrackRecord(b), r);
    r.PlayCount = -7;
    EXPECT_EQ(DecodeTrackRecord(EncodeTrackRecord(r)).PlayCount, -7);
}

TEST(TrackRecord, CutsLongTextsAtCharacterBoundaries) {
    // 41 two-byte characters: 82 bytes, so the 41st does not fit in 80.
    std::string twoByte, threeByte;
    for (int i = 0; i < 41; ++i) twoByte += "\xC3\xA9";
    // 34 three-byte characters: 102 bytes; 33 of them (99 bytes) fit in 100.
    for (int i = 0; i < 34; ++i) threeByte += "\xE2\x82\xAC";
    const TrackRecord r{0, std::string(100, 't'), twoByte, "", "Progressive Rock", "", threeByte,
                        "/" + std::string(299, 'p')};

    const TrackRecord back = DecodeTrackRecord(EncodeTrackRecord(r));
    EXPECT_EQ(back.Title, std::string(80, 't'));
    EXPECT_EQ(back.Path.size(), 255u);
    EXPECT_EQ(back.Path, r.Path.substr(0, 255));
    EXPECT_EQ(back.Genre, "Progressiv");
    EXPECT_EQ(back.Artist, twoByte.substr(0, 80));
    EXPECT_EQ(back.Comment, threeByte.substr(0, 99));
    EXPECT_TRUE(IsValidUtf8(back.Artist));
    EXPECT_TRUE(IsValidUtf8(back.Comment));
}

TEST(TrackRecord, ClampsStoredLengthsToTheField) {
    TrackRecordBytes b {};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>('a' + i % 26);
    b[4] = 200;    // Title, max 80
    b[267] = 255;  // Genre, max 10: must not read into Year
    b[400] = 255;  // Path at its maximum is legal
    b[278] = 0;
    const TrackRecord r = DecodeTrackRecord(b);
    EXPECT_EQ(r.Title.size(), 80u);
    EXPECT_EQ(r.Title, std::string(reinterpret_cast<const char*>(b.data() + 5), 80));
    EXPECT_EQ(r.Genre, std::string(reinterpret_cast<const char*>(b.data() + 268), 10));
    EXPECT_EQ(r.Year, "");
    EXPECT_EQ(r.Path.size(), 255u);
    EXPECT_EQ(TrackRecordPath(b), r.Path);
}

TEST(TrackRecord, PlayCountSaturates) {
    for (auto [from, to] : {std::pair{0, 1}, {INT32_MAX - 1, INT32_MAX}, {INT32_MAX, INT32_MAX}}) {
        TrackRecord r;
        r.PlayCount = from;
        IncrementPlayCount(r);
        EXPECT_EQ(r.PlayCount, to) << from;
    }
}

TEST(TrackRecord, DateAddedCountsLocalDaysSince1899) {
    {
        ScopedTimeZone utc("UTC");
        EXPECT_DOUBLE_EQ(DateAddedFromTime(0), 25569.0);
        EXPECT_DOUBLE_EQ(DateAddedFromTime(946728000), 36526.5);  // 2000-01-01 12:00
        EXPECT_EQ(TimeFromDateAdded(36526.5), 946728000);
        EXPECT_EQ(TimeFromDateAdded(25569.0), 0);
        EXPECT_EQ(TimeFromDateAdded(0.0), -2209161600);  // 1899-12-30 00:00
        // Before day 0 the fraction still runs forward: 1899-12-29 06:00.
        EXPECT_EQ(TimeFromDateAdded(-1.25), -2209161600 - 86400 + 6 * 3600);
        EXPECT_DOUBLE_EQ(DateAddedFromTime(-2209161600 - 86400 + 6 * 3600), -1.25);
        // One second before 1970 is a valid answer, not a failure.
        EXPECT_EQ(TimeFromDateAdded(25569.0 - 1.0 / 86400), -1);
    }
    {
        // The local wall clock, not UTC: 2021-07-01 12:00 UTC is 14:00 in
        // Central Europe in summer.
        ScopedTimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_NEAR(DateAddedFromTime(1625140800), 44378.0 + 14.0 / 24, 1e-9);
        EXPECT_EQ(TimeFromDateAdded(44378.0 + 14.0 / 24), 1625140800);
    }
    EXPECT_FALSE(TimeFromDateAdded(std::nan("")));
    EXPECT_FALSE(TimeFromDateAdded(INFINITY));
    EXPECT_FALSE(TimeFromDateAdded(-1e300));
    const double now = DateAddedNow();
    EXPECT_NEAR(now, DateAddedFromTime(std::time(nullptr)), 2.0 / 86400);
}
