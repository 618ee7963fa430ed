#include "m3u.h"

#include <optional>

#include "library/playlists/playlisttext.h"

std::string RenderM3u(const std::vector<PlaylistRow>& rows) {
    std::string out = "#EXTM3U\r\n";
    for (const auto& row : rows) {
        out += "#EXTINF:";
        out += std::to_string(LengthInSeconds(row.time));
        out += ',';
        out += OneLineName(row.name);
        out += "\r\n";
        out += row.path;
        out += "\r\n";
    }
    return out;
}

PlaylistReadResult ParseM3u(std::string_view bytes, std::string_view playlistFolder) {
    PlaylistReadResult result;
    // The "#EXTINF:" line waiting for its path.
    std::optional<PlaylistEntry> pending;
    const int overlong = ForEachPlaylistLine(bytes, [&](std::string_view line) {
        if (IsBlankLine(line)) return;
        if (StartsWithNoCase(line, "#EXTINF:")) {
            if (pending) ++result.skipped;
            pending.emplace();
            const std::string_view info = line.substr(8);
            const auto comma = info.find(',');
            pending->lengthSeconds = ParseLengthSeconds(info.substr(0, comma));
            if (comma != std::string_view::npos) pending->title = std::string(info.substr(comma + 1));
            return;
        }
        if (line.starts_with('#')) return;
        PlaylistEntry entry = pending ? std::move(*pending) : PlaylistEntry{};
        pending.reset();
        if (RefuseEntryWithNul(line, result)) return;
        entry.path = ResolveEntryPath(playlistFolder, line);
        result.entries.push_back(std::move(entry));
    });
    result.skipped += overlong;
    if (pending) ++result.skipped;
    return result;
}

AtomicWriteResult WriteM3uPlaylist(const std::string& fileName, const std::vector<PlaylistRow>& rows) {
    if (const PlaylistRow* bad = FindPathWithLineBreak(rows))
        return {false, "A path holds a line break and cannot be written to " + fileName + ": " + OneLineName(bad->path)};
    return WriteFileAtomically(fileName, RenderM3u(rows));
}

PlaylistReadResult ReadM3uPlaylist(const std::string& fileName) {
    std::string bytes;
    PlaylistReadResult result = ReadPlaylistBytes(fileName, &bytes);
    if (!result.ok) return result;
    return ParseM3u(bytes, PlaylistFolderOf(fileName));
}
