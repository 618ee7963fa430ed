// The ID3v2 reader on any bytes: parse, read the program's fields, and render
// what was read again (what a save would write). The field reader, which
// skips the frames the fields do not come from, must read the same fields
// as the whole parse.
#include <cstddef>
#include <cstdint>

#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kIds[] = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TDRC", "TCON"};
    const tags::ByteSpan bytes(data, size);
    const auto whole = tags::Id3v2Tag::Parse(bytes);
    if (whole) {
        auto again = tags::Id3v2Tag::Parse(whole->Render(10));
        if (!again || again->frames() != whole->frames()) __builtin_trap();
    }
    const tags::MemorySource source(bytes);
    const tags::Id3v2Tag fields = tags::Id3v2Tag::ReadFields(source);
    if (whole) {
        for (const char* id : kIds)
            if (fields.text(id) != whole->text(id)) __builtin_trap();
        if (fields.comment() != whole->comment()) __builtin_trap();
    } else if (!fields.frames().empty()) {
        __builtin_trap();
    }
    ID3v1Block::Parse(bytes).title();
    return 0;
}
