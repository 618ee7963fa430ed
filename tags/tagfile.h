#pragma once
// How the tag writers change a file. A writer either leaves the file as it
// was or writes it completely; ok is false (and error says why) in the first
// case. A file's permissions are never changed, not even for the time of a
// write: a process killed in the middle must not leave a read-only file
// writable.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/atomicfile.h"

using TagWriteResult = AtomicWriteResult;

namespace tags {

// Puts bytes at offset (at most the file's size) of an existing regular
// file; bytes that reach past its end extend it. The write is made in place
// when the file's owner may write it. A file without the owner's write bit
// is rewritten through the atomic replacement instead, which keeps its mode.
// Never creates the file.
TagWriteResult WriteFileBytes(const std::string& path, uint64_t offset, std::span<const uint8_t> bytes);

// While one lives on a thread, the in-place writes of WriteFileBytes on that
// thread leave their flush to the disk to its sync(): two tags of one file
// written in turn then cost one flush. The atomic replacements still flush
// before their rename. sync() flushes every file written in place since the
// scope began and fails when one of them did not reach the disk; a scope
// left without it flushes them all the same.
class DeferredSync {
public:
    DeferredSync();
    ~DeferredSync();
    DeferredSync(const DeferredSync&) = delete;
    DeferredSync& operator=(const DeferredSync&) = delete;
    TagWriteResult sync();
    // The scope of this thread, if any.
    static DeferredSync* current();
    void add(const std::string& path);

private:
    DeferredSync* outer_;
    std::vector<std::string> paths_;
};

// Rewrites the file atomically as newHead followed by the file's bytes from
// oldHeadSize on: the way a tag at the start of a file grows or shrinks
// without the audio after it being touched.
TagWriteResult ReplaceFileHead(const std::string& path, std::span<const uint8_t> newHead, uint64_t oldHeadSize);

// "<what> <path>: <strerror(errno)>"
std::string ErrnoMessage(const std::string& what, const std::string& path);

}  // namespace tags
