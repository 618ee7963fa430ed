#include <gtest/gtest.h>

#include "testenv.h"

int main(int argc, char** argv) {
    testenv::setUp();
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    testenv::tearDown();
    return rc;
}
