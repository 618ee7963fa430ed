// The seven common fields land in each format's own fields and come back
// the same; WMA's track is a number.

#include <gtest/gtest.h>

#include "tags/asf/wmatag.h"
#include "tags/commontags.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/ogg/oggtag.h"

namespace {
const CommonTags kSample{"Night Train", "The Porters", "Platform 9", "1999", "live", "7", "Blues"};
}

TEST(CommonTags, EachFormatKeepsTheSevenWhereItsReadersLook) {
    ID3StructV2 v2;
    PutCommonTags(v2, kSample);
    EXPECT_EQ(CommonTagsOf(v2), kSample);
    EXPECT_EQ(v2.Year, "1999");

    OGGTag ogg;
    PutCommonTags(ogg, kSample);
    EXPECT_EQ(CommonTagsOf(ogg), kSample);
    EXPECT_EQ(ogg.Date, "1999");
    EXPECT_EQ(ogg.TrackNumber, "7");

    WmaTagInfo wma;
    PutCommonTags(wma, kSample);
    EXPECT_EQ(CommonTagsOf(wma), kSample);
    EXPECT_EQ(wma.Author, "The Porters");
    EXPECT_EQ(wma.Description, "live");
    EXPECT_EQ(wma.TrackNumber, 7);

    ID3v1Block v1 = ID3v1Block::Empty();
    PutCommonTags(v1, kSample);
    const CommonTags back = CommonTagsOf(v1);
    EXPECT_EQ(back.title, "Night Train");
    EXPECT_EQ(back.year, "1999");
    EXPECT_EQ(back.track, "7");
    EXPECT_EQ(back.comment, "live");
}

TEST(CommonTags, AWmaTrackThatIsNoPlainNumberIsWrittenAsZero) {
    const std::pair<const char*, int> rows[] = {{"7", 7}, {" 12 ", 12}, {"3/12", 0}, {"", 0}, {"70000", 0},
                                                {"-1", 0}, {"65535", 65535}};
    for (const auto& [text, want] : rows) EXPECT_EQ(WmaTrackNumber(text), want) << text;
}
