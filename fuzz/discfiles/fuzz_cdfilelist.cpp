// Feeds any bytes to the CD file list reader. Besides not crashing, every
// path it takes must be one a line can carry, and what it takes must survive
// our writer unchanged: written and read again, the paths are the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "disc/cdfilelist.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto paths = ParseCdFileList(bytes);
    for (const auto& path : paths) {
        check(!path.empty() && path.size() <= CdFileListMaxLine);
        check(path.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    }
    check(ParseCdFileList(RenderCdFileList(paths)) == paths);
    CdFileListName(bytes.substr(0, 300));
    return 0;
}
