#include "posixfile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

PosixFile::PosixFile(const std::string& path, int flags, mode_t mode) {
    do {
        fd_ = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd_ < 0 && errno == EINTR);
    openErrno_ = fd_ < 0 ? errno : 0;
}

PosixFile::~PosixFile() {
    if (fd_ >= 0) ::close(fd_);
}

PosixFile::PosixFile(PosixFile&& other) noexcept : fd_(other.fd_), openErrno_(other.openErrno_) {
    other.fd_ = -1;
}

PosixFile& PosixFile::operator=(PosixFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        openErrno_ = other.openErrno_;
        other.fd_ = -1;
    }
    return *this;
}

bool PosixFile::readAt(uint64_t offset, std::span<uint8_t> out, size_t* got) const {
    size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    if (got) *got = done;
    return true;
}

bool PosixFile::readAll(uint64_t offset, std::span<uint8_t> out) const {
    size_t got = 0;
    if (!readAt(offset, out, &got)) return false;
    if (got != out.size()) {
        errno = EIO;
        return false;
    }
    return true;
}

bool PosixFile::writeAt(uint64_t offset, std::span<const uint8_t> data) const {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool PosixFile::write(std::span<const uint8_t> data) const {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool PosixFile::size(uint64_t* out) const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return false;
    *out = static_cast<uint64_t>(st.st_size);
    return true;
}

bool PosixFile::truncate(uint64_t length) const {
    return ::ftruncate(fd_, static_cast<off_t>(length)) == 0;
}

bool PosixFile::sync() const { return ::fsync(fd_) == 0; }

bool PosixFile::close() {
    if (fd_ < 0) return true;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

PosixFile OpenRegularFile(const std::string& path, int flags, mode_t mode) {
    PosixFile f(path, flags | O_NONBLOCK, mode);
    if (!f.isOpen()) return f;
    struct stat st {};
    if (::fstat(f.fd(), &st) != 0) {
        const int error = errno;
        f.close();
        f.openErrno_ = error;
        return f;
    }
    if (!S_ISREG(st.st_mode)) {
        f.close();
        f.openErrno_ = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        return f;
    }
    ::fcntl(f.fd(), F_SETFL, ::fcntl(f.fd(), F_GETFL) & ~O_NONBLOCK);
    return f;
}

int64_t RegularFileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return st.st_size;
}

int64_t FreeBytesIn(const std::string& folder) {
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) return -1;
    return int64_t(vfs.f_bavail) * int64_t(vfs.f_frsize);
}

bool ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string* out) {
    out->clear();
    PosixFile f = OpenRegularFile(path, O_RDONLY);
    if (!f.isOpen()) {
        errno = f.openError();
        return false;
    }
    uint64_t size = 0;
    if (!f.size(&size)) return false;
    if (size > maxBytes) {
        errno = EFBIG;
        return false;
    }
    // The file may grow while it is read: one byte beyond the limit is
    // enough to refuse it.
    out->resize(static_cast<size_t>(size) + 1);
    uint64_t offset = 0;
    for (;;) {
        size_t got = 0;
        std::span<uint8_t> room(reinterpret_cast<uint8_t*>(out->data()) + offset, out->size() - offset);
        if (!f.readAt(offset, room, &got)) {
            const int error = errno;
            out->clear();
            errno = error;
            return false;
        }
        offset += got;
        if (got < room.size()) break;
        if (offset > maxBytes) {
            out->clear();
            errno = EFBIG;
            return false;
        }
        out->resize(std::min<uint64_t>(maxBytes + 1, offset * 2));
    }
    out->resize(static_cast<size_t>(offset));
    return true;
}

std::string FileReadErrorText(int error) {
    switch (error) {
    case EISDIR:
    case ENODEV: return "not a regular file";
    case EFBIG: return "larger than the program reads";
    default: return std::strerror(error);
    }
}

void SyncFolder(const std::string& folder) {
    const PosixFile opened(folder, O_RDONLY | O_DIRECTORY);
    if (opened.isOpen()) opened.sync();
}

void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }
