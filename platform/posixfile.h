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
    friend PosixFile OpenRegularFile(const std::string& path, int flags, mode_t mode);

    int fd_ = -1;
    int openErrno_ = 0;
};

// Files from outside (settings, playlists, the tree file, skins, the record
// files) are opened through here. A FIFO under a known name would block the
// open, /dev/zero would feed a reader without end, and a folder reads as an
// error only later: only a regular file is kept. The open never blocks
// (O_NONBLOCK, cleared again once the file is known to be regular), so a
// FIFO opened for writing without a reader fails with ENXIO. Anything else
// that is not a regular file is closed again and the result is not open,
// with openError() EISDIR for a folder and ENODEV for the rest.
PosixFile OpenRegularFile(const std::string& path, int flags, mode_t mode = 0644);

// Reads a whole regular file of at most maxBytes. False, with errno set,
// when it cannot be opened or read, is not a regular file (as above) or is
// larger than maxBytes (EFBIG); *out is then empty.
bool ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string* out);

// The size of a regular file (or what a link points to); -1 for anything
// else and for a path that cannot be reached.
int64_t RegularFileSize(const std::string& path);

// Bytes the folder's file system still gives an unprivileged writer; -1
// when the folder cannot be reached.
int64_t FreeBytesIn(const std::string& folder);

// What a failure of the two above means, for messages: "not a regular
// file", "larger than the program reads" or the system's own text.
std::string FileReadErrorText(int error);

// Flushes folder's entries to disk, so that a rename or removal in it
// survives a crash. Quiet: a folder that cannot be opened is passed over.
void SyncFolder(const std::string& folder);

// Makes the process ignore SIGXFSZ, so that a write beyond a file-size
// limit (ulimit -f) fails with EFBIG and is reported like a full disk,
// instead of ending the program without a word and leaving a half-written
// file behind.
void IgnoreFileSizeSignal();
