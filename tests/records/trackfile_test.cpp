#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "library/records/trackfile.h"
#include "platform/errors.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

TrackRecord rec(const std::string& path, const std::string& title = "") {
    TrackRecord r;
    r.Path = path;
    r.Title = title.empty() ? path : title;
    r.Artist = "Unknown Artist";
    return r;
}

void writeRecords(const std::string& file, const std::vector<std::string>& paths) {
    TrackFileWriter w(file);
    for (const auto& p : paths) w.append(rec(p));
    w.close();
}

std::vector<std::string> pathsIn(const std::string& file) {
    std::vector<std::string> out;
    for (const auto& r : LoadTrackRecords(file)) out.push_back(r.Path);
    return out;
}

std::vector<std::string> numbered(const std::string& prefix, int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(prefix + std::to_string(i));
    return out;
}

std::set<std::string> entriesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename());
    return names;
}

// Runs body in a child process; returns its exit status (body's result, or
// 99 for an unexpected exception).
int inChild(const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int rc = 99;
        try {
            rc = body();
        } catch (...) {
        }
        ::_exit(rc);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// In a child: limits the size of files it writes, so a write fails midway
// (as on a full disk); root is not stopped by permission bits.
void limitFileSize(rlim_t bytes) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit lim {bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &lim);
}

}  // namespace

TEST(TrackFile, ScanReadsWholeRecordsOnly) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    const auto paths = numbered("/m/", 2500);  // crosses chunk boundaries
    writeRecords(file, paths);
    testenv::writeFile(file, testenv::readFile(file) + std::string(663, 'x'));

    EXPECT_EQ(TrackRecordCount(file), 2500u);
    EXPECT_EQ(pathsIn(file), paths);
    std::size_t seen = 0;
    ForEachTrackRecord(file, [&](const TrackRecord& r, std::size_t i) {
        EXPECT_EQ(r.Path, paths[i]);
        return ++seen < 1500;
    });
    EXPECT_EQ(seen, 1500u);
    EXPECT_EQ(ReadTrackRecordAt(file, 2499).Path, "/m/2499");
    EXPECT_THROW(ReadTrackRecordAt(file, 2500), InOutError);
    EXPECT_THROW(WriteTrackRecordAt(file, 2500, rec("/x")), InOutError);

    testenv::writeFile(file, std::string(663, '\xff'));
    EXPECT_TRUE(LoadTrackRecords(file).empty());
}

TEST(TrackFile, MissingFileIsAnOpenErrorExceptForAppend) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    try {
        LoadTrackRecords(file);
        FAIL() << "no error";
    } catch (const FileOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + file);
    }
    EXPECT_THROW(UpdateTrackRecordInPlace(file, "/a", [](TrackRecord&) {}), FileOpenError);
    EXPECT_THROW(RemoveListedRecords(dir + "/temp.dat", file, {"/a"}), FileOpenError);
    EXPECT_THROW(ReadTrackRecordAt(file, 0), FileOpenError);

    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/a")), AppendOutcome::NoFile);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(AppendTrackRecordIfNew(dir + "/no/such/folder/music.dat", rec("/a")), AppendOutcome::NoFile);

    // A folder where the file should be cannot be opened either.
    fs::create_directory(file);
    EXPECT_THROW(AppendTrackRecordIfNew(file, rec("/a")), FileOpenError);
    EXPECT_THROW(CreateEmptyTrackFile(file), FileOpenError);
}

TEST(TrackFile, AppendAddsOnlyNewPaths) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    CreateEmptyTrackFile(file);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/Music/a.mp3")), AppendOutcome::Written);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/Music/a.mp3", "other title")), AppendOutcome::AlreadyThere);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/music/A.mp3")), AppendOutcome::Written);  // case matters
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/Music/a.mp3", "/music/A.mp3"}));
    EXPECT_EQ(LoadTrackRecords(file)[0].Title, "/Music/a.mp3");

    // A path is compared as it is stored.
    const std::string longPath = "/" + std::string(300, 'l');
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec(longPath)), AppendOutcome::Written);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec(longPath)), AppendOutcome::AlreadyThere);
    EXPECT_EQ(fs::file_size(file), 3 * 664u);

    // Emptying the file forgets what it held, and so does rewriting a path.
    CreateEmptyTrackFile(file);
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/Music/a.mp3")), AppendOutcome::Written);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/Music/b.mp3")), AppendOutcome::Written);
    WriteTrackRecordAt(file, 0, rec("/Music/c.mp3"));
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/Music/a.mp3")), AppendOutcome::Written);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/Music/c.mp3")), AppendOutcome::AlreadyThere);
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/Music/c.mp3", "/Music/b.mp3", "/Music/a.mp3"}));
}

TEST(TrackFile, AppendToAMisalignedFileStartsOnARecordBoundary) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    writeRecords(file, {"/a", "/b"});
    testenv::writeFile(file, testenv::readFile(file) + std::string(10, '\x07'));
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/b")), AppendOutcome::AlreadyThere);
    EXPECT_EQ(fs::file_size(file), 2 * 664u + 10);  // nothing written when present
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/c")), AppendOutcome::Written);
    EXPECT_EQ(fs::file_size(file), 3 * 664u);
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/a", "/b", "/c"}));
}

TEST(TrackFile, FailedAppendLeavesNoPartialRecord) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    writeRecords(file, {"/a", "/b", "/c"});
    const int rc = inChild([&] {
        limitFileSize(3 * 664 + 100);
        try {
            AppendTrackRecordIfNew(file, rec("/d"));
        } catch (const InOutError&) {
            return 0;
        }
        return 1;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(fs::file_size(file), 3 * 664u);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/d")), AppendOutcome::Written);
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/a", "/b", "/c", "/d"}));
}

TEST(TrackFile, UpdateChangesTheFirstMatchOnly) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    writeRecords(file, {"/a", "/dup", "/b", "/dup"});
    const std::string before = testenv::readFile(file);

    EXPECT_FALSE(UpdateTrackRecordInPlace(file, "/DUP", [](TrackRecord& r) { r.Title = "x"; }));
    EXPECT_FALSE(UpdateTrackRecordInPlace(file, "/du", [](TrackRecord& r) { r.Title = "x"; }));
    EXPECT_EQ(testenv::readFile(file), before);

    EXPECT_TRUE(UpdateTrackRecordInPlace(file, "/dup", [](TrackRecord& r) {
        IncrementPlayCount(r);
        r.Title = "edited";
    }));
    auto records = LoadTrackRecords(file);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].PlayCount, 1);
    EXPECT_EQ(records[1].Title, "edited");
    EXPECT_EQ(records[3].PlayCount, 0);
    EXPECT_EQ(records[3].Title, "/dup");
    EXPECT_EQ(records[0], rec("/a"));

    // A change of the path itself is followed by the lookups.
    EXPECT_TRUE(UpdateTrackRecordInPlace(file, "/a", [](TrackRecord& r) { r.Path = "/moved"; }));
    EXPECT_FALSE(UpdateTrackRecordInPlace(file, "/a", [](TrackRecord&) {}));
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/moved")), AppendOutcome::AlreadyThere);
    EXPECT_EQ(fs::file_size(file), 4 * 664u);
}

TEST(TrackFile, RemoveTakesTheSelectedRowsInAnyOrder) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    writeRecords(file, numbered("/m/", 10));
    testenv::writeFile(file, testenv::readFile(file) + "tail");
    ::chmod(file.c_str(), 0604);

    // Rows sorted by some column: not in file order; one row not in the file.
    EXPECT_EQ(RemoveListedRecords(dir + "/temp.dat", file, {"/m/7", "/m/2", "/elsewhere", "/m/5"}), 3u);
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/m/0", "/m/1", "/m/3", "/m/4", "/m/6", "/m/8", "/m/9"}));
    EXPECT_EQ(fs::file_size(file), 7 * 664u);  // the partial record is gone
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0604));
    EXPECT_EQ(entriesIn(dir), std::set<std::string>{"music.dat"});

    // The lookups see the new content.
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/m/2")), AppendOutcome::Written);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/m/8")), AppendOutcome::AlreadyThere);
    EXPECT_TRUE(UpdateTrackRecordInPlace(file, "/m/9", [](TrackRecord& r) { r.Year = "2001"; }));
    EXPECT_EQ(ReadTrackRecordAt(file, 6).Year, "2001");

    // Every row selected leaves an empty file, not a missing one.
    EXPECT_EQ(RemoveListedRecords(dir + "/temp.dat", file, pathsIn(file)), 8u);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST(TrackFile, RemoveDuplicateRowsEarliestFirst) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/list_m3u.dat";
    TrackFileWriter w(file);
    for (const char* p : {"/a", "/b", "/a", "/c", "/a"}) {
        TrackRecord r = rec(p);
        r.Comment = std::string("at ") + std::to_string(TrackRecordCount(file));
        w.append(r);
    }
    w.close();

    EXPECT_EQ(RemoveListedRecords(dir + "/temp.dat", file, {"/a", "/a"}), 2u);
    const auto records = LoadTrackRecords(file);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Path, "/b");
    EXPECT_EQ(records[1].Path, "/c");
    EXPECT_EQ(records[2].Path, "/a");
    EXPECT_EQ(records[2].Comment, "at 4");

    // More rows than records with the path removes what there is.
    EXPECT_EQ(RemoveListedRecords(dir + "/temp.dat", file, {"/b", "/b", "/b"}), 1u);
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/c", "/a"}));
}

TEST(TrackFile, FailedRemoveLeavesTheSourceIntact) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    writeRecords(file, numbered("/m/", 10));
    const std::string before = testenv::readFile(file);

    // The replacement cannot be written in full.
    const int rc = inChild([&] {
        limitFileSize(3 * 664);
        try {
            RemoveListedRecords(dir + "/temp.dat", file, {"/m/1"});
        } catch (const InOutError&) {
            return 0;
        }
        return 1;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(testenv::readFile(file), before);
    EXPECT_EQ(entriesIn(dir), std::set<std::string>{"music.dat"});
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/m/1")), AppendOutcome::AlreadyThere);

    // A source that is not a regular file is refused, not replaced.
    const std::string folder = dir + "/folder.dat";
    fs::create_directory(folder);
    EXPECT_THROW(RemoveListedRecords(dir + "/temp.dat", folder, {"/m/1"}), TunevaleError);
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST(TrackFile, TwoProcessesAppendingAtOnceLoseNothing) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    CreateEmptyTrackFile(file);
    // Both also add the same 100 shared files: each must be added once.
    auto appender = [&](const std::string& own) {
        return inChild([&] {
            int added = 0;
            for (int i = 0; i < 1000; ++i) {
                added += AppendTrackRecordIfNew(file, rec(own + std::to_string(i))) == AppendOutcome::Written;
                if (i % 10 == 0) added += AppendTrackRecordIfNew(file, rec("/shared/" + std::to_string(i / 10))) == AppendOutcome::Written;
            }
            return added >= 1000 ? 0 : 1;
        });
    };
    pid_t first = ::fork();
    if (first == 0) ::_exit(appender("/one/"));
    const int second = appender("/two/");
    int status = 0;
    ::waitpid(first, &status, 0);
    EXPECT_EQ(second, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(fs::file_size(file), 2100 * 664u);
    const auto paths = pathsIn(file);
    const std::set<std::string> distinct(paths.begin(), paths.end());
    EXPECT_EQ(distinct.size(), 2100u);
    EXPECT_TRUE(distinct.count("/one/999") && distinct.count("/two/0") && distinct.count("/shared/99"));
}

TEST(TrackFile, WritersThroughALinkAndThroughTheRealPathShareOneLock) {
    // A library kept elsewhere and linked in: one instance appends through
    // the real path while another removes through the link, replacing the
    // file. No append reported done may be lost.
    const std::string dir = testenv::makeTempDir();
    fs::create_directory(dir + "/real");
    fs::create_directory(dir + "/linked");
    const std::string real = dir + "/real/music.dat";
    const std::string link = dir + "/linked/music.dat";
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    CreateEmptyTrackFile(link);
    EXPECT_TRUE(fs::is_symlink(link));

    const pid_t remover = ::fork();
    if (remover == 0) {
        int rc = 0;
        try {
            for (int i = 0; !fs::exists(dir + "/done"); ++i) {
                const std::string own = "/removed/" + std::to_string(i);
                AppendTrackRecordIfNew(link, rec(own));
                if (RemoveListedRecords(dir + "/linked/temp.dat", link, {own}) != 1) rc = 1;
                if (i == 0) testenv::writeFile(dir + "/started", "");
            }
        } catch (...) {
            rc = 2;
        }
        ::_exit(rc);
    }
    const int appender = inChild([&] {
        while (!fs::exists(dir + "/started")) ::usleep(100);
        for (int i = 0; i < 1000; ++i)
            if (AppendTrackRecordIfNew(real, rec("/kept/" + std::to_string(i))) != AppendOutcome::Written) return 1;
        testenv::writeFile(dir + "/done", "");
        return 0;
    });
    int status = 0;
    ::waitpid(remover, &status, 0);
    EXPECT_EQ(appender, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(fs::is_symlink(link));
    const auto paths = pathsIn(real);
    EXPECT_EQ(paths.size(), 1000u);
    EXPECT_EQ(paths, numbered("/kept/", 1000));
}

TEST(TrackFile, LookupsNoticeOtherProcessesChanges) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    CreateEmptyTrackFile(file);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/a")), AppendOutcome::Written);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/b")), AppendOutcome::Written);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/c")), AppendOutcome::Written);

    EXPECT_EQ(inChild([&] { return AppendTrackRecordIfNew(file, rec("/d")) == AppendOutcome::AlreadyThere ? 1 : 0; }), 0);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/d")), AppendOutcome::AlreadyThere);
    EXPECT_EQ(fs::file_size(file), 4 * 664u);

    EXPECT_EQ(inChild([&] { return RemoveListedRecords(dir + "/temp.dat", file, {"/b"}) == 1 ? 0 : 1; }), 0);
    EXPECT_FALSE(UpdateTrackRecordInPlace(file, "/b", [](TrackRecord&) {}));
    EXPECT_TRUE(UpdateTrackRecordInPlace(file, "/c", [](TrackRecord& r) { r.Title = "third"; }));
    EXPECT_EQ(ReadTrackRecordAt(file, 1).Title, "third");
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/b")), AppendOutcome::Written);
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/a", "/c", "/d", "/b"}));

    // Another process rewrites a record's path in place: same size, and
    // possibly the same clock tick.
    EXPECT_EQ(inChild([&] {
                  TrackRecord r = ReadTrackRecordAt(file, 0);
                  r.Path = "/z";
                  WriteTrackRecordAt(file, 0, r);
                  return 0;
              }),
              0);
    EXPECT_FALSE(UpdateTrackRecordInPlace(file, "/a", [](TrackRecord&) {}));
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/z")), AppendOutcome::AlreadyThere);
}

TEST(TrackFile, AppendCostDoesNotGrowWithTheLibrary) {
    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
    writeRecords(file, {});
    {
        // 50,000 records written in one go; the writer's per-record path is
        // not what is measured here.
        std::string bytes;
        bytes.reserve(50000 * 664);
        for (int i = 0; i < 50000; ++i) {
            const auto r = EncodeTrackRecord(rec("/library/artist/album/track" + std::to_string(i) + ".mp3"));
            bytes.append(reinterpret_cast<const char*>(r.data()), r.size());
        }
        testenv::writeFile(file, bytes);
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(AppendTrackRecordIfNew(file, rec("/new/" + std::to_string(i))), AppendOutcome::Written);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A scan per append would take several seconds here.
    EXPECT_LT(seconds, 1.5);
    EXPECT_EQ(TrackRecordCount(file), 52000u);
}
