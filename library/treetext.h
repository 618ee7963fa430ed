#pragma once
// The library tree's file "treetext.txt": one line per node in tree order,
// as many TABs as the node's level, the node's text, CR LF.
//
// The tree has a fixed skeleton (the roots, the letters, "All Title"); only
// the leaves under "My Artist", "My Playlist" and "My Album" vary, so that is
// all a tree file carries. Reading is tolerant: only TABs count as levels,
// blank lines are skipped, and a file whose skeleton is not the fixed one
// (hand-edited, cut short, written by something else) is repaired by keeping
// the leaves found under those three roots.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct LibraryTreeContent {
    std::vector<std::string> artists;
    std::vector<std::string> playlists;
    std::vector<std::string> albums;

    bool operator==(const LibraryTreeContent&) const = default;
};

// The leaves of a tree file as places in its bytes, for a file that holds
// exactly what FormatTreeText makes: a large tree is then read without a
// string per leaf, each text made only when the tree needs it.
struct TreeTextLeaves {
    struct Span {
        std::uint32_t offset = 0, size = 0;
    };
    std::shared_ptr<const std::string> bytes;
    std::vector<Span> artists, playlists, albums;

    std::string_view text(Span s) const { return std::string_view(*bytes).substr(s.offset, s.size); }
};

struct TreeTextLoad {
    LibraryTreeContent content;
    // The file was not the fixed skeleton with leaves: what it held beyond
    // the three roots' leaves was dropped.
    bool repaired = false;
    // "Invalid level (%d) for item "%s"" for the first line that went more
    // than one level deeper than the line before it; empty otherwise.
    std::string levelError;
    // The file is byte for byte what FormatTreeText makes of content: a
    // save of the content as loaded would change nothing.
    bool canonical = false;
    // Read with leaves wanted: a canonical file's leaves are here, and
    // content is left empty.
    std::optional<TreeTextLeaves> leaves;
};

TreeTextLoad ParseTreeText(std::string_view bytes);

// No tree a user builds comes near this; a larger file is not read.
inline constexpr std::uint64_t kMaxTreeFileBytes = 16u << 20;

// Reads and parses the tree file. False, *load untouched, when it cannot be
// read: missing, unreadable, not a regular file (a FIFO would block the
// start-up, a device would feed it without end) or larger than the limit.
// With leavesWanted, a canonical file is read into load->leaves.
bool ReadTreeTextFile(const std::string& path, TreeTextLoad* load, bool leavesWanted = false);

// The leaves of bytes when they are canonical, else nothing.
std::optional<TreeTextLeaves> IndexCanonicalTreeText(std::shared_ptr<const std::string> bytes);

std::string FormatTreeText(const LibraryTreeContent& content);

// A node text as the tree keeps it: TAB, CR and LF become blanks and leading
// blanks go, so that every text survives a save and a load unchanged. Artist
// and album texts of new records go through this too, so that a node always
// equals the texts of its records.
std::string CleanNodeText(std::string_view text);

// The fixed skeleton: the texts and levels of the 34 built-in nodes, in tree
// order, with the three variable roots in their places.
struct FixedNode {
    const char* text;
    int level;
};
extern const std::vector<FixedNode> kFixedTreeNodes;
