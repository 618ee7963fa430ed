#pragma once
// Library playlists made from M3U and PLS files: the leaf under "My Playlist"
// is named after the file, and its record file holds one record per entry
// that is an audio file. No window here: the main window reads the source,
// adds the node and saves the tree.
//
// A playlist of that name that exists already is refilled, not doubled. Its
// new records replace the old ones in one step once every entry is read, so
// an import that fails leaves the old playlist whole.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library/playlists/savename.h"
#include "library/tracklibrary.h"

// The name of the library playlist imported from fileName: the file name up
// to its first "." (all of it when it has none), then "_m3u" when its
// extension is exactly ".m3u", else "_pls".
std::string ImportedPlaylistName(std::string_view fileName);
// The name for a playlist file just saved: "_pls" when its extension is
// exactly ".pls", else "_m3u".
std::string SavedPlaylistName(std::string_view fileName);
// The reader an imported file gets when its content does not say: M3U for an
// ".m3u" extension in any case, PLS for any other.
PlaylistFormat ImportedPlaylistFormat(std::string_view fileName);

struct PlaylistFill {
    std::string file;         // the playlist's record file
    std::size_t records = 0;  // records written
    AddTally tally;           // entries that could not be read
    std::string error;        // the file could not be written: it is as it was

    bool ok() const { return error.empty(); }
};

// Builds one record per entry (entries that are no audio file give none;
// the date added stays 0) and makes them the content of the playlist's
// record file. afterEach runs after every entry, for the window's events.
// refused are entries the playlist's reader refused (as they are shown):
// they are counted with the entries that could not be read.
PlaylistFill FillLibraryPlaylist(const TrackLibrary& library, const std::string& name,
                                 const std::vector<std::string>& paths, const std::function<void()>& afterEach,
                                 const std::vector<std::string>& refused = {});
