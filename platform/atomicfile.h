#pragma once
// Every writer that changes a file's length goes through here: the new
// content goes to a temporary file beside the original, is flushed to disk,
// takes the original's mode, and is renamed over it. The original is intact
// on any failure, and a failure is always reported.
//
// A crash at any moment must not leave temporaries behind. Where the file
// system allows it the temporary has no name until the last step
// (O_TMPFILE), so a killed writer leaves nothing; elsewhere its name carries
// the writer's process id ("<name>.tmp-<pid>-XXXXXX"), and such a file whose
// process is gone is removed by the next replacement in its folder and by
// RemoveStaleTemporaries. The original's mode is never touched: the new
// content gets it before it takes the original's place.

#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

#include "platform/posixfile.h"

struct AtomicWriteResult {
    bool ok = false;
    std::string error;  // what failed, for messages and logs; empty when ok
    explicit operator bool() const { return ok; }
};

// One replacement under way. The audio outputs use it directly: they write
// for minutes, and a stopped or failed job must leave the destination as
// it was.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile();  // discards what was not committed
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // What a symbolic link at the path stands for.
    enum class Link {
        // The file it names: that file is replaced and the link stays; a
        // link whose file does not exist yet gets that file.
        Follow,
        // Itself: the link is replaced by the new file, so nothing is
        // written outside the path's own folder.
        Replace,
    };

    // Starts replacing path. False, with *error, when the folder cannot take
    // a new file or path names something other than a regular file (or a
    // link, as `link` says).
    bool begin(const std::string& path, std::string* error, Link link = Link::Follow);
    // The same, with the new content in a visible file "<path>.part" beside
    // the path (or "<path>.<n>.part" when that name is taken) until commit:
    // a crash leaves it there with what was written, for the user to keep.
    // A link at the path is replaced.
    bool beginVisible(const std::string& path, std::string* error);
    bool isOpen() const { return file_.isOpen(); }
    // The new content goes here, from position 0.
    PosixFile& file() { return file_; }
    const std::string& target() const { return target_; }

    // Puts the new content in the target's place: the original's mode and
    // (where allowed) owner, or newFileMode less the umask for a new file;
    // flushed to disk, then renamed over the target.
    bool commit(std::string* error, mode_t newFileMode = 0666);
    // Drops the new content; the target stays as it was.
    void discard();

private:
    // Sets the target; false when a file there cannot be replaced.
    bool aim(const std::string& path, Link link, std::string* error);
    bool originalStatus(struct stat& original) const;

    std::string target_;
    std::string folder_;
    std::string named_;  // the temporary's name, when it has one
    Link link_ = Link::Follow;
    PosixFile file_;
};

// producer writes the whole new content to the temporary file (positioned at
// 0) and returns false to abandon the replacement; it may set *error.
// A missing original is created (mode 0666 less the umask). The temporary
// file's name is kept within the folder's name limit, so a file with a name
// near it can still be replaced.
AtomicWriteResult RewriteFileAtomically(const std::string& path,
                                        const std::function<bool(PosixFile& out, std::string* error)>& producer);

// Convenience for content held in memory.
AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view content);

// Removes the temporaries of our own naming in folder whose process is gone.
void RemoveStaleTemporaries(const std::string& folder);
// The same for the program's own folders (settings, library, library
// playlists); called once at start, after the folders are made.
void RemoveStaleProgramTemporaries();

// Tests turn the unnamed temporaries off to run the named ones, which file
// systems without O_TMPFILE use.
void SetUnnamedTemporariesAllowed(bool allowed);
