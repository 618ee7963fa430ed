#pragma once
// What the benchmarks share: clocks and spreads, temporary folders, dropping
// files from the page cache for cold figures, and whole processes timed from
// outside. Every comparison runs both sides in the same run, in turns.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
double SecondsSince(Clock::time_point start);

// The median of several timings of one thing and their range: a figure is
// only printed with the range beside it, so that a reader sees how far one
// run may stray. Fewer than kMinRounds timings make no figure.
constexpr int kMinRounds = 5;
struct Spread {
    double best = 0;    // the least
    double median = 0;
    double worst = 0;   // the most
};
Spread SpreadOf(std::vector<double> seconds);
// "median [least-most]" of the timings times scale, with digits decimals.
std::string Figure(const std::vector<double>& values, double scale = 1, int digits = 3);
std::string Figure(const Spread& s, double scale = 1, int digits = 3);
// Our median over theirs, with the range of the per-round ratios (rounds
// taken in turns pair up one of ours with one of theirs).
std::string RatioFigure(const std::vector<double>& ours, const std::vector<double>& theirs, int digits = 2);

// Runs a and b rounds times each, in turns: a first in even rounds, b first
// in odd ones, so that neither side always follows the other.
void InTurns(int rounds, const std::function<void()>& a, const std::function<void()>& b);

// A fresh folder under $TMPDIR (else /tmp), removed with all it holds.
class TempFolder {
public:
    explicit TempFolder(const std::string& name);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The folder of the running benchmark, where the build puts every program.
std::string ProgramFolder();
// The running benchmark itself, for the children it starts of its own.
std::string ProgramPath();

// Drops the file's pages from the page cache, so that its next read comes
// from the disk; dirty pages are written first, as they cannot be dropped.
// Pages that a running process maps stay.
void DropFromCache(const std::string& path);
// The same for many files, and for every regular file below a folder.
void DropFromCache(const std::vector<std::string>& files);
void DropFolderFromCache(const std::string& folder);
// Pages of the file in the page cache.
std::size_t ResidentPages(const std::string& path);
// Whether a cold figure can be had here: a file written and dropped leaves
// no page behind (a file system held in memory keeps them). Decided once.
bool ColdCacheWorks();

// A whole process, timed from outside: from just before the spawn to the
// reap, with the operating system's own accounting of the finished child.
struct ProcessRun {
    bool ok = false;          // exit status 0, and the awaited line came
    double seconds = 0;       // spawn to reap
    double lineSeconds = 0;   // spawn to the first line on its standard output
    double cpuSeconds = 0;    // user + system
    long peakKb = 0;          // largest resident size
    std::string firstLine;
};

struct ProcessOptions {
    std::vector<std::string> environment;  // NAME=VALUE, added to or replacing the parent's
    bool awaitLine = false;                // time the first line of standard output
    // Called once the line came, with the child still running.
    std::function<void(pid_t)> atLine;
    double timeoutSeconds = 300;           // then the child is killed and the run fails
    std::string errorFile;                 // standard error goes here (else /dev/null)
};

ProcessRun RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Writes each file's data to the disk (fsync), as our outputs are when a
// job says they are done; the seconds it took. A peer that does not sync
// is timed with this after it, so that both sides leave the same promise.
double SyncFiles(const std::vector<std::string>& files);

// The regular files a running process has mapped (its program, libraries,
// plug-ins, fonts): what a cold start reads besides its data.
std::vector<std::string> MappedFiles(pid_t pid);

}  // namespace bench
