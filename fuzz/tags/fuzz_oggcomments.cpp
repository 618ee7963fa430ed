// Both Ogg readers on any bytes: the comment editor (open, parse the
// comments, write the stream again to nowhere) and the reader that walks the
// pages itself. Where both read a stream of whole, intact pages they must
// find the same comments; the reader does not check page checksums, so on a
// damaged page the two may read different bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include "tags/ogg/oggtag.h"
#include "tags/ogg/vorbiscommenteditor.h"
#include "tags/ogg/vorbiscommentreader.h"

// True when the bytes are pages with right checksums, one after another
// (a page cut short at the end aside).
static bool intactPages(const uint8_t* data, size_t size) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(size));
    std::copy_n(data, size, buffer);
    ogg_sync_wrote(&sync, static_cast<long>(size));
    ogg_page page;
    long r;
    while ((r = ogg_sync_pageseek(&sync, &page)) > 0) {
    }
    ogg_sync_clear(&sync);
    return r == 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VorbisCommentEditor editor;
    size_t at = 0;
    const bool edited = editor.open([&](std::span<uint8_t> out) -> long {
        const size_t n = std::min(out.size(), size - at);
        std::copy_n(data + at, n, out.begin());
        at += n;
        return static_cast<long>(n);
    }) == 0;
    std::vector<std::string> fromEditor;
    if (edited) {
        const vorbis_comment& vc = *editor.comments();
        for (int i = 0; i < vc.comments; ++i) fromEditor.emplace_back(vc.user_comments[i], vc.comment_lengths[i]);
        ParseOggComments(vc, 1);
        AddOggComment("TITLE=x", *editor.comments());
        editor.write([](std::span<const uint8_t>) { return true; });
    }

    const tags::MemorySource source(tags::ByteSpan(data, size));
    std::vector<std::string> all, some;
    std::string error;
    const bool read = tags::ReadVorbisComments(source, [](std::string_view) { return true; }, &all, &error);
    tags::ReadVorbisComments(source, [](std::string_view head) { return head.size() % 2 == 0; }, &some, &error);
    if (edited && read && all != fromEditor && intactPages(data, size)) __builtin_trap();
    return 0;
}
