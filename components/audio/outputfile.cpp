#include "components/audio/outputfile.h"

#include <algorithm>
#include <cerrno>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace audio {

bool OutputFile::create(const std::string& path) {
    file_.discard();
    path_ = path;
    position_ = size_ = 0;
    failed_ = false;
    // The destination is replaced by a rename, which the folder allows even
    // where the file itself is read-only: such a file is refused, as opening
    // it for writing would be. A symbolic link there is replaced itself
    // (whatever it names stays as it is), so an output never lands outside
    // its folder.
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && !S_ISLNK(status.st_mode) && ::access(path.c_str(), W_OK) != 0) {
        failed_ = true;
        return false;
    }
    std::string error;
    if (!(visiblePart_ ? file_.beginVisible(path, &error) : file_.begin(path, &error, ReplacementFile::Link::Replace))) {
        failed_ = true;
        return false;
    }
    return true;
}

bool OutputFile::fail() {
    // A write cut short leaves part of it behind; what is kept ends where
    // the last whole write ended.
    if (!failed_ && keepIncomplete_) file_.file().truncate(size_);
    failed_ = true;
    return false;
}

bool OutputFile::write(const void* data, size_t size) {
    if (!isOpen()) return false;
    if (!writeAt(position_, data, size)) return false;
    position_ += size;
    return true;
}

bool OutputFile::writeAt(uint64_t offset, const void* data, size_t size) {
    if (!isOpen()) return false;
    if (failed_ && !(keepIncomplete_ && offset + size <= size_)) return false;
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), size);
    if (!file_.file().writeAt(offset, bytes)) return fail();
    size_ = std::max(size_, offset + size);
    return true;
}

bool OutputFile::seek(uint64_t offset) {
    if (!isOpen()) return false;
    // A kept output is still completed in place: its muxer goes back to
    // the header to write the counts and the duration.
    if (failed_ && !(keepIncomplete_ && offset <= size_)) return false;
    position_ = offset;
    return true;
}

bool OutputFile::readAt(uint64_t offset, void* data, size_t size) {
    if (!isOpen() || offset + size > size_) return false;
    return file_.file().readAll(offset, {static_cast<uint8_t*>(data), size});
}

bool OutputFile::cutTo(uint64_t size) {
    if (!isOpen() || !failed_ || !keepIncomplete_ || size > size_) return false;
    if (!file_.file().truncate(size)) return false;
    size_ = size;
    position_ = std::min(position_, size_);
    return true;
}

bool OutputFile::appendOptional(const void* data, size_t size) {
    if (!isOpen() || failed_) return false;
    const uint64_t before = size_;
    if (!file_.file().writeAt(before, {static_cast<const uint8_t*>(data), size})) {
        file_.file().truncate(before);
        return false;
    }
    size_ = before + size;
    position_ = size_;
    return true;
}

bool OutputFile::close() {
    if (!isOpen()) return !failed_;
    if (failed_ && !keepIncomplete_) {
        file_.discard();
        return false;
    }
    std::string error;
    if (!file_.commit(&error, 0644)) fail();
    return !failed_;
}

void OutputFile::discard() { file_.discard(); }

}  // namespace audio
