// A library loaded on first use that is not there: the calls that open
// something fail as they would without anything to open, and any other call
// ends the process naming the library and why, rather than jumping nowhere.

#include <gtest/gtest.h>

#include "platform/lazylibrary.h"

extern "C" {
int tunevale_test_missing_open(int value);
int tunevale_test_missing_call(int value);
}

namespace {

LazyLibrary missingLibrary("libtunevale-test-missing.so.7");

}  // namespace

extern "C" {
TUNEVALE_LAZY_OPENING(missingLibrary, -1, int, tunevale_test_missing_open, (int value), (value))
TUNEVALE_LAZY_FUNCTION(missingLibrary, int, tunevale_test_missing_call, (int value), (value))
}

namespace {

TEST(LazyLibrary, AMissingLibraryFailsItsOpeningCallsAndNamesItselfOnAnyOther) {
    EXPECT_EQ(missingLibrary.problem(), "") << "nothing asked for it yet";
    EXPECT_EQ(tunevale_test_missing_open(5), -1);
    EXPECT_EQ(missingLibrary.problem().rfind("Cannot load libtunevale-test-missing.so.7: ", 0), 0u)
        << missingLibrary.problem();
    EXPECT_EQ(FirstLoadProblem({&missingLibrary}), missingLibrary.problem());
    EXPECT_DEATH(tunevale_test_missing_call(5),
                 "Cannot call tunevale_test_missing_call: Cannot load libtunevale-test-missing.so.7: ");
}

TEST(LazyLibrary, FindsTheRealFunctionInTheLibraryAndWhatItLoads) {
    LazyLibrary c("libc.so.6");
    EXPECT_NE(c.function("strlen"), nullptr);
    EXPECT_EQ(LazyLibrary::function({&c}, "strlen"), c.function("strlen"));
    EXPECT_DEATH(c.function("tunevale_no_such_function"), "Cannot find tunevale_no_such_function in libc.so.6");
}

}  // namespace
