#include "playlistrow.h"

#include <climits>
#include <cstdint>
#include <cstdio>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Adds the digits at the front of text to *value; false when there are none
// or the value passes INT_MAX. *used is the count of digits taken.
bool takeDigits(std::string_view text, int64_t* value, size_t* used) {
    size_t i = 0;
    int64_t v = 0;
    while (i < text.size() && isDigit(text[i])) {
        v = v * 10 + (text[i] - '0');
        if (v > INT_MAX) return false;
        ++i;
    }
    *value = v;
    *used = i;
    return i > 0;
}

}  // namespace

std::vector<PlaylistRow> PlaylistReadResult::rows() const {
    std::vector<PlaylistRow> out;
    out.reserve(entries.size());
    for (const auto& entry : entries) out.push_back(RowFromEntry(entry));
    return out;
}

int LengthInSeconds(std::string_view timeText) {
    if (timeText.empty()) return -1;
    int64_t minutes = 0, seconds = 0;
    size_t used = 0;
    if (!takeDigits(timeText, &minutes, &used)) return -1;
    timeText.remove_prefix(used);
    if (timeText.empty() || timeText.front() != ':') return -1;
    timeText.remove_prefix(1);
    if (!takeDigits(timeText, &seconds, &used) || used != timeText.size()) return -1;
    const int64_t total = minutes * 60 + seconds;
    return total > INT_MAX ? -1 : static_cast<int>(total);
}

std::string TimeText(int seconds) {
    if (seconds < 0) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2d:%.2d", seconds / 60, seconds % 60);
    return buf;
}

std::optional<int> ParseLengthSeconds(std::string_view field) {
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) field.remove_prefix(1);
    bool negative = false;
    if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
        negative = field.front() == '-';
        field.remove_prefix(1);
    }
    int64_t value = 0;
    size_t used = 0;
    if (!takeDigits(field, &value, &used)) return std::nullopt;
    if (negative && value != 0) return std::nullopt;
    return static_cast<int>(value);
}

PlaylistRow RowFromEntry(const PlaylistEntry& entry) {
    PlaylistRow row;
    row.name = entry.title ? *entry.title : std::string(FileNamePart(entry.path));
    row.time = entry.lengthSeconds ? TimeText(*entry.lengthSeconds) : std::string();
    row.path = entry.path;
    return row;
}

std::string_view FileNamePart(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}
