#include "tags/tagfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace tags {

std::string ErrnoMessage(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

InPlaceFile::InPlaceFile(const std::string& path) : path_(path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error_ = ErrnoMessage("Cannot open", path);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = "Cannot open " + path + ": not a regular file";
        return;
    }
    if (!(st.st_mode & S_IWUSR) && ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0) {
        restoreMode_ = st.st_mode & 07777;
        restore_ = true;
    }
    file_ = PosixFile(path, O_RDWR);
    if (!file_.isOpen()) {
        errno = file_.openError();
        error_ = ErrnoMessage("Cannot open", path);
    }
}

bool InPlaceFile::close(std::string* error) {
    const bool closed = !file_.isOpen() || file_.close();
    if (!closed && error) *error = ErrnoMessage("Cannot close", path_);
    if (restore_) {
        ::chmod(path_.c_str(), restoreMode_);
        restore_ = false;
    }
    return closed;
}

InPlaceFile::~InPlaceFile() {
    close(nullptr);
}

}  // namespace tags
