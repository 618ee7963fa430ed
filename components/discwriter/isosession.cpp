#include "components/discwriter/isosession.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace isosession {

namespace {

// Far beyond any disc: a CD of 2 KiB files holds some 360,000.
constexpr int kMaxEntries = 4 * 1000 * 1000;
constexpr int kMaxDepth = 1000;
constexpr int kMaxContinuations = 64;  // per directory record
constexpr int kMaxDescriptors = 64;

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

struct Walker {
    uint64_t imageBlocks;
    const BlockReader& read;
    Check result;
    std::unordered_set<uint32_t> folders;  // extents of every folder seen, over all trees
    std::vector<uint8_t> block = std::vector<uint8_t>(BlockBytes);
    int suspSkip = 0;  // bytes before the first SUSP entry, from the root's SP entry

    bool fail(const std::string& why)
    {
        result.ok = false;
        result.problem = why;
        return false;
    }

    bool inImage(uint64_t lba, uint64_t bytes) const
    {
        const uint64_t blocks = (bytes + BlockBytes - 1) / BlockBytes;
        return lba < imageBlocks && blocks <= imageBlocks - lba;
    }

    // Follows the SUSP entries of one directory record's system use area;
    // relocated folders (CL) join the walk as children.
    bool walkSusp(const uint8_t* area, size_t size, std::vector<std::pair<uint32_t, uint32_t>>* relocated, bool isDot,
                  bool* movedAway)
    {
        std::vector<uint8_t> continuation;
        for (int round = 0; round <= kMaxContinuations; ++round) {
            uint32_t ceBlock = 0, ceOffset = 0, ceLength = 0;
            bool hasCe = false;
            size_t at = 0;
            while (at + 4 <= size) {
                const uint8_t* e = area + at;
                const uint8_t length = e[2];
                if (length < 4 || at + length > size)
                    break;  // padding or the end; the library stops there too
                if (e[0] == 'S' && e[1] == 'T')
                    break;
                if (e[0] == 'C' && e[1] == 'E' && length >= 28) {
                    ceBlock = Le32(e + 4);
                    ceOffset = Le32(e + 12);
                    ceLength = Le32(e + 20);
                    hasCe = true;
                } else if (e[0] == 'C' && e[1] == 'L' && length >= 12) {
                    relocated->emplace_back(Le32(e + 4), 0);
                } else if (e[0] == 'R' && e[1] == 'E') {
                    *movedAway = true;
                } else if (e[0] == 'S' && e[1] == 'P' && length >= 7 && isDot && round == 0) {
                    suspSkip = e[6];
                }
                at += length;
            }
            if (!hasCe)
                return true;
            if (round == kMaxContinuations)
                return fail("its Rock Ridge entries continue without end");
            if (ceOffset >= BlockBytes || ceLength > BlockBytes - ceOffset || !inImage(ceBlock, BlockBytes))
                return fail("a Rock Ridge continuation lies outside the image");
            std::vector<uint8_t> next(BlockBytes);
            if (!read(ceBlock, next.data()))
                return fail("a block of its file system cannot be read");
            continuation.assign(next.begin() + ceOffset, next.begin() + ceOffset + ceLength);
            area = continuation.data();
            size = continuation.size();
        }
        return true;
    }

    // Walks one tree from its root record, depth first, without recursion.
    bool walkTree(const uint8_t* rootRecord, bool susp)
    {
        struct Folder {
            uint32_t extent, size;
            int depth;
        };
        std::vector<Folder> pending;
        const uint32_t rootExtent = Le32(rootRecord + 2), rootSize = Le32(rootRecord + 10);
        pending.push_back({rootExtent, rootSize, 0});
        suspSkip = 0;
        bool first = true;
        while (!pending.empty()) {
            const Folder folder = pending.back();
            pending.pop_back();
            if (!folders.insert(folder.extent).second)
                return fail("a folder leads back into its own tree");
            if (folder.depth > kMaxDepth)
                return fail("its folders are nested deeper than any disc holds");
            if (folder.size == 0 || !inImage(folder.extent, folder.size))
                return fail("a folder lies outside the image");
            ++result.folders;
            const uint32_t blocks = (folder.size + BlockBytes - 1) / BlockBytes;
            for (uint32_t b = 0; b < blocks; ++b) {
                if (!read(folder.extent + b, block.data()))
                    return fail("a block of its file system cannot be read");
                const uint32_t limit = std::min<uint32_t>(BlockBytes, folder.size - b * BlockBytes);
                uint32_t at = 0;
                while (at < limit) {
                    const uint8_t* r = block.data() + at;
                    const uint8_t length = r[0];
                    if (length == 0)
                        break;  // the rest of the block is padding
                    const uint8_t nameLength = length >= 33 ? r[32] : 0;
                    if (length < 34 || at + length > limit || 33u + nameLength > length)
                        return fail("a directory record is damaged");
                    at += length;
                    const bool self = nameLength == 1 && (r[33] == 0 || r[33] == 1);
                    if (++result.entries > kMaxEntries)
                        return fail("it lists more entries than any disc holds");
                    std::vector<std::pair<uint32_t, uint32_t>> relocated;
                    // A relocated folder is walked where its CL entry puts
                    // it, not where it is stored.
                    bool movedAway = false;
                    if (susp) {
                        size_t start = 33u + nameLength + ((nameLength % 2 == 0) ? 1 : 0);
                        const bool dot = first && self && r[33] == 0;
                        if (!dot)
                            start += size_t(suspSkip);
                        if (start < length && !walkSusp(r + start, length - start, &relocated, dot, &movedAway))
                            return false;
                    }
                    if (self) {
                        first = false;
                        continue;
                    }
                    for (const auto& moved : relocated) {
                        // The relocated folder's size is in its own "." record.
                        if (!inImage(moved.first, BlockBytes))
                            return fail("a relocated folder lies outside the image");
                        std::vector<uint8_t> dot(BlockBytes);
                        if (!read(moved.first, dot.data()))
                            return fail("a block of its file system cannot be read");
                        pending.push_back({moved.first, Le32(dot.data() + 10), folder.depth + 1});
                    }
                    if ((r[25] & 2) && relocated.empty() && !movedAway)
                        pending.push_back({Le32(r + 2), Le32(r + 10), folder.depth + 1});
                }
            }
        }
        return true;
    }
};

}  // namespace

Check CheckSession(uint32_t sessionStart, uint64_t imageBlocks, const BlockReader& read)
{
    Walker walker{imageBlocks, read, {}, {}};
    std::vector<uint8_t> descriptor(BlockBytes);
    bool primary = false;
    for (int i = 0; i < kMaxDescriptors; ++i) {
        const uint64_t lba = uint64_t(sessionStart) + 16 + uint64_t(i);
        if (lba >= imageBlocks || !read(uint32_t(lba), descriptor.data())) {
            walker.result.problem = "its volume descriptors cannot be read";
            return walker.result;
        }
        if (std::memcmp(descriptor.data() + 1, "CD001", 5) != 0) {
            walker.result.problem = "it holds no ISO 9660 file system";
            return walker.result;
        }
        const uint8_t type = descriptor[0];
        if (type == 255)
            break;
        if (type != 1 && type != 2)
            continue;
        if (descriptor[156] < 34) {
            walker.result.problem = "a volume descriptor is damaged";
            return walker.result;
        }
        // Rock Ridge lives in the primary tree; Joliet has none.
        std::vector<uint8_t> root(descriptor.begin() + 156, descriptor.begin() + 190);
        walker.folders.clear();
        if (!walker.walkTree(root.data(), type == 1))
            return walker.result;
        primary = primary || type == 1;
    }
    if (!primary) {
        walker.result.problem = "it has no primary volume descriptor";
        return walker.result;
    }
    walker.result.ok = true;
    return walker.result;
}

Check CheckImageFile(const std::string& path)
{
    Check result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        result.problem = "it cannot be read";
        return result;
    }
    const uint64_t blocks = uint64_t(st.st_size) / BlockBytes;
    result = CheckSession(0, blocks, [fd](uint32_t lba, uint8_t* out) {
        return ::pread(fd, out, BlockBytes, off_t(lba) * BlockBytes) == BlockBytes;
    });
    ::close(fd);
    return result;
}

}  // namespace isosession
