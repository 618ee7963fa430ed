#pragma once
// A small owner of a POSIX file descriptor. File code that must control
// O_APPEND, flock and exact error handling uses this instead of streams.

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

class PosixFile {
public:
    PosixFile() = default;
    PosixFile(const std::string& path, int flags, mode_t mode = 0644);
    ~PosixFile();
    PosixFile(PosixFile&& other) noexcept;
    PosixFile& operator=(PosixFile&& other) noexcept;
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // errno of the failed open, 0 when open.
    int openError() const { return openErrno_; }

    // Each returns false (errno set) on failure; short reads at the end of
    // the file are not failures: readAt returns the count read in *got.
    bool readAt(uint64_t offset, std::span<uint8_t> out, size_t* got) const;
    bool readAll(uint64_t offset, std::span<uint8_t> out) const;  // exactly out.size()
    bool writeAt(uint64_t offset, std::span<const uint8_t> data) const;
    bool write(std::span<const uint8_t> data) const;  // at the current position (O_APPEND aware)
    bool size(uint64_t* out) const;
    bool truncate(uint64_t length) const;
    bool sync() const;
    bool close();

private:
    int fd_ = -1;
    int openErrno_ = 0;
};

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* out);
