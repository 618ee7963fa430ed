#include "platform/ownedfiles.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/paths.h"

namespace {

// The folders of this process still there, each with the process that
// made it. Never destroyed: exit() runs its handler after static objects
// may be gone.
struct OwnFolders {
    std::mutex mutex;
    std::map<std::string, pid_t> paths;
};

OwnFolders& ownFolders() {
    static auto* folders = new OwnFolders;
    return *folders;
}

// The owner's process id when name is "<prefix><pid>-XXXXXX".
bool folderOwner(std::string_view name, std::string_view prefix, pid_t* pid) {
    return name.substr(0, prefix.size()) == prefix && OwnerInNameEnd(name.substr(prefix.size()), pid);
}

// Whether fd still has a name: a sweep may have removed what it opened.
bool stillNamed(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_nlink > 0;
}

}  // namespace

bool ProcessIsGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

bool OwnerInNameEnd(std::string_view end, pid_t* pid) {
    const size_t dash = end.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 || end.size() != dash + 1 + kNameRandomLength)
        return false;
    long value = 0;
    for (char c : end.substr(0, dash)) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    for (char c : end.substr(dash + 1))
        if (kNameRandomLetters.find(c) == std::string_view::npos) return false;
    *pid = static_cast<pid_t>(value);
    return value > 0;
}

std::string TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp ? tmp : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

void RemoveFileOrTree(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        ::unlink(path.c_str());
        return;
    }
    if (DIR* dir = ::opendir(path.c_str())) {
        std::vector<std::string> names;
        while (const dirent* e = ::readdir(dir)) {
            const std::string_view name = e->d_name;
            if (name != "." && name != "..") names.emplace_back(name);
        }
        ::closedir(dir);
        for (const std::string& name : names) RemoveFileOrTree(JoinPath(path, name));
    }
    ::rmdir(path.c_str());
}

OwnedTemporaryFolder::OwnedTemporaryFolder(std::string_view prefix) {
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(RemoveOwnTemporaryFolders); });
    std::string pattern = JoinPath(TemporaryFolder(), std::string(prefix) + std::to_string(::getpid()) + "-XXXXXX");
    if (!::mkdtemp(pattern.data())) return;
    path_ = std::move(pattern);
    OwnFolders& own = ownFolders();
    std::lock_guard lock(own.mutex);
    own.paths.emplace(path_, ::getpid());
}

OwnedTemporaryFolder::~OwnedTemporaryFolder() {
    if (path_.empty()) return;
    RemoveFileOrTree(path_);
    OwnFolders& own = ownFolders();
    std::lock_guard lock(own.mutex);
    own.paths.erase(path_);
}

void RemoveOwnTemporaryFolders() {
    OwnFolders& own = ownFolders();
    std::lock_guard lock(own.mutex);
    // A forked child inherits the list; the folders stay its parent's.
    const pid_t self = ::getpid();
    for (const auto& [path, maker] : own.paths)
        if (maker == self) RemoveFileOrTree(path);
    own.paths.clear();
}

void RemoveAbandonedTemporaryFolders(const std::string& folder, std::string_view prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> abandoned;
    while (const dirent* entry = ::readdir(dir)) {
        pid_t pid = 0;
        if (!folderOwner(entry->d_name, prefix, &pid) || pid == ::getpid() || !ProcessIsGone(pid)) continue;
        const std::string path = JoinPath(folder, entry->d_name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
            abandoned.push_back(path);
    }
    ::closedir(dir);
    for (const std::string& path : abandoned) RemoveFileOrTree(path);
}

PosixFile CreateOwnedFile(const std::string& path, int flags, mode_t mode) {
    for (int attempt = 0;; ++attempt) {
        PosixFile file(path, flags | O_CREAT | O_EXCL, mode);
        if (!file.isOpen()) return file;
        // A sweep holds the lock only while it looks; then the file it
        // took for abandoned is gone, and a new one is made.
        int locked;
        do {
            locked = ::flock(file.fd(), LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0 || stillNamed(file.fd()) || attempt == 3) return file;
    }
}

PosixFile OwnFolder(const std::string& path) {
    for (int attempt = 0;; ++attempt) {
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return {};
        PosixFile folder(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (!folder.isOpen()) return folder;
        // Held already (another window on the same folder in this process):
        // the mark stays where it is.
        if (::flock(folder.fd(), LOCK_EX | LOCK_NB) != 0 || stillNamed(folder.fd()) || attempt == 3) return folder;
    }
}

PosixFile MarkExistingFile(const std::string& path) {
    PosixFile file = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW);
    if (file.isOpen() && ::flock(file.fd(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return {};
    return file;
}

bool RemoveIfAbandoned(const std::string& path) {
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0) return false;
    int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK;
    if (S_ISDIR(named.st_mode))
        flags |= O_DIRECTORY;
    else if (!S_ISREG(named.st_mode))
        return false;
    PosixFile file(path, flags);
    if (!file.isOpen() || ::flock(file.fd(), LOCK_EX | LOCK_NB) != 0) return false;
    struct stat opened {};
    if (::fstat(file.fd(), &opened) != 0 || opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
        return false;
    RemoveFileOrTree(path);
    return true;
}
