// Feeds any bytes to the look over an ISO image's file system that runs in
// the program before an append. The bytes are the image from block 16 on
// (the sixteen blocks before the volume descriptors read as zeros, which
// keeps the seeds small). Besides not crashing and not running away, the
// walk must end with an answer, and a refusal must say why.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "components/discwriter/isosession.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr uint64_t kSkipped = 16;
    const uint64_t blocks = kSkipped + (size + isosession::BlockBytes - 1) / isosession::BlockBytes;
    uint64_t reads = 0;
    const auto read = [&](uint32_t lba, uint8_t* out) {
        ++reads;
        std::memset(out, 0, isosession::BlockBytes);
        if (lba >= blocks)
            return false;
        if (lba < kSkipped)
            return true;
        const uint64_t at = (lba - kSkipped) * isosession::BlockBytes;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(isosession::BlockBytes, size - at));
        std::memcpy(out, data + at, n);
        return true;
    };
    const isosession::Check result = isosession::CheckSession(0, blocks, read);
    check(result.ok == result.problem.empty());
    check(result.entries >= 0 && result.folders >= 0);
    return 0;
}
