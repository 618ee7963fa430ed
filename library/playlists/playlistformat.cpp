#include "playlistformat.h"

#include "library/playlists/m3u.h"
#include "library/playlists/playlisttext.h"
#include "library/playlists/pls.h"

PlaylistFormat SniffPlaylistFormat(std::string_view bytes, PlaylistFormat chosen) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t end = std::min(bytes.find_first_of("\r\n", pos), bytes.size());
        std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (IsBlankLine(line)) continue;
        line.remove_prefix(line.find_first_not_of(" \t"));
        if (StartsWithNoCase(line, "#EXTM3U")) return PlaylistFormat::M3u;
        if (StartsWithNoCase(line, "[playlist]")) return PlaylistFormat::Pls;
        return chosen;
    }
    return chosen;
}

PlaylistReadResult ReadPlaylistFile(const std::string& fileName, PlaylistFormat chosen) {
    std::string bytes;
    PlaylistReadResult result = ReadPlaylistBytes(fileName, &bytes);
    if (!result.ok) return result;
    const std::string folder = PlaylistFolderOf(fileName);
    return SniffPlaylistFormat(bytes, chosen) == PlaylistFormat::M3u ? ParseM3u(bytes, folder) : ParsePls(bytes, folder);
}
