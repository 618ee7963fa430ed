// The program's start-up, from the exec to its main window shown, beside
// "emptywindow", a Qt Widgets program that shows an empty main window and
// nothing else, and beside the same window with a line of text (the fonts
// loaded): whole processes under the same platform plug-in, in turns, in
// the same run. The program starts with a library of 100,000
// records and a tree of 5,000 artists and 10,000 albums. Each side prints a
// line once its window is shown and painted (the program under
// TUNEVALE_EXIT_WHEN_SHOWN) and then ends: "to shown" is the time from the
// spawn to that line, "process" the time to the reap.
//
// Warm: starts after a first one. Cold: before every start of either side,
// the library, the settings, the skins and every file either program had
// mapped (programs, libraries, plug-ins, fonts) are dropped from the page
// cache; pages that other running processes map stay, and how much stayed
// is printed. Platforms: offscreen, then xcb on an Xvfb display of our own
// when Xvfb is installed.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bench/support/benchsupport.h"

extern char** environ;

namespace {

constexpr int kWarmRounds = 11;
constexpr int kColdRounds = 5;
constexpr double kGoal = 1.5;

// An X server of our own for the xcb runs, on a display number it picks.
class VirtualDisplay {
public:
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }

    bool start(const std::string& log) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        const char* argv[] = {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x1024x24", nullptr};
        const int spawned = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            pid_ = 0;
            ::close(fds[0]);
            return false;
        }
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (::poll(&p, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (number.empty()) return false;
        name_ = ":" + number;
        return true;
    }

    const std::string& name() const { return name_; }

private:
    pid_t pid_ = 0;
    std::string name_;
};

struct Program {
    Program(const char* n, const std::string& path) : name(n), argv{path} {}
    const char* name;
    std::vector<std::string> argv;
    std::vector<double> toShown, process;
    bool ok = true;
};

struct Platform {
    std::string title;
    std::vector<std::string> environment;
};

std::string figure(const std::vector<double>& seconds) {
    const bench::Spread s = bench::SpreadOf(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%.3f s (best %.3f)", s.median, s.best);
    return text;
}

}  // namespace

int main() {
    const std::string bin = bench::ProgramFolder();
    bench::TempFolder dir("bench_startup");
    const std::string home = dir / "home";
    if (!bench::RunProcess({bin + "/startupdata", home}).ok) {
        std::fprintf(stderr, "could not make the library\n");
        return 1;
    }
    const std::string runtime = dir / "runtime";
    ::mkdir(runtime.c_str(), 0700);
    const std::vector<std::string> common = {
        "TUNEVALE_HOME=" + home,          "TUNEVALE_CONFIG_DIR=" + (dir / "config"),
        "XDG_DATA_HOME=" + (dir / "xdg"), "XDG_RUNTIME_DIR=" + runtime,
        "TUNEVALE_EXIT_WHEN_SHOWN=1",
    };

    std::vector<Platform> platforms = {{"offscreen", {"QT_QPA_PLATFORM=offscreen"}}};
    VirtualDisplay display;
    if (display.start(dir / "xvfb.log"))
        platforms.push_back({"xcb on Xvfb", {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display.name()}});

    std::printf("Start-up to the shown main window with %s, against an empty Qt main window; whole processes "
                "in turns, %d warm and %d cold starts each; median (best)\n",
                "100,000 records and a tree of 5,000 artists and 10,000 albums", kWarmRounds, kColdRounds);
    if (platforms.size() == 1) std::printf("  (xcb: no Xvfb display could be started)\n");
    bool ok = true;
    for (const Platform& platform : platforms) {
        bench::ProcessOptions options;
        options.environment = common;
        options.environment.insert(options.environment.end(), platform.environment.begin(),
                                   platform.environment.end());
        options.awaitLine = true;
        options.timeoutSeconds = 60;
        options.errorFile = dir / "errors.log";

        // The first starts, unmeasured, tell the files a cold start reads.
        std::set<std::string> files;
        auto collect = [&](pid_t pid) {
            for (const auto& f : bench::MappedFiles(pid)) files.insert(f);
        };
        Program ours("program", bin + "/tunevale"), empty("empty window", bin + "/emptywindow"),
            text("window with a line of text", bin + "/emptywindow");
        text.argv.push_back("--text");
        for (Program* p : {&ours, &empty, &text}) {
            bench::ProcessOptions first = options;
            first.atLine = collect;
            if (!bench::RunProcess(p->argv, first).ok) {
                std::printf("  %s: %s does not start (see %s)\n", platform.title.c_str(), p->name,
                            options.errorFile.c_str());
                p->ok = false;
            }
        }
        if (!ours.ok || !empty.ok || !text.ok) {
            ok = false;
            continue;
        }
        std::vector<std::string> coldFiles(files.begin(), files.end());
        for (const std::string& folder : {home, dir / "config", bin + "/skins"}) {
            std::error_code error;
            for (const auto& e : std::filesystem::recursive_directory_iterator(folder, error))
                if (e.is_regular_file(error)) coldFiles.push_back(e.path().string());
        }

        for (bool cold : {false, true}) {
            if (cold && !bench::ColdCacheWorks()) {
                std::printf("  %s, cold: not measurable here (the page cache keeps dropped files)\n",
                            platform.title.c_str());
                continue;
            }
            for (Program* p : {&ours, &empty, &text}) p->toShown.clear(), p->process.clear();
            auto start = [&](Program& p) {
                if (cold) bench::DropFromCache(coldFiles);
                const bench::ProcessRun run = bench::RunProcess(p.argv, options);
                p.ok = p.ok && run.ok && run.firstLine == "shown";
                p.toShown.push_back(run.lineSeconds);
                p.process.push_back(run.seconds);
            };
            bench::InTurns(cold ? kColdRounds : kWarmRounds, [&] { start(ours); }, [&] {
                start(empty);
                start(text);
            });
            if (!ours.ok || !empty.ok || !text.ok) {
                std::printf("  %s, %s: FAILED (see %s)\n", platform.title.c_str(), cold ? "cold" : "warm",
                            options.errorFile.c_str());
                ok = false;
                continue;
            }
            const double ratio =
                bench::SpreadOf(ours.toShown).median / bench::SpreadOf(empty.toShown).median;
            std::printf("  %s, %s: to shown: program %s, empty window %s; ratio %.2f (goal %.1f)\n",
                        platform.title.c_str(), cold ? "cold" : "warm", figure(ours.toShown).c_str(),
                        figure(empty.toShown).c_str(), ratio, kGoal);
            std::printf("        whole process: program %s, empty window %s; ratio %.2f\n",
                        figure(ours.process).c_str(), figure(empty.process).c_str(),
                        bench::SpreadOf(ours.process).median / bench::SpreadOf(empty.process).median);
            std::printf("        a window with a line of text: to shown %s; the program's ratio to it %.2f\n",
                        figure(text.toShown).c_str(),
                        bench::SpreadOf(ours.toShown).median / bench::SpreadOf(text.toShown).median);
            if (cold) {
                bench::DropFromCache(coldFiles);
                std::size_t stayed = 0, pages = 0;
                for (const auto& f : coldFiles) {
                    const std::size_t resident = bench::ResidentPages(f);
                    stayed += resident > 0;
                    pages += resident;
                }
                std::printf("        dropped before each start: %zu files; %zu of them kept %.1f MB in the cache "
                            "(mapped by other processes)\n",
                            coldFiles.size(), stayed, static_cast<double>(pages) * ::sysconf(_SC_PAGESIZE) / 1e6);
            }
        }
    }
    return ok ? 0 : 1;
}
