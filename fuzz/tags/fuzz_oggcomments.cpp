// The Vorbis comment editor on any bytes: open, parse the comments, and write
// the stream again to nowhere.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "tags/ogg/vorbiscommenteditor.h"
#include "tags/ogg/oggtag.h"

static void openAndUse(const uint8_t* data, size_t size, VorbisCommentEditor::Mode mode) {
    VorbisCommentEditor editor;
    size_t at = 0;
    const int rc = editor.open(
        [&](std::span<uint8_t> out) -> long {
            const size_t n = std::min(out.size(), size - at);
            std::copy_n(data + at, n, out.begin());
            at += n;
            return static_cast<long>(n);
        },
        mode);
    if (rc == 0) {
        ParseOggComments(*editor.comments(), 1);
        AddOggComment("TITLE=x", *editor.comments());
        editor.write([](std::span<const uint8_t>) { return true; });
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    openAndUse(data, size, VorbisCommentEditor::ForWriting);
    openAndUse(data, size, VorbisCommentEditor::ForReading);
    return 0;
}
