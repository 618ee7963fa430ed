#pragma once
// The extended M3U list: "#EXTM3U", then for each row "#EXTINF:" + length in
// seconds + "," + name and the path, every line ended by CR LF.

#include <string>
#include <string_view>
#include <vector>

#include "library/playlists/playlistrow.h"
#include "platform/atomicfile.h"

// The file's bytes for these rows. A name's line breaks become blanks; a
// path with a line break cannot be kept by the format (WriteM3uPlaylist
// refuses it).
std::string RenderM3u(const std::vector<PlaylistRow>& rows);

// Reads an M3U list, ours or another program's. "#EXTINF:" gives the next
// path its length (the text between its ":" and first ",") and title
// (everything after that ","); other "#" lines and blank lines are skipped;
// every other line is a path, so a plain list without "#EXTM3U" keeps its
// first entry. Relative paths are taken from playlistFolder.
PlaylistReadResult ParseM3u(std::string_view bytes, std::string_view playlistFolder);

// Replaces fileName atomically; on failure the previous file stays intact and
// the result says why. A path holding a line break is refused, since it
// would split into lines that read back as other entries.
AtomicWriteResult WriteM3uPlaylist(const std::string& fileName, const std::vector<PlaylistRow>& rows);

// Reads fileName; its relative entries are taken from its own folder.
PlaylistReadResult ReadM3uPlaylist(const std::string& fileName);
