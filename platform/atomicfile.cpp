#include "atomicfile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "ownedfiles.h"
#include "paths.h"
#include "utf8.h"

namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";

std::atomic<bool> g_unnamedAllowed{true};

std::string errnoText(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// "<name>.tmp-<pid>-" beside target, the name cut so that the whole file
// name with its random part stays within the folder's name limit: a file
// whose name is already near the limit must still be replaceable. The
// target's name comes first so that a left-over file shows what it
// belonged to; the process id tells the sweep whether its writer is gone.
std::string temporaryPrefix(const std::string& target, const std::string& folder) {
    const std::string suffix = std::string(kTemporaryMark) + std::to_string(::getpid()) + "-";
    long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = NAME_MAX;
    const size_t slash = target.rfind('/');
    const std::string_view base = slash == std::string::npos ? std::string_view(target)
                                                             : std::string_view(target).substr(slash + 1);
    const size_t fixed = suffix.size() + kNameRandomLength;
    const size_t room = static_cast<size_t>(nameMax) > fixed ? static_cast<size_t>(nameMax) - fixed : 0;
    std::string prefix = target.substr(0, target.size() - base.size());
    prefix.append(Utf8Cut(base, room)).append(suffix);
    return prefix;
}

std::string randomPart() {
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, kNameRandomLetters.size() - 1);
    std::string out;
    for (size_t i = 0; i < kNameRandomLength; ++i) out.push_back(kNameRandomLetters[pick(generator)]);
    return out;
}

// The writer's process id when name is one of our temporaries.
bool temporaryOwner(std::string_view name, pid_t* pid) {
    const size_t mark = name.rfind(kTemporaryMark);
    if (mark == std::string_view::npos || mark == 0) return false;
    return OwnerInNameEnd(name.substr(mark + kTemporaryMark.size()), pid);
}

// linkat through /proc gives an unnamed file a name without any privilege.
bool canNameUnnamedFiles() {
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

}  // namespace

ReplacementFile::~ReplacementFile() { discard(); }

// The file to be replaced, if any. A link that is itself replaced counts as
// no file: the new one gets a mode of its own, not that of what it named.
bool ReplacementFile::originalStatus(struct stat& original) const {
    if (link_ == Link::Follow) return ::stat(target_.c_str(), &original) == 0;
    return ::lstat(target_.c_str(), &original) == 0 && !S_ISLNK(original.st_mode);
}

bool ReplacementFile::aim(const std::string& path, Link link, std::string* error) {
    discard();
    link_ = link;
    target_ = link == Link::Follow ? FinalPath(path) : path;
    folder_ = ParentFolder(target_);
    struct stat original {};
    if (originalStatus(original) && !S_ISREG(original.st_mode)) {
        errno = S_ISDIR(original.st_mode) ? EISDIR : ENODEV;
        *error = "Not a regular file: " + target_;
        return false;
    }
    return true;
}

bool ReplacementFile::begin(const std::string& path, std::string* error, Link link) {
    if (!aim(path, link, error)) return false;
    RemoveStaleTemporaries(folder_);

    if (g_unnamedAllowed && canNameUnnamedFiles()) {
        file_ = PosixFile(folder_, O_TMPFILE | O_RDWR, 0600);
        if (file_.isOpen()) return true;
        // Other file systems refuse O_TMPFILE: a named temporary then.
    }
    const std::string prefix = temporaryPrefix(target_, folder_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        named_ = prefix + randomPart();
        file_ = PosixFile(named_, O_RDWR | O_CREAT | O_EXCL, 0600);
        if (file_.isOpen()) return true;
        if (file_.openError() != EEXIST) break;
    }
    errno = file_.openError();
    *error = errnoText("Cannot create a temporary file in", folder_);
    named_.clear();
    return false;
}

bool ReplacementFile::beginVisible(const std::string& path, std::string* error) {
    if (!aim(path, Link::Replace, error)) return false;
    // An earlier part is an earlier recording that never took its name: it
    // stays, and this one takes the next free name.
    for (int n = 0; n < 1000; ++n) {
        named_ = target_ + (n == 0 ? std::string() : "." + std::to_string(n)) + ".part";
        file_ = PosixFile(named_, O_RDWR | O_CREAT | O_EXCL, 0644);
        if (file_.isOpen()) return true;
        if (file_.openError() != EEXIST) break;
    }
    errno = file_.openError();
    *error = errnoText("Cannot create", named_);
    named_.clear();
    return false;
}

bool ReplacementFile::commit(std::string* error, mode_t newFileMode) {
    auto fail = [&](std::string message) {
        *error = std::move(message);
        discard();
        return false;
    };
    if (!file_.isOpen()) return fail("Nothing to replace " + target_ + " with");
    struct stat original {};
    if (originalStatus(original)) {
        if (::fchmod(file_.fd(), original.st_mode & 07777) != 0) return fail(errnoText("Cannot set the mode of", target_));
        // Keeping the owner only works for root or the same owner; a
        // different owner is not worth failing the write for.
        if (::fchown(file_.fd(), original.st_uid, original.st_gid) != 0) { /* keep our own */ }
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(file_.fd(), newFileMode & ~mask);
    }
    if (!file_.sync()) return fail(errnoText("Cannot flush a replacement for", target_));
    if (named_.empty()) {
        // The name lives only from the link to the rename, the two calls
        // back to back with nothing between them; it carries our process
        // id, so a kill in between is swept up later. The file is closed
        // only once it has its place: its content is on disk already.
        const std::string self = "/proc/self/fd/" + std::to_string(file_.fd());
        const std::string prefix = temporaryPrefix(target_, folder_);
        for (int attempt = 0; attempt < 100 && named_.empty(); ++attempt) {
            const std::string name = prefix + randomPart();
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                named_ = name;
                if (::rename(named_.c_str(), target_.c_str()) != 0) return fail(errnoText("Cannot replace", target_));
            } else if (errno != EEXIST) {
                break;
            }
        }
        if (named_.empty()) return fail(errnoText("Cannot name a replacement for", target_));
        named_.clear();
        file_.close();
    } else {
        if (!file_.close()) return fail(errnoText("Cannot close a replacement for", target_));
        if (::rename(named_.c_str(), target_.c_str()) != 0) return fail(errnoText("Cannot replace", target_));
        named_.clear();
    }
    SyncFolder(folder_);
    return true;
}

void ReplacementFile::discard() {
    file_.close();
    if (!named_.empty()) ::unlink(named_.c_str());
    named_.clear();
}

AtomicWriteResult RewriteFileAtomically(const std::string& path,
                                        const std::function<bool(PosixFile&, std::string*)>& producer) {
    AtomicWriteResult result;
    ReplacementFile replacement;
    if (!replacement.begin(path, &result.error)) return result;
    std::string producerError;
    if (!producer(replacement.file(), &producerError)) {
        result.error = producerError.empty() ? "Cannot write " + replacement.target() : producerError;
        return result;
    }
    result.ok = replacement.commit(&result.error);
    return result;
}

AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view content) {
    return RewriteFileAtomically(path, [&](PosixFile& out, std::string* error) {
        if (!out.write({reinterpret_cast<const uint8_t*>(content.data()), content.size()})) {
            *error = std::string("Cannot write ") + path + ": " + std::strerror(errno);
            return false;
        }
        return true;
    });
}

void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        pid_t pid = 0;
        if (!temporaryOwner(entry->d_name, &pid) || pid == ::getpid() || !ProcessIsGone(pid)) continue;
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(dir);
}

void RemoveStaleProgramTemporaries() {
    for (const std::string& folder : {ConfigFolder(), DataFolder(), PlaylistFolder()}) RemoveStaleTemporaries(folder);
}

void SetUnnamedTemporariesAllowed(bool allowed) { g_unnamedAllowed = allowed; }
