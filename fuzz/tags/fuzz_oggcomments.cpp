// Both Ogg readers on any bytes: the comment editor (open, parse the
// comments, write the stream again to nowhere) and the reader that walks the
// pages itself. Where both read a stream they must find the same comments.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include <vorbis/codec.h>

#include "tags/ogg/oggtag.h"
#include "tags/ogg/vorbiscommenteditor.h"
#include "tags/ogg/vorbiscommentreader.h"

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
    if (edited && read && all != fromEditor) __builtin_trap();
    return 0;
}
