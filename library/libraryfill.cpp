#include "library/libraryfill.h"

#include <algorithm>
#include <numeric>
#include <sys/stat.h>
#include <unordered_set>

#include "library/records/trackfile.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void appendMatching(const NodeFill& node, const std::string& musicDat, std::vector<ListRow>& rows) {
    ForEachTrackRecord(musicDat, [&](const TrackRecord& record, std::size_t) {
        if (NodeListsRecord(node, record)) rows.push_back({record, true});
        return true;
    });
}

}  // namespace

std::size_t ListRowsCapacity(std::size_t rows) { return 2 * rows; }

bool TitleBeginsWithLetter(std::string_view title, char letter) {
    return !title.empty() && upper(title.front()) == upper(letter);
}

bool TitleIsExtra(std::string_view title) { return title.empty() || !isAsciiLetter(title.front()); }

bool NodeListsRecord(const NodeFill& node, const TrackRecord& record) {
    switch (node.kind) {
    case NodeKind::Letter: return TitleBeginsWithLetter(record.Title, node.letter);
    case NodeKind::Extra: return TitleIsExtra(record.Title);
    case NodeKind::AllTitle: return true;
    case NodeKind::Artist: return record.Artist == node.text;
    case NodeKind::Album: return record.Album == node.text;
    default: return false;
    }
}

void FillRows(const NodeFill& node, const std::string& musicDat, const std::string& playlistFolder,
              std::vector<ListRow>& rows) {
    try {
        switch (node.kind) {
        case NodeKind::None: return;
        case NodeKind::AllTitle: {
            std::vector<TrackRecord> records = LoadTrackRecords(musicDat);
            rows.reserve(ListRowsCapacity(rows.size() + records.size()));
            for (TrackRecord& r : records) rows.push_back({std::move(r), true});
            return;
        }
        case NodeKind::MyHabit:
            for (TrackRecord& r : RankMostPlayed(LoadTrackRecords(musicDat))) rows.push_back({std::move(r), false});
            return;
        case NodeKind::Playlist: break;
        default: appendMatching(node, musicDat, rows); return;
        }
    } catch (const FileOpenError&) {
        // No library file yet lists nothing; the next add creates it.
        return;
    }
    const std::optional<std::string> file = PlaylistDataFileFor(playlistFolder, node.text);
    if (!file) return;
    ForEachTrackRecord(*file, [&rows](const TrackRecord& record, std::size_t) {
        rows.push_back({record, true});
        return true;
    });
}

std::vector<TrackRecord> RankMostPlayed(const std::vector<TrackRecord>& records, std::size_t limit) {
    std::vector<std::size_t> order(records.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&records](std::size_t a, std::size_t b) {
        return records[a].PlayCount > records[b].PlayCount;
    });
    std::vector<TrackRecord> ranked;
    std::unordered_set<std::string_view> listed;
    for (std::size_t i : order) {
        if (ranked.size() >= limit) break;
        if (!listed.insert(records[i].Path).second) continue;
        ranked.push_back(records[i]);
    }
    return ranked;
}

std::optional<std::string> PlaylistDataFileFor(const std::string& playlistFolder, std::string_view nodeText) {
    if (nodeText.empty() || nodeText == "." || nodeText == ".." ||
        nodeText.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
        return std::nullopt;
    std::string file = JoinPath(playlistFolder, std::string(nodeText) + ".dat");
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return file;
}

int CompareListKeys(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(upper(a[i]));
        const auto y = static_cast<unsigned char>(upper(b[i]));
        if (x != y) return int(x) - int(y);
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

std::string FoldListKey(std::string key) {
    for (char& c : key) c = upper(c);
    return key;
}
