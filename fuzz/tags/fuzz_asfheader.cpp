// Both WMA readers on any bytes: the ASF 1.0 header parser (and a render of
// what it read) and the walk of the old header format.
#include <cstddef>
#include <cstdint>

#include "tags/asf/asfattributes.h"
#include "tags/asf/wmatag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const tags::ByteSpan bytes(data, size);
    if (auto header = tags::AsfHeader::Parse(bytes)) {
        header->find("WM/TrackNumber");
        const tags::ByteVector rendered = header->Render(0);
        if (!tags::AsfHeader::Parse(rendered)) __builtin_trap();
    }
    tags::MemorySource source(bytes);
    ReadWmaHeaderRecords(source);
    return 0;
}
