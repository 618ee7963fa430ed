#include "library/treetext.h"

#include <cstdio>
#include <cstring>

#include "platform/posixfile.h"

namespace {

constexpr const char* kLetters[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                    "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};

std::vector<FixedNode> makeFixedNodes() {
    std::vector<FixedNode> nodes{{"Title", 0}, {"Alphabetic", 1}};
    for (const char* letter : kLetters) nodes.push_back({letter, 2});
    nodes.insert(nodes.end(), {{"Extra", 2}, {"All Title", 1}, {"My Artist", 0}, {"My Habit", 0},
                               {"My Playlist", 0}, {"My Album", 0}});
    return nodes;
}

struct Line {
    int level;
    std::string text;
};

// A text the tree keeps as it is: no TAB, CR or LF, no leading blank.
// A plain loop: find_first_of looks each byte up in the set by a call.
bool isClean(std::string_view text) {
    if (!text.empty() && text.front() == ' ') return false;
    for (const char c : text)
        if (c == '\t' || c == '\r' || c == '\n') return false;
    return true;
}

// The lines' levels and cleaned texts, blank ones left out. *canonical:
// every line ends in CR LF and holds its text as the tree keeps it.
std::vector<Line> splitLines(std::string_view bytes, bool* canonical) {
    std::vector<Line> lines;
    lines.reserve(bytes.size() / 16);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        std::string_view line = bytes.substr(pos, end - pos);
        const bool crlf = bytes.substr(end, 2) == "\r\n";
        pos = end + (crlf ? 2 : 1);
        int level = 0;
        while (static_cast<std::size_t>(level) < line.size() && line[level] == '\t') ++level;
        const std::string_view raw = line.substr(static_cast<std::size_t>(level));
        const bool clean = !raw.empty() && isClean(raw);
        if (!crlf || !clean) *canonical = false;
        std::string text = clean ? std::string(raw) : CleanNodeText(raw);
        if (!text.empty()) lines.push_back({level, std::move(text)});
    }
    return lines;
}

template <typename Content>
auto leavesOf(Content& content, std::string_view root) -> decltype(&content.artists) {
    if (root == "My Artist") return &content.artists;
    if (root == "My Playlist") return &content.playlists;
    if (root == "My Album") return &content.albums;
    return nullptr;
}

// True when the nodes are exactly the fixed skeleton with leaves under the
// three variable roots; with content, those leaves are moved into it.
bool matchesSkeleton(std::vector<Line>& nodes, LibraryTreeContent* content) {
    std::size_t i = 0;
    for (const FixedNode& fixed : kFixedTreeNodes) {
        if (i >= nodes.size() || nodes[i].level != fixed.level || nodes[i].text != fixed.text) return false;
        ++i;
        if (std::string_view(fixed.text) == "My Artist" || std::string_view(fixed.text) == "My Playlist" ||
            std::string_view(fixed.text) == "My Album") {
            std::size_t last = i;
            while (last < nodes.size() && nodes[last].level == 1) ++last;
            if (content) {
                std::vector<std::string>* leaves = leavesOf(*content, fixed.text);
                leaves->reserve(last - i);
                for (std::size_t k = i; k < last; ++k) leaves->push_back(std::move(nodes[k].text));
            }
            i = last;
        }
    }
    return i == nodes.size();
}

}  // namespace

const std::vector<FixedNode> kFixedTreeNodes = makeFixedNodes();

std::string CleanNodeText(std::string_view text) {
    if (isClean(text)) return std::string(text);
    std::string out(text);
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    const std::size_t first = out.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : out.substr(first);
}

TreeTextLoad ParseTreeText(std::string_view bytes) {
    TreeTextLoad load;
    bool canonical = true;
    std::vector<Line> nodes = splitLines(bytes, &canonical);
    // Levels as the tree would take them: a root first, then at most one
    // level deeper than the node before.
    int previous = -1;
    for (Line& node : nodes) {
        if (node.level > previous + 1) {
            if (previous >= 0 && load.levelError.empty()) {
                char buffer[64];
                std::snprintf(buffer, sizeof buffer, "%d", node.level);
                load.levelError = "Invalid level (" + std::string(buffer) + ") for item \"" + node.text + "\"";
            }
            node.level = previous + 1;
            canonical = false;
        }
        previous = node.level;
    }
    if (nodes.empty()) return load;
    if (load.levelError.empty() && matchesSkeleton(nodes, nullptr)) {
        matchesSkeleton(nodes, &load.content);
        load.canonical = canonical;
        return load;
    }

    load.repaired = true;
    load.content = {};
    std::vector<std::string>* leaves = nullptr;
    for (const Line& node : nodes) {
        if (node.level == 0) leaves = leavesOf(load.content, node.text);
        else if (node.level == 1 && leaves) leaves->push_back(node.text);
    }
    return load;
}

bool ReadTreeTextFile(const std::string& path, TreeTextLoad* load, bool leavesWanted) {
    auto bytes = std::make_shared<std::string>();
    if (!ReadRegularFile(path, kMaxTreeFileBytes, bytes.get())) return false;
    if (leavesWanted && bytes->size() < (std::uint64_t{1} << 32)) {
        if (std::optional<TreeTextLeaves> leaves = IndexCanonicalTreeText(bytes)) {
            *load = TreeTextLoad{};
            load->canonical = true;
            load->leaves = std::move(leaves);
            return true;
        }
    }
    *load = ParseTreeText(*bytes);
    return true;
}

std::optional<TreeTextLeaves> IndexCanonicalTreeText(std::shared_ptr<const std::string> bytes) {
    const std::string_view text(*bytes);
    TreeTextLeaves leaves;
    std::size_t pos = 0;
    // The next line, without its CR LF; false when none ends so.
    auto nextLine = [&](std::string_view* line) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        if (text.substr(end, 2) != "\r\n") return false;
        *line = text.substr(pos, end - pos);
        pos = end + 2;
        return true;
    };
    for (const FixedNode& fixed : kFixedTreeNodes) {
        std::string_view line;
        if (!nextLine(&line) || line.size() != static_cast<std::size_t>(fixed.level) + std::strlen(fixed.text) ||
            line.find_first_not_of('\t') != static_cast<std::size_t>(fixed.level) ||
            line.substr(static_cast<std::size_t>(fixed.level)) != fixed.text)
            return std::nullopt;
        std::vector<TreeTextLeaves::Span>* spans = leavesOf(leaves, fixed.text);
        if (!spans) continue;
        // Its leaves: one TAB, then a text the tree keeps as it is.
        while (pos < text.size() && text[pos] == '\t') {
            const std::size_t start = pos;
            if (!nextLine(&line)) return std::nullopt;
            const std::string_view leaf = line.substr(1);
            if (leaf.empty() || !isClean(leaf)) return std::nullopt;
            spans->push_back({static_cast<std::uint32_t>(start + 1), static_cast<std::uint32_t>(leaf.size())});
        }
    }
    if (pos != text.size()) return std::nullopt;
    leaves.bytes = std::move(bytes);
    return leaves;
}

std::string FormatTreeText(const LibraryTreeContent& content) {
    std::string out;
    auto line = [&out](int level, std::string_view text) {
        out.append(static_cast<std::size_t>(level), '\t');
        if (isClean(text)) out += text;
        else out += CleanNodeText(text);
        out += "\r\n";
    };
    for (const FixedNode& fixed : kFixedTreeNodes) {
        line(fixed.level, fixed.text);
        if (const std::vector<std::string>* leaves = leavesOf(content, fixed.text))
            for (const std::string& leaf : *leaves) line(1, leaf);
    }
    return out;
}
