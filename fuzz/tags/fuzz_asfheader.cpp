// Both WMA readers on any bytes: the ASF 1.0 header parser (and a render of
// what it read) and the walk of the old header format. The reader's view,
// which skips what it does not want, must fail where the parser fails and
// find the same attributes where it does not.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tags/asf/asfattributes.h"
#include "tags/asf/wmatag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static constexpr std::string_view kNames[] = {"Title", "Author", "WM/Year", "WM/TrackNumber", "Description"};
    const tags::ByteSpan bytes(data, size);
    const auto header = tags::AsfHeader::Parse(bytes);
    if (header) {
        const tags::ByteVector rendered = header->Render(0);
        if (!tags::AsfHeader::Parse(rendered)) __builtin_trap();
    }
    tags::MemorySource source(bytes);
    const auto fields = tags::AsfHeader::ReadFields(source, kNames);
    if (header.has_value() != fields.has_value()) __builtin_trap();
    if (header) {
        for (int f = 0; f < tags::AsfHeader::kFieldCount; ++f)
            if (header->field(tags::AsfHeader::Field(f)) != fields->field(tags::AsfHeader::Field(f))) __builtin_trap();
        for (std::string_view name : kNames) {
            const tags::AsfDescriptor* a = header->find(name);
            const tags::AsfDescriptor* b = fields->find(name);
            if ((a == nullptr) != (b == nullptr)) __builtin_trap();
            if (a && (a->name != b->name || a->type != b->type || a->value != b->value)) __builtin_trap();
        }
    }
    ReadWmaHeaderRecords(source);
    return 0;
}
