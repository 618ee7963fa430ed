#include "platform/folderwalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <utility>
#include <vector>

#include "platform/paths.h"

namespace {

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

class Walker {
public:
    explicit Walker(const FolderWalk& walk) : walk_(walk) {
        for (const std::string& folder : walk.never) {
            struct stat st {};
            if (::stat(folder.c_str(), &st) == 0) never_.insert({st.st_dev, st.st_ino});
        }
    }

    // False once stopped.
    bool folder(std::string dir) {
        dir = WithTrailingSeparator(dir);
        const bool chosen = visited_.empty();
        const int fd =
            ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | (chosen ? 0 : O_NOFOLLOW));
        if (fd < 0) return true;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || never_.count({st.st_dev, st.st_ino}) ||
            !visited_.insert({st.st_dev, st.st_ino}).second) {
            ::close(fd);
            return true;
        }
        if (walk_.entered) walk_.entered(dir);
        DIR* listing = ::fdopendir(fd);
        if (!listing) {
            ::close(fd);
            return true;
        }
        // The listing is read whole and closed before any entry is handled:
        // a deep tree then holds one folder open at a time, not one per level.
        std::vector<Entry> entries;
        while (const dirent* e = ::readdir(listing)) {
            const std::string_view name = e->d_name;
            if (name != "." && name != "..") entries.push_back({std::string(name), e->d_type});
        }
        ::closedir(listing);

        for (const Entry& entry : entries) {
            const std::string path = dir + entry.name;
            if (walk_.entry && !walk_.entry(path)) return false;
            switch (entryType(path, entry.type)) {
            case DT_DIR:
                if (!walk_.enter || walk_.enter(entry.name))
                    if (!folder(path)) return false;
                break;
            case DT_REG:
                if (walk_.file) walk_.file(path, entry.name, true);
                break;
            case DT_LNK: {
                struct stat target {};
                const bool found = ::stat(path.c_str(), &target) == 0;
                if (found && S_ISDIR(target.st_mode)) break;
                if (walk_.file) walk_.file(path, entry.name, found && S_ISREG(target.st_mode));
                break;
            }
            default:
                if (walk_.file) walk_.file(path, entry.name, false);
                break;
            }
        }
        return true;
    }

private:
    const FolderWalk& walk_;
    std::set<std::pair<dev_t, ino_t>> visited_;
    std::set<std::pair<dev_t, ino_t>> never_;
};

}  // namespace

bool WalkFolder(const std::string& folder, const FolderWalk& walk) { return Walker(walk).folder(folder); }
