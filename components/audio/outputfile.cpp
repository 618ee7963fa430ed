#include "components/audio/outputfile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <span>
#include <unistd.h>

namespace audio {

bool OutputFile::create(const std::string& path) {
    file_ = PosixFile(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    path_ = path;
    position_ = size_ = 0;
    failed_ = false;
    errno_ = 0;
    if (!file_.isOpen()) {
        errno_ = file_.openError();
        failed_ = true;
        return false;
    }
    return true;
}

bool OutputFile::fail() {
    if (!failed_) errno_ = errno ? errno : EIO;
    failed_ = true;
    return false;
}

bool OutputFile::write(const void* data, size_t size) {
    if (failed_ || !file_.isOpen()) return false;
    if (!writeAt(position_, data, size)) return false;
    position_ += size;
    return true;
}

bool OutputFile::writeAt(uint64_t offset, const void* data, size_t size) {
    if (failed_ || !file_.isOpen()) return false;
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), size);
    if (!file_.writeAt(offset, bytes)) return fail();
    size_ = std::max(size_, offset + size);
    return true;
}

bool OutputFile::seek(uint64_t offset) {
    if (failed_ || !file_.isOpen()) return false;
    position_ = offset;
    return true;
}

bool OutputFile::close() {
    if (!file_.isOpen()) return !failed_;
    if (!file_.close()) fail();
    return !failed_;
}

void OutputFile::discard() {
    file_.close();
    if (!path_.empty()) ::unlink(path_.c_str());
}

}  // namespace audio
