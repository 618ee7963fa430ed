// Feeds any bytes to both playlist readers. Besides not crashing, whatever a
// reader makes of a file must survive our writer: written and read again, the
// rows are the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "library/playlists/m3u.h"
#include "library/playlists/playlistformat.h"
#include "library/playlists/pls.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    SniffPlaylistFormat(bytes, PlaylistFormat::M3u);

    const auto m3u = ParseM3u(bytes, "/lists").rows();
    const auto pls = ParsePls(bytes, "/lists").rows();
    for (const auto& row : m3u) LengthInSeconds(row.time);

    // Over-long lines are dropped by design; a re-rendered line may grow a
    // little, so the property holds for inputs well below that limit.
    if (size > 32 * 1024) return 0;
    const auto m3uAgain = ParseM3u(bytes, "").rows();
    check(ParseM3u(RenderM3u(m3uAgain), "").rows() == m3uAgain);
    check(ParsePls(RenderPls(m3uAgain, "x"), "").rows() == m3uAgain);
    const auto plsAgain = ParsePls(bytes, "").rows();
    check(ParsePls(RenderPls(plsAgain, "x"), "").rows() == plsAgain);
    return 0;
}
