#include "platform/folderlock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/paths.h"

FolderLock::FolderLock(const std::string& file, int mode)
    : fd_(::open(ParentFolder(FinalPath(file)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (mode != 0) lock(mode);
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

void FolderLock::lock(int mode) {
    if (fd_ < 0) return;
    while (::flock(fd_, mode) != 0 && errno == EINTR) {
    }
}

void FolderLock::unlock() {
    if (fd_ >= 0) ::flock(fd_, LOCK_UN);
}
