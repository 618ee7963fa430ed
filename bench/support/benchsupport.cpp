#include "bench/support/benchsupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

extern char** environ;

namespace fs = std::filesystem;

namespace bench {

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

Spread SpreadOf(std::vector<double> seconds) {
    if (seconds.empty()) return {};
    std::sort(seconds.begin(), seconds.end());
    const std::size_t n = seconds.size();
    const double median = n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
    return {seconds.front(), median, seconds.back()};
}

std::string Figure(const Spread& s, double scale, int digits) {
    char text[96];
    std::snprintf(text, sizeof text, "%.*f [%.*f-%.*f]", digits, s.median * scale, digits, s.best * scale, digits,
                  s.worst * scale);
    return text;
}

std::string Figure(const std::vector<double>& values, double scale, int digits) {
    return Figure(SpreadOf(values), scale, digits);
}

std::string RatioFigure(const std::vector<double>& ours, const std::vector<double>& theirs, int digits) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i)
        if (theirs[i] > 0) ratios.push_back(ours[i] / theirs[i]);
    const Spread r = SpreadOf(ratios);
    const double theirMedian = SpreadOf(theirs).median;
    char text[96];
    std::snprintf(text, sizeof text, "%.*f [%.*f-%.*f]", digits,
                  theirMedian > 0 ? SpreadOf(ours).median / theirMedian : 0.0, digits, r.best, digits, r.worst);
    return text;
}

void InTurns(int rounds, const std::function<void()>& a, const std::function<void()>& b) {
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            a();
            b();
        } else {
            b();
            a();
        }
    }
}

TempFolder::TempFolder(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (base && *base ? std::string(base) : std::string("/tmp")) + "/" + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    path_ = buffer.data();
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ProgramPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.string();
}

std::string ProgramFolder() {
    const std::string self = ProgramPath();
    return self.empty() ? std::string(".") : fs::path(self).parent_path().string();
}

namespace {

// Pages of the file still in the page cache.
std::size_t residentPages(int fd, off_t size) {
    if (size == 0) return 0;
    void* map = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) return 0;
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> resident(static_cast<std::size_t>((size + page - 1) / page));
    std::size_t count = 0;
    if (::mincore(map, static_cast<std::size_t>(size), resident.data()) == 0)
        for (unsigned char r : resident) count += r & 1;
    ::munmap(map, static_cast<std::size_t>(size));
    return count;
}

}  // namespace

namespace {

void dropClean(const std::string& path, bool flushFirst) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    if (flushFirst) ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

}  // namespace

void DropFromCache(const std::string& path) { dropClean(path, true); }

void DropFromCache(const std::vector<std::string>& files) {
    // One flush of everything costs far less than one per file.
    ::sync();
    for (const auto& f : files) dropClean(f, false);
}

void DropFolderFromCache(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error))
        if (entry.is_regular_file(error)) files.push_back(entry.path().string());
    DropFromCache(files);
}

std::size_t ResidentPages(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st {};
    const std::size_t pages = ::fstat(fd, &st) == 0 ? residentPages(fd, st.st_size) : 0;
    ::close(fd);
    return pages;
}

bool ColdCacheWorks() {
    static const bool works = [] {
        TempFolder dir("bench_cache_probe");
        const std::string file = dir / "probe";
        std::ofstream(file) << std::string(1 << 20, 'x');
        DropFromCache(file);
        return ResidentPages(file) == 0;
    }();
    return works;
}

ProcessRun RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        const bool replaced = std::any_of(options.environment.begin(), options.environment.end(),
                                          [&](const std::string& o) { return o.substr(0, o.find('=')) == name; });
        if (!replaced) environment.push_back(entry);
    }
    environment.insert(environment.end(), options.environment.begin(), options.environment.end());
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const std::string errorFile = options.errorFile.empty() ? "/dev/null" : options.errorFile;
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    // Its own process group, so that a timeout ends whatever it started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    ProcessRun run;
    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return run;
    }

    std::string text;
    bool lineSeen = false, timedOut = false;
    char buffer[4096];
    for (;;) {
        const double left = options.timeoutSeconds - SecondsSince(start);
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        if (!lineSeen && options.awaitLine) {
            text.append(buffer, static_cast<std::size_t>(n));
            if (const auto end = text.find('\n'); end != std::string::npos) {
                run.lineSeconds = SecondsSince(start);
                run.firstLine = text.substr(0, end);
                lineSeen = true;
                if (options.atLine) options.atLine(pid);
            }
        }
    }
    ::close(out[0]);
    if (timedOut) ::kill(-pid, SIGKILL);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = SecondsSince(start);
    auto secondsOf = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    run.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    run.peakKb = usage.ru_maxrss;
    run.ok = !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0 && (lineSeen || !options.awaitLine);
    return run;
}

double SyncFiles(const std::vector<std::string>& files) {
    const auto start = Clock::now();
    for (const auto& f : files) {
        const int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ::fsync(fd);
        ::close(fd);
    }
    return SecondsSince(start);
}

std::vector<std::string> MappedFiles(pid_t pid) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::set<std::string> files;
    std::string line;
    while (std::getline(maps, line)) {
        const auto slash = line.find('/');
        if (slash == std::string::npos) continue;
        const std::string path = line.substr(slash);
        std::error_code error;
        if (fs::is_regular_file(path, error)) files.insert(path);
    }
    return {files.begin(), files.end()};
}

}  // namespace bench
