#pragma once
// The file an encoder writes. The audio goes to a temporary file beside the
// destination, and only a complete output takes the destination's place, at
// close: an existing file under that name stays intact while the output is
// written, and an output that failed or was dropped leaves nothing under the
// name. The temporary is made at once, so a folder that cannot be written
// is reported when the output is created. The first failure is remembered:
// once a write has failed the output is incomplete for good.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/atomicfile.h"

namespace audio {

class OutputFile {
public:
    // False when the folder cannot take the output, or path names a file we
    // may not write or something other than a regular file or a symbolic
    // link. A link is replaced by the output, not followed.
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

    // An output whose writes failed is normally dropped at close. With this
    // set it takes the destination's place all the same (close still reports
    // the failure): for a writer that finalises what it has, such as a
    // recording ended by a full disk. The output is then cut back to its
    // last whole write, and writes inside it (headers completed in place)
    // still succeed; nothing more is appended.
    void setKeepIncomplete(bool keep) { keepIncomplete_ = keep; }
    bool keepsIncomplete() const { return keepIncomplete_; }
    // The output is written in a visible file "<path>.part" beside the
    // destination instead of an unnamed one, and takes its name at close:
    // for a recording, which a crash must not lose. Set before create().
    void setVisiblePart(bool visible) { visiblePart_ = visible; }
    // Reads back what was written (a header to be completed); false beyond
    // the end.
    bool readAt(uint64_t offset, void* data, size_t size);
    // Cuts a kept output that lost a write back to size (to its last whole
    // packet); false for any other output.
    bool cutTo(uint64_t size);
    // Appends what the output can do without (a WAV's tags): when the write
    // fails the output is cut back to where it was and stays whole.
    bool appendOptional(const void* data, size_t size);

    // Closes and puts the output in the destination's place; false, and
    // nothing changed under the name, when an earlier write or the
    // replacement failed.
    bool close();
    // Closes and drops the output; the destination stays as it was.
    void discard();

private:
    bool fail();

    ReplacementFile file_;
    std::string path_;
    uint64_t position_ = 0;
    uint64_t size_ = 0;
    bool failed_ = false;
    bool keepIncomplete_ = false;
    bool visiblePart_ = false;
};

}  // namespace audio
