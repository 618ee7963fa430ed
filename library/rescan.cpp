#include "library/rescan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <vector>

#include "library/recordbuilder.h"
#include "library/records/trackrecord.h"
#include "platform/atomicfile.h"
#include "platform/paths.h"

namespace {

bool isAudio(std::string_view name) { return AudioKindOfPath(name) != AudioKind::None; }

// The type a listing gave, or the one lstat finds where it gave none.
unsigned char entryType(const std::string& path, unsigned char listed) {
    if (listed != DT_UNKNOWN) return listed;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return DT_UNKNOWN;
    if (S_ISDIR(st.st_mode)) return DT_DIR;
    if (S_ISREG(st.st_mode)) return DT_REG;
    if (S_ISLNK(st.st_mode)) return DT_LNK;
    return DT_FIFO;  // a FIFO, socket or device: never opened
}

struct Entry {
    std::string name;
    unsigned char type;
};

}  // namespace

bool IsSkippedScanFolder(std::string_view name) {
    static constexpr std::array<std::string_view, 6> kSkipped = {"system32", "winnt",         "system",
                                                                  "windows",  "Program Files", "Local Settings"};
    for (std::string_view skipped : kSkipped)
        if (name == skipped) return true;
    return false;
}

void LibraryRescan::reset() {
    count_ = 0;
    cancelled_ = false;
    tally_ = {};
    visited_.clear();
}

void LibraryRescan::run(const TrackLibrary& library, const std::string& folder) {
    visited_.clear();
    findfile(library, folder);
    visited_.clear();
}

void LibraryRescan::findfile(const TrackLibrary& library, std::string dir) {
    dir = WithTrailingSeparator(dir);
    // The folder the user chose may be reached through a link; the walk
    // below it follows none to a folder, and enters a folder it met before
    // (a bind mount of a parent, say) no second time.
    const bool chosen = visited_.empty();
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | (chosen ? 0 : O_NOFOLLOW));
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !visited_.insert({st.st_dev, st.st_ino}).second) {
        ::close(fd);
        return;
    }
    // Temporaries that a killed tag writer left here go before the listing.
    RemoveStaleTemporaries(dir);
    DIR* listing = ::fdopendir(fd);
    if (!listing) {
        ::close(fd);
        return;
    }
    // The listing is read whole and closed before any entry is handled: a
    // deep tree then holds one folder open at a time, not one per level.
    std::vector<Entry> entries;
    while (const dirent* e = ::readdir(listing)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") entries.push_back({std::string(name), e->d_type});
    }
    ::closedir(listing);

    for (const Entry& entry : entries) {
        if (cancelled_) return;
        const std::string path = dir + entry.name;
        if (onEntry) onEntry(path);
        if (cancelled_) return;  // cancelled while the window's events ran
        switch (entryType(path, entry.type)) {
        case DT_DIR:
            if (!IsSkippedScanFolder(entry.name)) findfile(library, path);
            break;
        case DT_REG:
            if (isAudio(entry.name)) audioFile(library, path, true);
            break;
        case DT_LNK: {
            if (!isAudio(entry.name)) break;
            struct stat target {};
            const bool found = ::stat(path.c_str(), &target) == 0;
            if (found && S_ISDIR(target.st_mode)) break;
            audioFile(library, path, found && S_ISREG(target.st_mode));
            break;
        }
        default:
            if (isAudio(entry.name)) audioFile(library, path, false);
            break;
        }
    }
}

void LibraryRescan::audioFile(const TrackLibrary& library, const std::string& path, bool regular) {
    ++count_;
    AddResult result;
    if (regular) {
        result = library.add(path, DateAddedNow());
    } else {
        result.outcome = AddOutcome::Skipped;
        result.path = path;
    }
    tally_.count(result);
    if (onFile) onFile(result);
}
