// The program started on an X server of its own, as the server sees it: the
// main window is mapped once, frameless from the start, and not taken down
// and mapped again when the skin dresses it. Skipped without Xvfb.

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

extern char** environ;

namespace {

pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& environment) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // The given variables replace the test's own (which runs offscreen).
    std::vector<std::string> env = environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& given : environment)
            replaced = replaced || entry.compare(0, given.find('=') + 1, given, 0, given.find('=') + 1) == 0;
        if (!replaced) env.push_back(entry);
    }
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

TEST(StartOnX11, TheMainWindowIsMappedOnceAndStaysMapped) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty()) GTEST_SKIP() << "Xvfb is not installed";
    PrivateXServer display;
    ASSERT_TRUE(display.start());
    XMapWatch watch(display.name());
    ASSERT_TRUE(watch.ok());
    const std::string home = testenv::makeTempDir("x11-home");
    const pid_t program = spawn({QCoreApplication::applicationDirPath().toStdString() + "/tunevale"},
                                {"DISPLAY=" + display.name(), "QT_QPA_PLATFORM=xcb", "TUNEVALE_HOME=" + home,
                                 "TUNEVALE_CONFIG_DIR=" + testenv::makeTempDir("x11-config")});
    ASSERT_GT(program, 0);
    // Until the main window has shown, its skin has dressed it and the tool
    // windows have been made after its first paint.
    watch.collect(30, [](const auto& events) {
        for (const auto& e : events)
            if (e.mapped && e.title == "Tunevale") return true;
        return false;
    });
    watch.collect(2, [](const auto&) { return false; });
    stop(program);
    EXPECT_EQ(watch.count("Tunevale", true), 1);
    EXPECT_EQ(watch.count("Tunevale", false), 0);
}

}  // namespace
