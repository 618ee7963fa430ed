// The ID3v2 reader on any bytes: parse, read the program's fields, and render
// what was read again (what a save would write).
#include <cstddef>
#include <cstdint>

#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const tags::ByteSpan bytes(data, size);
    if (auto tag = tags::Id3v2Tag::Parse(bytes)) {
        for (const char* id : {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON"}) tag->text(id);
        tag->comment();
        auto again = tags::Id3v2Tag::Parse(tag->Render(10));
        if (!again || again->frames() != tag->frames()) __builtin_trap();
    }
    ID3v1Block::Parse(bytes).title();
    return 0;
}
