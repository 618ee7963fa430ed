#include <gtest/gtest.h>

#include <QApplication>

#include "testenv.h"

// Window tests need an application object; it must exist before any widget
// and after the environment points into the private test folder.
int main(int argc, char** argv) {
    testenv::setUp();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    testenv::tearDown();
    return rc;
}
