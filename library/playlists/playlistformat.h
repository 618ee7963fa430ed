#pragma once
// Which reader a chosen file gets. The user picks a format by the dialog's
// filter, but a file that says what it is on its first line is read as that:
// a PLS file opened under the M3U filter would otherwise become rows named
// "[playlist]" and "File1=...".

#include <string>
#include <string_view>

#include "library/playlists/playlistrow.h"
#include "library/playlists/savename.h"

// "[playlist]" as the first non-blank line means PLS, "#EXTM3U" M3U; any
// other file is taken to be the chosen format.
PlaylistFormat SniffPlaylistFormat(std::string_view bytes, PlaylistFormat chosen);

// Reads fileName with the reader its content asks for (chosen when it does
// not say). Never throws.
PlaylistReadResult ReadPlaylistFile(const std::string& fileName, PlaylistFormat chosen);
