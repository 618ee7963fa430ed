// Appending to and removing from a large library file, against the plain
// algorithm that scans the file for every lookup: one whole-file scan per
// append, one scan per selected row before a copy. The plain side reads as
// carefully as ours (chunks of 1,024 records, paths compared in place), so
// it loses by its algorithm alone; its removal ends in the same kind of
// replacement as ours (written, flushed to the disk, renamed).
//
// Warm: the file is in the page cache. Cold: it is dropped first. The plain
// scans read the whole file, so after their first scan it is in the cache:
// their cold time is the warm one plus what one cold read of the file costs
// over a warm one, measured here.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench/support/benchsupport.h"
#include "bench/support/recordscan.h"
#include "library/records/trackfile.h"

namespace fs = std::filesystem;
using bench::Clock;
using bench::SecondsSince;

namespace {

constexpr int kLibrary = 100000;
constexpr int kAppends = 10000;
constexpr int kRemoved = 1000;
// The plain algorithm takes minutes at full count; it runs this many
// operations and its per-operation cost is scaled up.
constexpr int kPlainAppends = 40;
constexpr int kPlainRowScans = 40;
constexpr int kRounds = 5;

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

int openOrDie(const std::string& file, int flags) {
    const int fd = ::open(file.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) die("open");
    return fd;
}

bench::RecordScanner scanner;

// The plain append: a scan of the whole file for the path, then one write
// of the record at the end.
bool plainAppend(const std::string& file, const TrackRecord& r) {
    const int fd = openOrDie(file, O_RDWR | O_APPEND);
    const TrackRecordBytes bytes = EncodeTrackRecord(r);
    std::size_t at = 0;
    const bool present = scanner.findPath(fd, TrackRecordPath(bytes), &at);
    if (!present && ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) die("write");
    ::close(fd);
    return present;
}

// Step 1 of the plain removal for some rows: one scan per row.
std::vector<std::size_t> plainCollect(const std::string& file, const std::vector<std::string>& rows) {
    const int fd = openOrDie(file, O_RDONLY);
    std::vector<std::size_t> numbers;
    for (const auto& p : rows) {
        std::size_t at = 0;
        if (scanner.findPath(fd, p, &at)) numbers.push_back(at);
    }
    ::close(fd);
    return numbers;
}

// Steps 2 and 3: the records not collected copied a chunk at a time to the
// scratch file, which is flushed and takes the source's name.
void plainCopy(const std::string& target, const std::string& source, std::vector<std::size_t> numbers) {
    std::sort(numbers.begin(), numbers.end());
    const int in = openOrDie(source, O_RDONLY);
    const int out = openOrDie(target, O_WRONLY | O_CREAT | O_TRUNC);
    std::vector<uint8_t> keep;
    std::size_t next = 0;
    scanner.scan(in, [&](bench::RecordBytes r, std::size_t i) {
        if (next < numbers.size() && numbers[next] == i) {
            ++next;
        } else {
            keep.insert(keep.end(), r.begin(), r.end());
            if (keep.size() >= bench::RecordScanner::kChunkRecords * kTrackRecordSize) {
                if (::write(out, keep.data(), keep.size()) != static_cast<ssize_t>(keep.size())) die("write");
                keep.clear();
            }
        }
        return true;
    });
    if (::write(out, keep.data(), keep.size()) != static_cast<ssize_t>(keep.size())) die("write");
    if (::fdatasync(out) != 0) die("fdatasync");
    ::close(in);
    ::close(out);
    if (::unlink(source.c_str()) != 0 || ::rename(target.c_str(), source.c_str()) != 0) die("rename");
}

// One plain scan of the whole file.
double fullScanSeconds(const std::string& file) {
    const auto t = Clock::now();
    const int fd = openOrDie(file, O_RDONLY);
    std::size_t at = 0;
    scanner.findPath(fd, "not in the file", &at);
    ::close(fd);
    return SecondsSince(t);
}

}  // namespace

int main() {
    bench::CheckRecordTexts();
    bench::TempFolder dir("bench_trackfile");
    const std::string seed = dir / "seed.dat";
    const std::string ours = dir / "music.dat";
    const std::string plain = dir / "plain.dat";
    const bool cold = bench::ColdCacheWorks();

    {
        TrackFileWriter w(seed);
        for (int i = 0; i < kLibrary; ++i) w.append(recordOf(pathOf("library", i), i));
        w.close();
    }
    std::printf("library: %d records (%.1f MB), paths of about %zu bytes\n", kLibrary, kLibrary * 664.0 / 1e6,
                pathOf("library", 12345).size());

    // What the plain side pays for a cold file: one cold read over a warm one.
    std::vector<double> coldScans, warmScans;
    for (int round = 0; round < kRounds && cold; ++round) {
        bench::DropFromCache(seed);
        coldScans.push_back(fullScanSeconds(seed));
        warmScans.push_back(fullScanSeconds(seed));
    }
    const double coldPenalty =
        cold ? std::max(0.0, bench::SpreadOf(coldScans).median - bench::SpreadOf(warmScans).median) : 0;
    if (cold)
        std::printf("one plain scan of the whole file: warm %.1f ms, cold %.1f ms\n",
                    bench::SpreadOf(warmScans).median * 1e3, bench::SpreadOf(coldScans).median * 1e3);
    else
        std::printf("cold figures: not measurable here (the page cache keeps dropped files)\n");

    // Appends of new paths, ours timed whole, warm and cold.
    std::vector<TrackRecord> fresh;
    for (int i = 0; i < kAppends; ++i) fresh.push_back(recordOf(pathOf("new", i), i));
    std::vector<double> oursWarm, oursCold, firstWarm;
    auto appendAll = [&](bool dropFirst, std::vector<double>& totals, std::vector<double>* first) {
        copyFile(seed, ours);
        if (dropFirst) bench::DropFromCache(ours);
        const auto t = Clock::now();
        AppendTrackRecordIfNew(ours, fresh[0]);
        if (first) first->push_back(SecondsSince(t));
        for (int i = 1; i < kAppends; ++i) AppendTrackRecordIfNew(ours, fresh[static_cast<std::size_t>(i)]);
        totals.push_back(SecondsSince(t));
    };
    std::vector<double> plainPerAppend;
    bench::InTurns(
        kRounds,
        [&] {
            appendAll(false, oursWarm, &firstWarm);
            if (cold) appendAll(true, oursCold, nullptr);
        },
        [&] {
            copyFile(seed, plain);
            plainAppend(plain, fresh[0]);  // the file in the cache, as for ours
            const auto t = Clock::now();
            for (int i = 1; i <= kPlainAppends; ++i) plainAppend(plain, fresh[static_cast<std::size_t>(i)]);
            plainPerAppend.push_back(SecondsSince(t) / kPlainAppends);
        });
    // The plain scans grow with the file: over the batch they cover the
    // library and, on average, half of the appended records.
    const double growth = (kLibrary + kAppends / 2.0) / kLibrary;
    const double plainWarm = bench::SpreadOf(plainPerAppend).median * growth * kAppends;
    const double oursAppend = bench::SpreadOf(oursWarm).median;

    std::printf("\nappend %d new records to %d (median of %d rounds in turns):\n", kAppends, kLibrary, kRounds);
    std::printf("  indexed, warm: %8.3f s total (first append with index build %.1f ms)\n", oursAppend,
                bench::SpreadOf(firstWarm).median * 1e3);
    std::printf("  plain, warm:   %8.3f s total (estimated: %d appends measured, %.2f ms per append)\n", plainWarm,
                kPlainAppends, bench::SpreadOf(plainPerAppend).median * 1e3);
    std::printf("  ratio, warm:   %8.0f x\n", plainWarm / oursAppend);
    if (cold) {
        const double oursColdAppend = bench::SpreadOf(oursCold).median;
        std::printf("  indexed, cold: %8.3f s total\n", oursColdAppend);
        std::printf("  plain, cold:   %8.3f s total (warm plus one cold read)\n", plainWarm + coldPenalty);
        std::printf("  ratio, cold:   %8.0f x\n", (plainWarm + coldPenalty) / oursColdAppend);
    }

    // The same appends into a small library: the cost per append must not
    // depend on the library's size.
    const std::string small = dir / "small.dat";
    {
        TrackFileWriter w(small);
        for (int i = 0; i < 1000; ++i) w.append(recordOf(pathOf("library", i), i));
        w.close();
    }
    AppendTrackRecordIfNew(small, fresh[0]);
    auto t = Clock::now();
    for (int i = 1; i < kAppends; ++i) AppendTrackRecordIfNew(small, fresh[static_cast<std::size_t>(i)]);
    const double smallPerAppend = SecondsSince(t) / (kAppends - 1);
    std::printf("  per append into a 1,000-record file: %.2f us (into %d: %.2f us)\n", smallPerAppend * 1e6, kLibrary,
                (oursAppend - bench::SpreadOf(firstWarm).median) / (kAppends - 1) * 1e6);

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

    std::vector<double> removeWarm, removeCold, copyTimes;
    auto removeOnce = [&](bool dropFirst, std::vector<double>& times) {
        copyFile(seed, ours);
        if (dropFirst) bench::DropFromCache(ours);
        const auto start = Clock::now();
        const std::size_t removed = RemoveListedRecords(dir / "temp.dat", ours, rows);
        times.push_back(SecondsSince(start));
        if (removed != kRemoved) {
            std::fprintf(stderr, "removed %zu records, expected %d\n", removed, kRemoved);
            std::exit(1);
        }
    };
    bench::InTurns(
        kRounds,
        [&] {
            removeOnce(false, removeWarm);
            if (cold) removeOnce(true, removeCold);
        },
        [&] {
            copyFile(seed, plain);
            plainCollect(plain, {rows[0]});  // the file in the cache, as for ours
            const auto start = Clock::now();
            plainCopy(dir / "temp.dat", plain, numbers);
            copyTimes.push_back(SecondsSince(start));
        });
    if (fs::file_size(plain) != fs::file_size(ours)) {
        std::fprintf(stderr, "the two removals disagree\n");
        return 1;
    }
    copyFile(seed, plain);
    t = Clock::now();
    const auto someNumbers = plainCollect(plain, std::vector<std::string>(rows.begin(), rows.begin() + kPlainRowScans));
    const double plainScanPerRow = SecondsSince(t) / kPlainRowScans;
    if (someNumbers.size() != static_cast<std::size_t>(kPlainRowScans)) return 1;
    const double plainCopyTime = bench::SpreadOf(copyTimes).median;
    const double plainRemove = plainScanPerRow * kRemoved + plainCopyTime;
    const double oursRemove = bench::SpreadOf(removeWarm).median;

    std::printf("\nremove %d selected records from %d (median of %d rounds in turns):\n", kRemoved, kLibrary, kRounds);
    std::printf("  one pass, warm: %8.3f s (written, flushed to the disk, renamed)\n", oursRemove);
    std::printf("  plain, warm:    %8.3f s (estimated: %d row scans measured, %.2f ms per row; copy %.3f s, "
                "flushed and renamed too)\n",
                plainRemove, kPlainRowScans, plainScanPerRow * 1e3, plainCopyTime);
    std::printf("  ratio, warm:    %8.0f x\n", plainRemove / oursRemove);
    if (cold) {
        const double oursColdRemove = bench::SpreadOf(removeCold).median;
        std::printf("  one pass, cold: %8.3f s\n", oursColdRemove);
        std::printf("  plain, cold:    %8.3f s (warm plus one cold read)\n", plainRemove + coldPenalty);
        std::printf("  ratio, cold:    %8.0f x\n", (plainRemove + coldPenalty) / oursColdRemove);
    }
    return 0;
}
