// The program's start-up, from the exec to its main window shown, against
// a yardstick: "emptywindow", a Qt Widgets program that shows an empty main
// window of the program's size and nothing else (and, beside it, the same
// window with a line of text, the fonts loaded). Whole processes under the
// same platform plug-in, in turns, in the same run. The program starts with
// a library of 100,000 records and a tree of 5,000 artists and 10,000
// albums; then, warm only, with 500 and with 50,000 artists, to show how
// start-up grows with the tree. Each side prints a line once its window is
// shown and painted (the program under TUNEVALE_EXIT_WHEN_SHOWN) and then
// ends: "to shown" is the time from the spawn to that line, "process" the
// time to the reap. The program shows its splash and makes its tool and
// disc windows right after its first paint, so their cost is in "process",
// not in "to shown". Every figure is the median of its rounds with their
// range; a ratio's range is that of the per-round ratios. The goal is set for
// Xvfb only.
//
// On Xvfb the X server's own account is taken too: the time from the spawn
// to the first MapNotify of the main window (the window made at 820 x 560,
// on either side), read from the root window's substructure events; this is
// when the window appears, whatever the process does in itself afterwards.
//
// Warm cache: every start follows a first, unmeasured one. Cold cache:
// before every start of either side, every file either program opened in a
// first run traced by strace (program, libraries, plug-ins, fonts, font
// caches, settings, skins, the library) is dropped from the page cache. A
// page that another running process maps (the C library, the X server's
// own, Qt under another Qt program) cannot be dropped; the figure is called
// cold only when no file stayed, and otherwise says how many did.
// Platforms: offscreen, then xcb on an Xvfb display of our own.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/benchsupport.h"
#include "privatexserver.h"
#include "xmapwatch.h"

extern char** environ;

namespace {

constexpr int kWarmRounds = 11;
constexpr int kColdRounds = 5;
constexpr double kGoal = 2.0;        // program / empty window, on Xvfb, warm, 5,000 artists
constexpr double kGrowthGoal = 1.2;  // 50,000 artists / 5,000 artists, warm

struct Program {
    Program(const char* n, const std::string& path) : name(n), argv{path} {}
    const char* name;
    std::vector<std::string> argv;
    std::vector<double> toShown, process, toMapped;
    bool ok = true;
};

struct Platform {
    std::string title;
    std::vector<std::string> environment;
    std::string display;  // an X display whose map events are watched, or empty
};

// Both sides' main windows are made at this size; the splash and the tool
// windows at others.
constexpr int kMainWidth = 820, kMainHeight = 560;

// Every regular file the command opens until its window is shown, as strace
// sees it: what a cold start reads.
std::set<std::string> openedFiles(const std::vector<std::string>& argv, const bench::ProcessOptions& options,
                                  const std::string& traceFile) {
    std::vector<std::string> traced = {"strace", "-f", "-qq", "-e", "trace=open,openat,execve", "-o", traceFile};
    traced.insert(traced.end(), argv.begin(), argv.end());
    bench::RunProcess(traced, options);
    std::set<std::string> files;
    std::ifstream trace(traceFile);
    std::string line;
    while (std::getline(trace, line)) {
        const auto open = line.find('"');
        const auto close = open == std::string::npos ? open : line.find('"', open + 1);
        if (close == std::string::npos || line.find("= -1") != std::string::npos) continue;
        const std::string path = line.substr(open + 1, close - open - 1);
        std::error_code error;
        if (!path.empty() && path[0] == '/' && std::filesystem::is_regular_file(path, error)) files.insert(path);
    }
    return files;
}

}  // namespace

// bench_startup --warm: the warm starts with 5,000 artists on Xvfb only.
int main(int argc, char** argv) {
    const bool warmOnly = argc > 1 && std::string(argv[1]) == "--warm";
    const std::string bin = bench::ProgramFolder();
    bench::TempFolder dir("bench_startup");
    struct Library {
        int artists;
        std::string home;
        bool cold;
    };
    std::vector<Library> libraries = {{5000, dir / "home5000", true}, {500, dir / "home500", false},
                                      {50000, dir / "home50000", false}};
    if (warmOnly) libraries = {{5000, dir / "home5000", false}};
    for (const Library& l : libraries)
        if (!bench::RunProcess({bin + "/startupdata", l.home, std::to_string(l.artists)}).ok) {
            std::fprintf(stderr, "could not make the library\n");
            return 1;
        }
    const std::string runtime = dir / "runtime";
    ::mkdir(runtime.c_str(), 0700);
    const std::vector<std::string> common = {
        "TUNEVALE_CONFIG_DIR=" + (dir / "config"), "XDG_DATA_HOME=" + (dir / "xdg"),
        "XDG_RUNTIME_DIR=" + runtime, "TUNEVALE_EXIT_WHEN_SHOWN=1",
    };

    std::vector<Platform> platforms;
    if (!warmOnly) platforms.push_back({"offscreen", {"QT_QPA_PLATFORM=offscreen"}, {}});
    PrivateXServer display;
    if (display.start(dir / "xvfb.log"))
        platforms.push_back({"xcb on Xvfb", {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display.name()}, display.name()});

    std::printf("Start-up, spawn to the shown main window, of the program with 100,000 records against the "
                "yardstick, an empty Qt main window; whole processes in turns, %d warm and %d cold-cache starts "
                "each; median [range] in seconds\n",
                kWarmRounds, kColdRounds);
    if (platforms.empty() || platforms.back().display.empty())
        std::printf("  (xcb: no Xvfb display could be started)\n");
    bool ok = true;
    for (const Platform& platform : platforms) {
        std::unique_ptr<XMapWatch> watch;
        if (!platform.display.empty()) {
            watch = std::make_unique<XMapWatch>(platform.display);
            if (!watch->ok()) watch.reset();
        }
        std::vector<double> warmMedians;  // of the program, per library, warm
        for (const Library& library : libraries) {
            bench::ProcessOptions options;
            options.environment = common;
            options.environment.push_back("TUNEVALE_HOME=" + library.home);
            options.environment.insert(options.environment.end(), platform.environment.begin(),
                                       platform.environment.end());
            options.awaitLine = true;
            options.timeoutSeconds = 60;
            options.errorFile = dir / "errors.log";

            Program ours("program", bin + "/tunevale"), empty("empty window", bin + "/emptywindow"),
                text("window with a line of text", bin + "/emptywindow");
            text.argv.push_back("--text");
            for (Program* p : {&ours, &empty, &text}) {
                if (!bench::RunProcess(p->argv, options).ok) {
                    std::printf("  %s: %s does not start (see %s)\n", platform.title.c_str(), p->name,
                                options.errorFile.c_str());
                    p->ok = false;
                }
            }
            if (!ours.ok || !empty.ok || !text.ok) {
                ok = false;
                break;
            }
            std::vector<std::string> coldFiles;
            std::set<std::string> ownFiles;  // of the programs and our data, not of the system's
            if (library.cold) {
                std::set<std::string> files;
                for (Program* p : {&ours, &empty, &text})
                    for (const auto& f : openedFiles(p->argv, options, dir / "trace.txt")) files.insert(f);
                for (const std::string& folder : {library.home, dir / "config", bin + "/skins"}) {
                    std::error_code error;
                    for (const auto& e : std::filesystem::recursive_directory_iterator(folder, error))
                        if (e.is_regular_file(error)) files.insert(e.path().string());
                }
                coldFiles.assign(files.begin(), files.end());
                for (const auto& f : coldFiles)
                    if (f.rfind("/usr/", 0) != 0 && f.rfind("/lib", 0) != 0 && f.rfind("/etc/", 0) != 0 &&
                        f.rfind("/var/cache/", 0) != 0)
                        ownFiles.insert(f);
            }

            for (bool cold : {false, true}) {
                if (cold && !library.cold) continue;
                if (cold && !bench::ColdCacheWorks()) {
                    std::printf("  %s: no cold-cache figure here (the page cache keeps dropped files)\n",
                                platform.title.c_str());
                    continue;
                }
                for (Program* p : {&ours, &empty, &text}) p->toShown.clear(), p->process.clear(), p->toMapped.clear();
                auto start = [&](Program& p) {
                    if (cold) bench::DropFromCache(coldFiles);
                    std::atomic<bool> ended{false};
                    std::thread watcher;
                    if (watch) {
                        watch->clear();
                        watcher = std::thread([&] {
                            watch->collect(options.timeoutSeconds, [&](const auto&) {
                                return watch->firstMap(kMainWidth, kMainHeight) > 0 || ended.load();
                            });
                        });
                    }
                    const double spawned = XMapWatch::Now();
                    const bench::ProcessRun run = bench::RunProcess(p.argv, options);
                    ended = true;
                    if (watcher.joinable()) watcher.join();
                    p.ok = p.ok && run.ok && run.firstLine == "shown";
                    p.toShown.push_back(run.lineSeconds);
                    p.process.push_back(run.seconds);
                    if (watch) {
                        const double mapped = watch->firstMap(kMainWidth, kMainHeight);
                        p.ok = p.ok && mapped > 0;
                        p.toMapped.push_back(mapped - spawned);
                    }
                };
                bench::InTurns(cold ? kColdRounds : kWarmRounds, [&] { start(ours); }, [&] {
                    start(empty);
                    start(text);
                });
                if (!ours.ok || !empty.ok || !text.ok) {
                    std::printf("  %s, %d artists, %s: FAILED (see %s)\n", platform.title.c_str(), library.artists,
                                cold ? "cold" : "warm", options.errorFile.c_str());
                    ok = false;
                    continue;
                }
                std::string cache = "warm cache";
                if (cold) {
                    bench::DropFromCache(coldFiles);
                    std::size_t stayed = 0, pages = 0, ownStayed = 0;
                    for (const auto& f : coldFiles) {
                        const std::size_t resident = bench::ResidentPages(f);
                        stayed += resident > 0;
                        ownStayed += resident > 0 && ownFiles.count(f);
                        pages += resident;
                    }
                    // Cold only when nothing stayed: a library another
                    // process maps is read from memory, not from the disk.
                    char note[320];
                    const double mb = static_cast<double>(pages) * ::sysconf(_SC_PAGESIZE) / 1e6;
                    if (stayed == 0)
                        std::snprintf(note, sizeof note, "cold cache (%zu files dropped before each start)",
                                      coldFiles.size());
                    else
                        std::snprintf(note, sizeof note,
                                      "partly cold cache, not a cold start: of %zu files dropped before each start, "
                                      "%zu (%zu of them the programs' own) stayed, %.1f MB mapped by other processes",
                                      coldFiles.size(), stayed, ownStayed, mb);
                    cache = note;
                }
                if (!cold) warmMedians.push_back(bench::SpreadOf(ours.toShown).median);
                std::printf("  %s, %d artists, %s:\n", platform.title.c_str(), library.artists, cache.c_str());
                std::printf("        to shown: program %s, yardstick (empty window) %s; ratio %s",
                            bench::Figure(ours.toShown).c_str(), bench::Figure(empty.toShown).c_str(),
                            bench::RatioFigure(ours.toShown, empty.toShown).c_str());
                // The goal is set for a real X server; offscreen, the empty window skips the server's work
                // that every real start pays, so its ratio is shown without one.
                const bool goalApplies = !cold && library.artists == 5000 && !platform.display.empty();
                if (goalApplies) std::printf(" (goal %.1f)", kGoal);
                if (watch) {
                    std::printf("\n        to the main window's first map (X server's MapNotify): program %s, "
                                "yardstick %s; ratio %s",
                                bench::Figure(ours.toMapped).c_str(), bench::Figure(empty.toMapped).c_str(),
                                bench::RatioFigure(ours.toMapped, empty.toMapped).c_str());
                    if (goalApplies) std::printf(" (goal %.1f)", kGoal);
                }
                std::printf("\n        whole process: program %s, empty window %s; ratio %s\n",
                            bench::Figure(ours.process).c_str(), bench::Figure(empty.process).c_str(),
                            bench::RatioFigure(ours.process, empty.process).c_str());
                std::printf("        a window with a line of text: to shown %s; the program's ratio to it %s\n",
                            bench::Figure(text.toShown).c_str(),
                            bench::RatioFigure(ours.toShown, text.toShown).c_str());
            }
        }
        if (warmMedians.size() == 3)
            std::printf("  %s, warm: to shown with 50,000 artists over 5,000: %.2f (goal %.1f); 500 over 5,000: %.2f\n",
                        platform.title.c_str(), warmMedians[2] / warmMedians[0], kGrowthGoal,
                        warmMedians[1] / warmMedians[0]);
    }
    return ok ? 0 : 1;
}
