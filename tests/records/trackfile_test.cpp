#include <gtest/gtest.h>

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

using testenv::inChild;

// A library file in a folder of its own.
class TrackFile : public ::testing::Test {
protected:
    // The outcome of each append in turn.
    std::vector<AppendOutcome> appendEach(const std::vector<std::string>& paths) {
        std::vector<AppendOutcome> out;
        for (const auto& p : paths) out.push_back(AppendTrackRecordIfNew(file, rec(p)));
        return out;
    }

    const std::string dir = testenv::makeTempDir();
    const std::string file = dir + "/music.dat";
};

}  // namespace

TEST_F(TrackFile, ScanReadsWholeRecordsOnly) {
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

    // An append writes nothing for a path that is there, and a new record
    // starts on a record boundary.
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/m/1")), AppendOutcome::AlreadyThere);
    EXPECT_EQ(fs::file_size(file), 2500 * 664u + 663);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/c")), AppendOutcome::Written);
    EXPECT_EQ(fs::file_size(file), 2501 * 664u);
    EXPECT_EQ(ReadTrackRecordAt(file, 2500).Path, "/c");

    testenv::writeFile(file, std::string(663, '\xff'));
    EXPECT_TRUE(LoadTrackRecords(file).empty());
}

TEST_F(TrackFile, MissingFileIsAnOpenErrorExceptForAppend) {
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

TEST_F(TrackFile, AppendAddsOnlyNewPaths) {
    using enum AppendOutcome;
    CreateEmptyTrackFile(file);
    const std::string longPath = "/" + std::string(300, 'l');  // compared as it is stored
    EXPECT_EQ(appendEach({"/Music/a.mp3", "/music/A.mp3", longPath, longPath}),
              (std::vector{Written, Written, Written, AlreadyThere}));  // case matters
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/Music/a.mp3", "other title")), AlreadyThere);
    EXPECT_EQ(TrackRecordCount(file), 3u);
    EXPECT_EQ(ReadTrackRecordAt(file, 0).Title, "/Music/a.mp3");
    EXPECT_EQ(ReadTrackRecordAt(file, 1).Path, "/music/A.mp3");

    // Emptying the file forgets what it held, and so does rewriting a path.
    CreateEmptyTrackFile(file);
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_EQ(appendEach({"/Music/a.mp3", "/Music/b.mp3"}), (std::vector{Written, Written}));
    WriteTrackRecordAt(file, 0, rec("/Music/c.mp3"));
    EXPECT_EQ(appendEach({"/Music/a.mp3", "/Music/c.mp3"}), (std::vector{Written, AlreadyThere}));
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/Music/c.mp3", "/Music/b.mp3", "/Music/a.mp3"}));
}

TEST_F(TrackFile, UpdateChangesTheFirstMatchOnly) {
    writeRecords(file, {"/a", "/dup", "/b", "/dup"});
    const std::string before = testenv::readFile(file);

    EXPECT_FALSE(UpdateTrackRecordInPlace(file, "/DUP", [](TrackRecord& r) { r.Title = "x"; }));
    EXPECT_FALSE(UpdateTrackRecordInPlace(file, "/du", [](TrackRecord& r) { r.Title = "x"; }));
    EXPECT_EQ(testenv::readFile(file), before);

    EXPECT_TRUE(UpdateTrackRecordInPlace(file, "/dup", [](TrackRecord& r) {
        IncrementPlayCount(r);
        r.Title = "edited";
    }));
    TrackRecord edited = rec("/dup", "edited");
    edited.PlayCount = 1;
    EXPECT_EQ(LoadTrackRecords(file), (std::vector<TrackRecord>{rec("/a"), edited, rec("/b"), rec("/dup")}));

    // A change of the path itself is followed by the lookups.
    EXPECT_TRUE(UpdateTrackRecordInPlace(file, "/a", [](TrackRecord& r) { r.Path = "/moved"; }));
    EXPECT_FALSE(UpdateTrackRecordInPlace(file, "/a", [](TrackRecord&) {}));
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/moved")), AppendOutcome::AlreadyThere);
    EXPECT_EQ(fs::file_size(file), 4 * 664u);
}

TEST_F(TrackFile, RemoveTakesTheSelectedRowsInAnyOrder) {
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
    EXPECT_EQ(appendEach({"/m/2", "/m/8"}), (std::vector{AppendOutcome::Written, AppendOutcome::AlreadyThere}));
    EXPECT_TRUE(UpdateTrackRecordInPlace(file, "/m/9", [](TrackRecord& r) { r.Year = "2001"; }));
    EXPECT_EQ(ReadTrackRecordAt(file, 6).Year, "2001");

    // Every row selected leaves an empty file, not a missing one.
    EXPECT_EQ(RemoveListedRecords(dir + "/temp.dat", file, pathsIn(file)), 8u);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(TrackFile, RemoveDuplicateRowsEarliestFirst) {
    TrackFileWriter w(file);
    for (const char* p : {"/a", "/b", "/a", "/c", "/a"}) {
        TrackRecord r = rec(p);
        r.Comment = std::string("at ") + std::to_string(TrackRecordCount(file));
        w.append(r);
    }
    w.close();

    EXPECT_EQ(RemoveListedRecords(dir + "/temp.dat", file, {"/a", "/a"}), 2u);
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/b", "/c", "/a"}));
    EXPECT_EQ(ReadTrackRecordAt(file, 2).Comment, "at 4");

    // More rows than records with the path removes what there is.
    EXPECT_EQ(RemoveListedRecords(dir + "/temp.dat", file, {"/b", "/b", "/b"}), 1u);
    EXPECT_EQ(pathsIn(file), (std::vector<std::string>{"/c", "/a"}));
}

TEST_F(TrackFile, AWriteThatFailsMidwayLeavesTheFileAsItWas) {
    // Returns 0 when the write, in a child that cannot write files past
    // `limit` bytes, failed with an error.
    auto failsInChild = [](rlim_t limit, const std::function<void()>& write) {
        return inChild([&] {
            try {
                write();
            } catch (const InOutError&) {
                return 0;
            }
            return 1;
        }, limit);
    };
    writeRecords(file, numbered("/m/", 10));
    const std::string before = testenv::readFile(file);
    EXPECT_EQ(failsInChild(10 * 664 + 100, [&] { AppendTrackRecordIfNew(file, rec("/d")); }), 0);
    EXPECT_EQ(testenv::readFile(file), before) << "a partial record was left";
    EXPECT_EQ(failsInChild(3 * 664, [&] { RemoveListedRecords(dir + "/temp.dat", file, {"/m/1"}); }), 0);
    EXPECT_EQ(testenv::readFile(file), before) << "a replacement written in part took the file's place";
    EXPECT_EQ(entriesIn(dir), std::set<std::string>{"music.dat"});
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/m/1")), AppendOutcome::AlreadyThere);
    EXPECT_EQ(AppendTrackRecordIfNew(file, rec("/d")), AppendOutcome::Written);
    EXPECT_EQ(fs::file_size(file), 11 * 664u);

    // A source that is not a regular file is refused, not replaced.
    const std::string folder = dir + "/folder.dat";
    fs::create_directory(folder);
    EXPECT_THROW(RemoveListedRecords(dir + "/temp.dat", folder, {"/m/1"}), TunevaleError);
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(TrackFile, TwoProcessesAppendingAtOnceLoseNothing) {
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

TEST_F(TrackFile, WritersThroughALinkAndThroughTheRealPathShareOneLock) {
    // A library kept elsewhere and linked in: one instance appends through
    // the real path while another removes through the link, replacing the
    // file. No append reported done may be lost.
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
    EXPECT_EQ(pathsIn(real), numbered("/kept/", 1000));
}

TEST_F(TrackFile, LookupsNoticeOtherProcessesChanges) {
    CreateEmptyTrackFile(file);
    EXPECT_EQ(appendEach({"/a", "/b", "/c"}), std::vector(3, AppendOutcome::Written));

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

// The index a whole scan leaves behind answers as one built for a lookup:
// first records of repeated paths, paths changed meanwhile by another
// process, and many records across several chunks.
TEST_F(TrackFile, AScanLeavesAnIndexThatLookupsCanTrust) {
    std::vector<std::string> paths = numbered("/m/", 3000);
    paths.push_back("/m/7");
    writeRecords(file, paths);
    std::size_t seen = 0;
    ForEachTrackRecord(file, [&](const TrackRecord&, std::size_t) { return ++seen > 0; });
    EXPECT_EQ(seen, 3001u);
    EXPECT_TRUE(UpdateTrackRecordInPlace(file, "/m/7", [](TrackRecord& r) { r.Title = "first"; }));
    EXPECT_EQ(ReadTrackRecordAt(file, 7).Title, "first");
    EXPECT_EQ(ReadTrackRecordAt(file, 3000).Title, "/m/7");
    EXPECT_EQ(appendEach({"/m/2999", "/new"}), (std::vector{AppendOutcome::AlreadyThere, AppendOutcome::Written}));

    ForEachTrackRecord(file, [](const TrackRecord&, std::size_t) { return true; });
    EXPECT_EQ(inChild([&] {
                  TrackRecord r = ReadTrackRecordAt(file, 5);
                  r.Path = "/moved";
                  WriteTrackRecordAt(file, 5, r);
                  return 0;
              }),
              0);
    EXPECT_EQ(appendEach({"/moved", "/m/5"}), (std::vector{AppendOutcome::AlreadyThere, AppendOutcome::Written}));
}
