#include "pls.h"

#include <cstdint>
#include <map>
#include <optional>

#include "library/playlists/playlisttext.h"
#include "library/playlists/savename.h"
#include "tags/textcodec.h"

namespace {

struct PlsEntry {
    std::optional<std::string> file;
    std::optional<std::string> title;
    std::optional<std::string> length;
};

enum class PlsKey { File, Title, Length };

// Splits "File12" into its kind and number; false for any other key. The
// number is kept as a map key, never as a size, so "File2000000000" costs
// one entry.
bool parseEntryKey(std::string_view key, PlsKey* kind, uint64_t* number) {
    std::string_view digits;
    if (StartsWithNoCase(key, "File")) {
        *kind = PlsKey::File;
        digits = key.substr(4);
    } else if (StartsWithNoCase(key, "Title")) {
        *kind = PlsKey::Title;
        digits = key.substr(5);
    } else if (StartsWithNoCase(key, "Length")) {
        *kind = PlsKey::Length;
        digits = key.substr(6);
    } else {
        return false;
    }
    if (digits.empty() || digits.size() > 18) return false;
    uint64_t n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    *number = n;
    return true;
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool isKnownOtherKey(std::string_view key) {
    for (std::string_view known : {"PlaylistName", "NumberOfEntries", "Version"})
        if (tags::EqualsIgnoringAsciiCase(key, known)) return true;
    return false;
}

}  // namespace

std::string RenderPls(const std::vector<PlaylistRow>& rows, std::string_view chosenFileName) {
    std::string out = "[playlist]\r\n";
    out += "PlaylistName=" + OneLineName(PlsPlaylistName(chosenFileName)) + "\r\n";
    size_t n = 0;
    for (const auto& row : rows) {
        const std::string number = std::to_string(++n);
        out += "File" + number + "=" + row.path + "\r\n";
        out += "Title" + number + "=" + OneLineName(row.name) + "\r\n";
        out += "Length" + number + "=" + std::to_string(LengthInSeconds(row.time)) + "\r\n";
    }
    out += "NumberOfEntries=" + std::to_string(rows.size()) + "\r\n";
    out += "Version=2\r\n";
    return out;
}

PlaylistReadResult ParsePls(std::string_view bytes, std::string_view playlistFolder) {
    PlaylistReadResult result;
    std::map<uint64_t, PlsEntry> entries;
    const int overlong = ForEachPlaylistLine(bytes, [&](std::string_view line) {
        if (IsBlankLine(line)) return;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            if (!trimBlanks(line).starts_with('[')) ++result.skipped;
            return;
        }
        const std::string_view key = trimBlanks(line.substr(0, equals));
        const std::string value(line.substr(equals + 1));
        PlsKey kind;
        uint64_t number;
        if (!parseEntryKey(key, &kind, &number)) {
            if (!isKnownOtherKey(key)) ++result.skipped;
            return;
        }
        PlsEntry& entry = entries[number];
        switch (kind) {
        case PlsKey::File: entry.file = value; break;
        case PlsKey::Title: entry.title = value; break;
        case PlsKey::Length: entry.length = value; break;
        }
    });
    result.skipped += overlong;
    for (auto& [number, pls] : entries) {
        if (!pls.file || IsBlankLine(*pls.file)) {
            ++result.skipped;
            continue;
        }
        if (RefuseEntryWithNul(*pls.file, result)) continue;
        PlaylistEntry entry;
        entry.path = ResolveEntryPath(playlistFolder, *pls.file);
        entry.title = std::move(pls.title);
        if (pls.length) entry.lengthSeconds = ParseLengthSeconds(*pls.length);
        result.entries.push_back(std::move(entry));
    }
    return result;
}

AtomicWriteResult WritePlsPlaylist(const std::string& fileName, const std::vector<PlaylistRow>& rows,
                                   std::string_view chosenFileName) {
    if (const PlaylistRow* bad = FindPathWithLineBreak(rows))
        return {false, "A path holds a line break and cannot be written to " + fileName + ": " + OneLineName(bad->path)};
    return WriteFileAtomically(fileName, RenderPls(rows, chosenFileName));
}

PlaylistReadResult ReadPlsPlaylist(const std::string& fileName) {
    std::string bytes;
    PlaylistReadResult result = ReadPlaylistBytes(fileName, &bytes);
    if (!result.ok) return result;
    return ParsePls(bytes, PlaylistFolderOf(fileName));
}
