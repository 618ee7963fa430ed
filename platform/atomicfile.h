#pragma once
// Every writer that changes a file's length goes through here: the new
// content goes to a temporary file beside the original, is flushed to disk,
// takes the original's mode, and is renamed over it. The original is intact
// on any failure, and a failure is always reported.

#include <functional>
#include <string>
#include <string_view>

class PosixFile;

struct AtomicWriteResult {
    bool ok = false;
    std::string error;  // what failed, for messages and logs; empty when ok
    explicit operator bool() const { return ok; }
};

// producer writes the whole new content to the temporary file (positioned at
// 0) and returns false to abandon the replacement; it may set *error.
// A symlink is followed: its target is replaced and the link stays; a link
// whose file does not exist yet gets that file. A missing original is
// created (mode 0644 less the umask). The temporary file's name is kept
// within the folder's name limit, so a file with a name near it can still
// be replaced.
AtomicWriteResult RewriteFileAtomically(const std::string& path,
                                        const std::function<bool(PosixFile& out, std::string* error)>& producer);

// Convenience for content held in memory.
AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view content);
