#include "posixfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

bool ReadWholeFile(const std::string& path, std::string* out) {
    PosixFile f(path, O_RDONLY);
    if (!f.isOpen()) return false;
    out->clear();
    uint8_t buf[65536];
    uint64_t offset = 0;
    for (;;) {
        size_t got = 0;
        if (!f.readAt(offset, buf, &got)) return false;
        if (got == 0) break;
        out->append(reinterpret_cast<const char*>(buf), got);
        offset += got;
    }
    return true;
}
