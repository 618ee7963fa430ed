#pragma once
// The file an encoder writes. It is created at once, so a folder that cannot
// be written is reported when the output is created, and it remembers the
// first failure: once a write has failed the output is incomplete for good.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posixfile.h"

namespace audio {

class OutputFile {
public:
    bool create(const std::string& path);
    bool isOpen() const { return file_.isOpen(); }
    const std::string& path() const { return path_; }

    // Appends at the current position.
    bool write(const void* data, size_t size);
    // Writes at an offset (headers patched at the end); the position stays.
    bool writeAt(uint64_t offset, const void* data, size_t size);
    // Moves the current position (the ASF muxer goes back to its header).
    bool seek(uint64_t offset);
    uint64_t position() const { return position_; }
    uint64_t size() const { return size_; }

    bool failed() const { return failed_; }
    void markFailed() { failed_ = true; }
    // errno of the first failure, 0 when none.
    int errorNumber() const { return errno_; }

    // Closes; false when closing failed or an earlier write had.
    bool close();
    // Closes and deletes the file: what is left of an output that failed.
    void discard();

private:
    bool fail();

    PosixFile file_;
    std::string path_;
    uint64_t position_ = 0;
    uint64_t size_ = 0;
    bool failed_ = false;
    int errno_ = 0;
};

}  // namespace audio
