// Appending to and removing from a large library file, against the plain
// algorithm that scans the file record by record for every lookup: one
// whole-file scan per append, one scan per selected row before a copy.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "library/records/trackfile.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLibrary = 100000;
constexpr int kAppends = 10000;
constexpr int kRemoved = 1000;
// The plain algorithm takes minutes at full count; it runs this many
// operations and its per-operation cost is scaled up.
constexpr int kPlainAppends = 40;
constexpr int kPlainRowScans = 40;

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string pathOf(const char* kind, int i) {
    return "/home/listener/Music/" + std::string(kind) + "/Artist " + std::to_string(i % 700) + "/Album " +
           std::to_string(i % 97) + "/" + std::to_string(i) + " - Some Track Title.mp3";
}

TrackRecord recordOf(const std::string& path, int i) {
    TrackRecord r;
    r.Path = path;
    r.Title = "Some Track Title " + std::to_string(i);
    r.Artist = "Artist " + std::to_string(i % 700);
    r.Album = "Album " + std::to_string(i % 97);
    r.Genre = "Rock";
    r.Year = "1999";
    r.DateAdded = 45000.5;
    return r;
}

void copyFile(const std::string& from, const std::string& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

void die(const char* what) {
    std::perror(what);
    std::exit(1);
}

// The plain lookup: read 664 bytes at a time from the start until the path
// matches; true when found, *index set.
bool plainFind(int fd, const std::string& path, std::size_t* index) {
    if (::lseek(fd, 0, SEEK_SET) < 0) die("lseek");
    TrackRecordBytes bytes;
    for (std::size_t i = 0;; ++i) {
        const ssize_t n = ::read(fd, bytes.data(), bytes.size());
        if (n != static_cast<ssize_t>(bytes.size())) return false;
        if (TrackRecordPath(bytes) == path) {
            *index = i;
            return true;
        }
    }
}

bool plainAppend(const std::string& file, const TrackRecord& r) {
    const int fd = ::open(file.c_str(), O_RDWR);
    if (fd < 0) die("open");
    std::size_t at = 0;
    const bool present = plainFind(fd, r.Path, &at);
    if (!present) {
        const TrackRecordBytes bytes = EncodeTrackRecord(r);
        if (::lseek(fd, 0, SEEK_END) < 0 || ::write(fd, bytes.data(), bytes.size()) != 664) die("write");
    }
    ::close(fd);
    return present;
}

// Step 1 of the plain removal for some rows: one scan per row.
std::vector<std::size_t> plainCollect(const std::string& file, const std::vector<std::string>& rows) {
    const int fd = ::open(file.c_str(), O_RDWR);
    if (fd < 0) die("open");
    std::vector<std::size_t> numbers;
    for (const auto& p : rows) {
        std::size_t at = 0;
        if (plainFind(fd, p, &at)) numbers.push_back(at);
    }
    ::close(fd);
    return numbers;
}

// Steps 2 and 3: copy the records not collected, one record at a time,
// delete the source and rename the scratch file.
void plainCopy(const std::string& target, const std::string& source, std::vector<std::size_t> numbers) {
    std::sort(numbers.begin(), numbers.end());
    const int in = ::open(source.c_str(), O_RDONLY);
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) die("open");
    TrackRecordBytes bytes;
    std::size_t next = 0;
    for (std::size_t i = 0; ::read(in, bytes.data(), bytes.size()) == 664; ++i) {
        if (next < numbers.size() && numbers[next] == i) {
            ++next;
            continue;
        }
        if (::write(out, bytes.data(), bytes.size()) != 664) die("write");
    }
    ::close(in);
    ::close(out);
    if (::unlink(source.c_str()) != 0 || ::rename(target.c_str(), source.c_str()) != 0) die("rename");
}

}  // namespace

int main() {
    const char* base = std::getenv("TMPDIR");
    std::string dirTemplate = (base && *base ? std::string(base) : std::string("/tmp")) + "/bench_trackfile.XXXXXX";
    std::vector<char> dirBuf(dirTemplate.begin(), dirTemplate.end());
    dirBuf.push_back('\0');
    if (!::mkdtemp(dirBuf.data())) die("mkdtemp");
    const std::string dir = dirBuf.data();
    const std::string seed = dir + "/seed.dat";
    const std::string ours = dir + "/music.dat";
    const std::string plain = dir + "/plain.dat";

    {
        TrackFileWriter w(seed);
        for (int i = 0; i < kLibrary; ++i) w.append(recordOf(pathOf("library", i), i));
        w.close();
    }
    std::printf("library: %d records (%.1f MB), paths of about %zu bytes\n", kLibrary,
                kLibrary * 664.0 / 1e6, pathOf("library", 12345).size());

    // Appends of new paths.
    std::vector<TrackRecord> fresh;
    for (int i = 0; i < kAppends; ++i) fresh.push_back(recordOf(pathOf("new", i), i));

    copyFile(seed, ours);
    auto t = Clock::now();
    AppendTrackRecordIfNew(ours, fresh[0]);
    const double firstAppend = secondsSince(t);
    t = Clock::now();
    for (int i = 1; i < kAppends; ++i) AppendTrackRecordIfNew(ours, fresh[i]);
    const double restAppends = secondsSince(t);
    const double oursAppendTotal = firstAppend + restAppends;
    const double oursPerAppend = restAppends / (kAppends - 1);

    copyFile(seed, plain);
    t = Clock::now();
    for (int i = 0; i < kPlainAppends; ++i) plainAppend(plain, fresh[i]);
    const double plainPerAppend = secondsSince(t) / kPlainAppends;
    const double plainAppendTotal = plainPerAppend * kAppends;

    // The same appends into a small library: the cost per append must not
    // depend on the library's size.
    const std::string small = dir + "/small.dat";
    {
        TrackFileWriter w(small);
        for (int i = 0; i < 1000; ++i) w.append(recordOf(pathOf("library", i), i));
        w.close();
    }
    AppendTrackRecordIfNew(small, fresh[0]);
    t = Clock::now();
    for (int i = 1; i < kAppends; ++i) AppendTrackRecordIfNew(small, fresh[i]);
    const double smallPerAppend = secondsSince(t) / (kAppends - 1);

    std::printf("\nappend %d new records to %d:\n", kAppends, kLibrary);
    std::printf("  indexed:  %8.3f s total (first append with index build %.1f ms, then %.2f us per append)\n",
                oursAppendTotal, firstAppend * 1e3, oursPerAppend * 1e6);
    std::printf("  plain:    %8.3f s total (estimated: %d appends measured, %.2f ms per append)\n",
                plainAppendTotal, kPlainAppends, plainPerAppend * 1e3);
    std::printf("  ratio:    %8.0f x\n", plainAppendTotal / oursAppendTotal);
    std::printf("  per append into a 1,000-record file: %.2f us (into %d: %.2f us)\n", smallPerAppend * 1e6,
                kLibrary, oursPerAppend * 1e6);

    // Removal of rows spread over the file, in a different order (the list
    // sorted by another column).
    std::mt19937 rng(42);
    std::set<int> chosen;
    while (static_cast<int>(chosen.size()) < kRemoved) chosen.insert(static_cast<int>(rng() % kLibrary));
    std::vector<std::string> rows;
    std::vector<std::size_t> numbers;
    for (int i : chosen) {
        rows.push_back(pathOf("library", i));
        numbers.push_back(static_cast<std::size_t>(i));
    }
    std::shuffle(rows.begin(), rows.end(), rng);

    copyFile(seed, ours);
    t = Clock::now();
    const std::size_t removed = RemoveListedRecords(dir + "/temp.dat", ours, rows);
    const double oursRemove = secondsSince(t);
    if (removed != kRemoved) {
        std::fprintf(stderr, "removed %zu records, expected %d\n", removed, kRemoved);
        return 1;
    }

    copyFile(seed, plain);
    t = Clock::now();
    const auto someNumbers = plainCollect(plain, std::vector<std::string>(rows.begin(), rows.begin() + kPlainRowScans));
    const double plainScanPerRow = secondsSince(t) / kPlainRowScans;
    if (someNumbers.size() != static_cast<std::size_t>(kPlainRowScans)) return 1;
    t = Clock::now();
    plainCopy(dir + "/temp.dat", plain, numbers);
    const double plainCopyTime = secondsSince(t);
    const double plainRemove = plainScanPerRow * kRemoved + plainCopyTime;
    if (fs::file_size(plain) != fs::file_size(ours)) {
        std::fprintf(stderr, "the two removals disagree\n");
        return 1;
    }

    std::printf("\nremove %d selected records from %d:\n", kRemoved, kLibrary);
    std::printf("  one pass: %8.3f s (with fsync and atomic replacement)\n", oursRemove);
    std::printf("  plain:    %8.3f s (estimated: %d row scans measured, %.2f ms per row, copy %.3f s)\n",
                plainRemove, kPlainRowScans, plainScanPerRow * 1e3, plainCopyTime);
    std::printf("  ratio:    %8.0f x\n", plainRemove / oursRemove);

    fs::remove_all(dir);
    return 0;
}
