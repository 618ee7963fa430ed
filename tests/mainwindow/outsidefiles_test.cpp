// Files from outside are read only when they are regular files of a size no
// real file reaches: a FIFO under a playlist's name must not hang the
// program, and /dev/zero under the library's must not feed a reader until
// memory runs out. Each gets the error of a file that cannot be read.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "components/skin/skinengine.h"
#include "components/skin/skinfile.h"
#include "library/playlists/m3u.h"
#include "library/playlists/playlisttext.h"
#include "library/playlists/pls.h"
#include "library/records/trackfile.h"
#include "library/treetext.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "testenv.h"

namespace {

enum class Kind { Fifo, LinkToZero, OneByteTooLarge };

void make(Kind kind, const std::string& path, uint64_t limit) {
    switch (kind) {
    case Kind::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); break;
    case Kind::LinkToZero: ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0); break;
    case Kind::OneByteTooLarge: {
        // Sparse: the size is what counts, not what is stored.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(limit + 1)), 0);
        ::close(fd);
        break;
    }
    }
}

bool openFails(const std::function<void()>& use) {
    try {
        use();
    } catch (const FileOpenError&) {
        return true;
    }
    return false;
}

struct Reader {
    const char* name;
    uint64_t limit;  // 0: read in chunks, no limit
    std::function<bool(const std::string& path)> refuses;
};

}  // namespace

TEST(OutsideFiles, SpecialAndOversizedFilesGetTheErrorOfAnUnreadableOne) {
    // A reader that blocks or never ends stops the test binary here instead
    // of stalling the run.
    ::alarm(60);
    const auto cannotOpen = [](const PlaylistReadResult& r, const std::string& path) {
        return !r.ok && r.error == "Cannot open file " + path && r.entries.empty();
    };
    const std::vector<Reader> readers = {
        {"M3U", kMaxPlaylistFileBytes, [&](const std::string& p) { return cannotOpen(ReadM3uPlaylist(p), p); }},
        {"PLS", kMaxPlaylistFileBytes, [&](const std::string& p) { return cannotOpen(ReadPlsPlaylist(p), p); }},
        {"settings read", kMaxSettingsFileBytes,
         [](const std::string& p) { return IniFile(p).readString("basic", "skin", "none") == "none"; }},
        {"settings write", kMaxSettingsFileBytes,
         [](const std::string& p) {
             IniFile ini(p);
             return !ini.writeString("basic", "skin", "2") && ini.lastError() == "Cannot open file " + p;
         }},
        {"tree file", kMaxTreeFileBytes,
         [](const std::string& p) {
             TreeTextLoad load;
             return !ReadTreeTextFile(p, &load);
         }},
        {"skin", skin::kMaxSkinFileBytes,
         [](const std::string& p) {
             SkinEngine engine;
             return !engine.loadSkin(QString::fromStdString(p)) &&
                    engine.lastError().startsWith(QStringLiteral("The skin file %1 was not loaded").arg(p.c_str()));
         }},
        {"library scan", 0, [](const std::string& p) { return openFails([&] { LoadTrackRecords(p); }); }},
        {"library count", 0, [](const std::string& p) { return openFails([&] { TrackRecordCount(p); }); }},
        {"library append", 0,
         [](const std::string& p) { return openFails([&] { AppendTrackRecordIfNew(p, TrackRecord{}); }); }},
        {"library update", 0,
         [](const std::string& p) { return openFails([&] { UpdateTrackRecordInPlace(p, "/a", [](TrackRecord&) {}); }); }},
        {"library removal", 0,
         [](const std::string& p) { return openFails([&] { RemoveListedRecords(p + ".tmp", p, {"/a"}); }); }},
        {"library create", 0, [](const std::string& p) { return openFails([&] { CreateEmptyTrackFile(p); }); }},
    };
    for (const Kind kind : {Kind::Fifo, Kind::LinkToZero, Kind::OneByteTooLarge}) {
        for (const Reader& reader : readers) {
            if (kind == Kind::OneByteTooLarge && reader.limit == 0) continue;
            const std::string path = testenv::makeTempDir("outside") + "/file";
            make(kind, path, reader.limit);
            EXPECT_TRUE(reader.refuses(path)) << reader.name << ", kind " << static_cast<int>(kind);
        }
    }
    ::alarm(0);
}
