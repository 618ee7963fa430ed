#include "tags/tagfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

#include "platform/posixfile.h"
#include "tags/bytes.h"

namespace tags {
namespace {

// Copies the bytes [from, to) of in to out.
bool copyRange(const FileSource& in, uint64_t from, uint64_t to, PosixFile& out, const std::string& path,
               std::string* error) {
    std::vector<uint8_t> buffer(std::min<uint64_t>(1 << 20, std::max<uint64_t>(to - std::min(from, to), 1)));
    for (uint64_t at = from; at < to;) {
        const size_t n = in.readAt(at, std::span<uint8_t>(buffer).first(std::min<uint64_t>(buffer.size(), to - at)));
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
}

// The file as it is with [offset, offset + replaced) taken out and bytes put
// in its place, written through the atomic replacement.
TagWriteResult rewriteWith(const std::string& path, uint64_t offset, uint64_t replaced,
                           std::span<const uint8_t> bytes) {
    FileSource in(path);
    if (!in.ok()) return {false, "Cannot open " + path + ": " + in.error()};
    const uint64_t size = in.size();
    return RewriteFileAtomically(path, [&](PosixFile& out, std::string* error) {
        if (!copyRange(in, 0, std::min(offset, size), out, path, error)) return false;
        if (!out.write(bytes)) {
            *error = ErrnoMessage("Cannot write", path);
            return false;
        }
        return copyRange(in, std::min(offset + replaced, size), size, out, path, error);
    });
}

}  // namespace

namespace {
thread_local DeferredSync* currentScope = nullptr;
}  // namespace

DeferredSync::DeferredSync() : outer_(currentScope) { currentScope = this; }

DeferredSync::~DeferredSync() {
    sync();
    currentScope = outer_;
}

DeferredSync* DeferredSync::current() { return currentScope; }

void DeferredSync::add(const std::string& path) {
    if (std::find(paths_.begin(), paths_.end(), path) == paths_.end()) paths_.push_back(path);
}

TagWriteResult DeferredSync::sync() {
    TagWriteResult result{true, {}};
    for (const std::string& path : paths_) {
        // A flush through any descriptor of the file takes all its pages.
        PosixFile file(path, O_RDONLY);
        if (result && (!file.isOpen() || !file.sync())) result = {false, ErrnoMessage("Cannot write", path)};
    }
    paths_.clear();
    return result;
}

std::string ErrnoMessage(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

TagWriteResult ReplaceFileHead(const std::string& path, std::span<const uint8_t> newHead, uint64_t oldHeadSize) {
    return rewriteWith(path, 0, oldHeadSize, newHead);
}

TagWriteResult WriteFileBytes(const std::string& path, uint64_t offset, std::span<const uint8_t> bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {false, ErrnoMessage("Cannot open", path)};
    if (!S_ISREG(st.st_mode)) return {false, "Cannot open " + path + ": not a regular file"};
    if (!(st.st_mode & S_IWUSR)) return rewriteWith(path, offset, bytes.size(), bytes);

    PosixFile file(path, O_RDWR);
    if (!file.isOpen()) {
        errno = file.openError();
        return {false, ErrnoMessage("Cannot open", path)};
    }
    uint64_t size = 0;
    if (!file.size(&size)) return {false, ErrnoMessage("Cannot read", path)};
    // Only the bytes that differ from the file's are written: a tag saved
    // with one field changed then dirties, and flushes, a page or two of it
    // rather than all of a large tag with its pictures.
    std::span<const uint8_t> changed = bytes;
    uint64_t at = offset;
    if (offset + bytes.size() <= size) {
        std::unique_ptr<uint8_t[]> held(new uint8_t[bytes.size()]);
        if (file.readAll(offset, std::span<uint8_t>(held.get(), bytes.size()))) {
            // Whole pages compared at a time, then bytes.
            constexpr std::size_t kStep = 4096;
            std::size_t first = 0, last = bytes.size();
            while (last - first >= kStep && std::memcmp(held.get() + first, bytes.data() + first, kStep) == 0)
                first += kStep;
            while (first < last && held[first] == bytes[first]) ++first;
            while (last - first >= kStep &&
                   std::memcmp(held.get() + last - kStep, bytes.data() + last - kStep, kStep) == 0)
                last -= kStep;
            while (last > first && held[last - 1] == bytes[last - 1]) --last;
            changed = bytes.subspan(first, last - first);
            at = offset + first;
        }
    }
    DeferredSync* deferred = DeferredSync::current();
    if ((!changed.empty() && !file.writeAt(at, changed)) || (!deferred && !file.sync())) {
        TagWriteResult failed{false, ErrnoMessage("Cannot write", path)};
        // An append that failed half way takes its bytes back.
        if (offset + bytes.size() > size) file.truncate(size);
        return failed;
    }
    if (!file.close()) return {false, ErrnoMessage("Cannot close", path)};
    if (deferred) deferred->add(path);
    return {true, {}};
}

}  // namespace tags
