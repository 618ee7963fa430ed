#include <gtest/gtest.h>

#include "testenv.h"

#ifdef TUNEVALE_TEST_QT
#include <QApplication>
#endif

int main(int argc, char** argv) {
    testenv::setUp();
#ifdef TUNEVALE_TEST_QT
    // Window tests need an application object; it must exist before any
    // widget and after the environment points into the private test folder.
    QApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    testenv::tearDown();
    return rc;
}
