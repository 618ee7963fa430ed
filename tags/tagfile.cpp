#include "tags/tagfile.h"

#include <algorithm>
#include <vector>

#include "tags/bytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace tags {

std::string ErrnoMessage(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

TagWriteResult ReplaceFileHead(const std::string& path, std::span<const uint8_t> newHead, uint64_t oldHeadSize) {
    FileSource in(path);
    if (!in.ok()) return {false, "Cannot open " + path + ": " + in.error()};
    return RewriteFileAtomically(path, [&](PosixFile& out, std::string* error) {
        if (!out.write(newHead)) {
            *error = ErrnoMessage("Cannot write", path);
            return false;
        }
        std::vector<uint8_t> buffer(std::min<uint64_t>(1 << 20, std::max<uint64_t>(in.size(), 1)));
        for (uint64_t at = oldHeadSize; at < in.size();) {
            const size_t n = in.readAt(at, buffer);
            if (n == 0) {
                *error = "Cannot read " + path;
                return false;
            }
            if (!out.write(std::span<const uint8_t>(buffer).first(n))) {
                *error = ErrnoMessage("Cannot write", path);
                return false;
            }
            at += n;
        }
        return true;
    });
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
