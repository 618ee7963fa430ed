// The program started on an X server of its own, as the server sees it: the
// main window is mapped once, frameless from the start, and not taken down
// and mapped again when the skin dresses it; the splash comes after it, over
// it. Skipped without Xvfb.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QStandardPaths>

#include <string>
#include <vector>

#include "privatexserver.h"
#include "testenv.h"
#include "xmapwatch.h"

namespace {

TEST(StartOnX11, TheMainWindowIsMappedOnceAndStaysMapped) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty()) GTEST_SKIP() << "Xvfb is not installed";
    PrivateXServer display;
    ASSERT_TRUE(display.start());
    XMapWatch watch(display.name());
    ASSERT_TRUE(watch.ok());
    const std::string home = testenv::makeTempDir("x11-home");
    const pid_t program = SpawnProcess({QCoreApplication::applicationDirPath().toStdString() + "/tunevale"},
                                       {"DISPLAY=" + display.name(), "QT_QPA_PLATFORM=xcb", "TUNEVALE_HOME=" + home,
                                        "TUNEVALE_CONFIG_DIR=" + testenv::makeTempDir("x11-config")},
                                       /*keepErrors=*/true);
    ASSERT_GT(program, 0);
    // Until the main window has shown, its skin has dressed it and the tool
    // windows have been made after its first paint.
    watch.collect(30, [](const auto& events) {
        for (const auto& e : events)
            if (e.mapped && e.title == "Tunevale") return true;
        return false;
    });
    watch.collect(2, [](const auto&) { return false; });
    StopProcess(program);
    EXPECT_EQ(watch.count("Tunevale", true), 1);
    EXPECT_EQ(watch.count("Tunevale", false), 0);
    const double mainMapped = watch.firstMap("Tunevale"), splashMapped = watch.firstMap(399, 239);
    EXPECT_GT(splashMapped, 0) << "no splash";
    EXPECT_LT(mainMapped, splashMapped) << "the splash made the main window wait";
}

}  // namespace
