// The block planner: block sizes, the rest of the file read as one block,
// where fades go, and the requests that would have ended a file early.

#include <gtest/gtest.h>

#include <tuple>

#include "tools/blockplanner.h"
#include "tools/encodertables.h"

namespace {

constexpr int64_t R = 44100;

struct PlanRow {
    const char* what;
    BlockPlanInput in;
    BlockPlan expected;
};

BlockPlanInput In(int64_t lengthS, double positionS, int channels, bool fade, int fadeIn, int fadeOut, bool normalize) {
    return {lengthS * R, static_cast<int64_t>(positionS * R), R, channels, fade, fadeIn, fadeOut, normalize};
}

class PlanBlockTest : public ::testing::TestWithParam<PlanRow> {};

TEST_P(PlanBlockTest, Plans) {
    const PlanRow& row = GetParam();
    const BlockPlan p = PlanBlock(row.in), e = row.expected;
    EXPECT_EQ(std::tuple(p.request, p.restOfFile, p.fadeIn, p.fadeOut), std::tuple(e.request, e.restOfFile, e.fadeIn, e.fadeOut))
        << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlanBlockTest,
    ::testing::Values(
        PlanRow{"plain blocks hold 4R samples", In(60, 0, 2, false, 10, 20, false), {4 * R, false, false, false}},
        PlanRow{"plain, in the middle", In(60, 30, 2, false, 10, 20, false), {4 * R, false, false, false}},
        PlanRow{"no rest-read without fade or normalize", In(60, 59.5, 2, false, 10, 20, false),
                {4 * R, false, false, false}},
        PlanRow{"first faded block holds the fade-in", In(30, 0, 2, true, 10, 20, false), {10 * R * 2, false, true, false}},
        PlanRow{"30 s, 10 and 20: the rest is one faded-out block", In(30, 10, 2, true, 10, 20, false),
                {20 * R * 2, true, false, true}},
        PlanRow{"far from the end", In(60, 10, 2, true, 10, 20, false), {4 * R, false, false, false}},
        PlanRow{"a fade-out of 1 s on stereo is heard", In(10, 8.5, 2, true, 5, 1, false),
                {static_cast<int64_t>(1.5 * R) * 2, true, false, true}},
        PlanRow{"a fade-out of 2 s on mono is heard", In(10, 8, 1, true, 5, 2, false), {2 * R, true, false, true}},
        PlanRow{"fade-out 0: the rest is read, not faded", In(10, 9.5, 2, true, 5, 0, false),
                {static_cast<int64_t>(0.5 * R) * 2, true, false, false}},
        PlanRow{"a fade-in of 0 s asks for a plain block", In(30, 0, 2, true, 0, 20, false), {4 * R, false, false, false}},
        PlanRow{"normalize alone reads the last 16 s at once", In(60, 45, 2, false, 10, 20, true),
                {15 * R * 2, true, false, false}},
        PlanRow{"normalize alone, 17 s left", In(60, 43, 2, false, 10, 20, true), {4 * R, false, false, false}},
        PlanRow{"a length that fell short still asks for audio", In(10, 12, 2, true, 5, 5, true),
                {4 * R, false, false, false}}));

TEST(EncoderTables, ListIndexesNameWhatTheyShow) {
    using namespace encodertables;
    // The OGG list starts at "48kb" while its table starts at 40.
    EXPECT_EQ(ConverterOggBitrate(0), 48);
    EXPECT_EQ(ConverterOggBitrate(6), 128);
    EXPECT_EQ(ConverterOggBitrate(11), 320);
    EXPECT_EQ(At(WmaProfileIds, 7), 24);
    EXPECT_EQ(At(WmaProfileIds, 17), 51);
    EXPECT_EQ(At(kConverterMp3Rates, -1), 8000);
    EXPECT_EQ(At(kConverterMp3Rates, 99), 48000);
    EXPECT_EQ(WmaFormatTexts().size(), 18);
    EXPECT_TRUE(WmaHelpText(18).isNull());
}

}  // namespace
