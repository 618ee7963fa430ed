#pragma once
// Looks over the file system of an ISO 9660 session before the disc library
// reads it. The library walks a directory tree as the records lead it, and a
// damaged image whose folder leads back into its own tree (or whose Rock
// Ridge continuation or relocation does) makes it walk without end. This
// walk sees every folder once: a folder reached a second time, a record
// that leaves its block or the image, or more entries than any disc holds
// end it with the reason.
//
// It reads only what the reader hands it, block by block, and never
// allocates more than the tree it has seen, so it is safe on any bytes.

#include <cstdint>
#include <functional>
#include <string>

namespace isosession {

constexpr int BlockBytes = 2048;

// Fills out with the 2048 bytes of block lba; false when the block is not
// in the image or cannot be read.
using BlockReader = std::function<bool(uint32_t lba, uint8_t* out)>;

struct Check {
    bool ok = false;
    std::string problem;  // why not, for the user
    int folders = 0;      // counted over every tree of the session
    int entries = 0;
};

// Checks the session whose volume descriptors start at block
// sessionStart + 16 of an image of imageBlocks blocks: the primary tree and
// every supplementary (Joliet) tree, with their Rock Ridge entries.
Check CheckSession(uint32_t sessionStart, uint64_t imageBlocks, const BlockReader& read);

// The same for the image file at path, from its first block (where an image
// file keeps the descriptors of its newest session).
Check CheckImageFile(const std::string& path);

}  // namespace isosession
