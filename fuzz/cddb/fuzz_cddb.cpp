// Feeds any bytes to the CD database's answer parsers. Besides not
// crashing, every text that comes out must be what the client promises:
// valid UTF-8, no control characters, bounded, one title per track; and a
// match names only a known category and an eight-hex-digit id.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "components/disc/cddbtext.h"
#include "platform/utf8.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void checkText(const std::string& text) {
    check(IsValidUtf8(text));
    for (unsigned char c : text) check(c >= 0x20 && c != 0x7f);
    check(text.size() <= CddbTextLimit * 4);
    check(text.empty() || (text.front() != ' ' && text.back() != ' '));
}

void checkRecord(const CddbRecord& record, int tracks) {
    checkText(record.artist);
    checkText(record.album);
    checkText(record.genre);
    check(static_cast<int>(record.titles.size()) == tracks);
    for (const auto& t : record.titles) checkText(t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int tracks = size > 0 ? data[0] % 100 : 0;

    const CddbQueryAnswer answer = ParseCddbQueryAnswer(bytes);
    for (const auto& m : answer.matches) {
        check(IsCddbCategory(m.category));
        check(IsCddbDiscId(m.discId));
        checkText(m.title);
    }
    std::string xmcd;
    if (auto record = ParseCddbReadAnswer(bytes, "rock", tracks, &xmcd)) {
        checkRecord(*record, tracks);
        // What the cache keeps reads back to the same record.
        const CddbRecord again = ParseXmcd(xmcd, "rock", tracks);
        check(again.artist == record->artist && again.album == record->album && again.titles == record->titles);
    }
    checkRecord(ParseXmcd(bytes, "misc", tracks), tracks);
    checkText(CleanCddbText(DecodeCddbEscapes(bytes)));
    return 0;
}
