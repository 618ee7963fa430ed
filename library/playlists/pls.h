#pragma once
// The PLS list: "[playlist]", "PlaylistName=Playlist " + the name as typed,
// FileN, TitleN and LengthN for each row, "NumberOfEntries=" and "Version=2",
// every line ended by CR LF.

#include <string>
#include <string_view>
#include <vector>

#include "library/playlists/playlistrow.h"
#include "platform/atomicfile.h"

// The file's bytes for these rows (line breaks as for RenderM3u).
// chosenFileName is the file name the save dialog returned, before its
// extension was settled: the PlaylistName line names the list as typed.
std::string RenderPls(const std::vector<PlaylistRow>& rows, std::string_view chosenFileName);

// Reads a PLS list, ours or another program's, by its keys: FileN, TitleN and
// LengthN (any case) make entry N, listed in ascending N. A later key replaces
// an earlier one; an entry without a file is dropped, one without a title is
// named by its file, one without a length has none. Every other line is
// skipped. Relative paths are taken from playlistFolder.
PlaylistReadResult ParsePls(std::string_view bytes, std::string_view playlistFolder);

// Replaces fileName atomically; on failure the previous file stays intact and
// the result says why. A path holding a line break is refused.
AtomicWriteResult WritePlsPlaylist(const std::string& fileName, const std::vector<PlaylistRow>& rows,
                                   std::string_view chosenFileName);

// Reads fileName; its relative entries are taken from its own folder.
PlaylistReadResult ReadPlsPlaylist(const std::string& fileName);
