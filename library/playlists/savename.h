#pragma once
// The names Save As gives a playlist, kept apart from the dialog so that the
// rules are tested without one.

#include <string>
#include <string_view>

enum class PlaylistFormat { M3u, Pls };

// The dialogs' filter "m3u files(*.m3u)|*.m3u|pls files(*.pls)|*.pls": index 1
// is M3U, any other PLS.
PlaylistFormat PlaylistFormatForFilterIndex(int filterIndex);

// The file Save As writes: the chosen name without its extension (the last
// "." of the file name part and what follows, if it has one), plus ".m3u" or
// ".pls" by the format, whatever extension the user typed.
std::string SavePlaylistFileName(std::string_view chosenFileName, PlaylistFormat format);

// The text of a PLS file's PlaylistName line: "Playlist " + the file name
// part of the chosen name, as typed (with or without an extension).
std::string PlsPlaylistName(std::string_view chosenFileName);
