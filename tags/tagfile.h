#pragma once
// What every tag writer reports. A writer either leaves the file as it was or
// writes it completely; ok is false (and error says why) in the first case.

#include "platform/atomicfile.h"

using TagWriteResult = AtomicWriteResult;

#include <string>
#include <sys/types.h>

#include "platform/posixfile.h"

namespace tags {

// An existing regular file opened for writing in place. A file its owner may
// not write gets the owner's write bit for the time of the write and its mode
// back afterwards. Never creates the file.
class InPlaceFile {
public:
    explicit InPlaceFile(const std::string& path);
    ~InPlaceFile();
    InPlaceFile(const InPlaceFile&) = delete;
    InPlaceFile& operator=(const InPlaceFile&) = delete;

    bool ok() const { return file_.isOpen(); }
    const std::string& error() const { return error_; }
    PosixFile& file() { return file_; }
    // Closes and reports a failed close; the mode is restored either way.
    bool close(std::string* error);

private:
    std::string path_;
    PosixFile file_;
    std::string error_;
    mode_t restoreMode_ = 0;
    bool restore_ = false;
};

// Rewrites the file atomically as newHead followed by the file's bytes from
// oldHeadSize on: the way a tag at the start of a file grows or shrinks
// without the audio after it being touched.
TagWriteResult ReplaceFileHead(const std::string& path, std::span<const uint8_t> newHead, uint64_t oldHeadSize);

// "<what> <path>: <strerror(errno)>"
std::string ErrnoMessage(const std::string& what, const std::string& path);

}  // namespace tags
