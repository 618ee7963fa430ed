#pragma once
// Where the program keeps things. What it writes (the library files, the
// library playlists, the data CD staging folder) lives under the data root;
// what it ships (skins, help) under the asset root, which is read only; the
// settings file lives in the config folder. Paths use "/" only, and every
// join goes through JoinPath so that no separator is doubled or lost.

#include <string>
#include <string_view>

// folder + "/" + name, with exactly one "/" between them; an empty folder
// gives name unchanged, an empty name gives the folder.
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder part of a path without its trailing "/": "/" for a file in
// the root, "." for a bare name.
std::string ParentFolder(std::string_view path);
// The file a path finally names: a symlink is followed to its target (also
// a target not made yet), so that a replacement writes there and the link
// stays, and a lock sits beside the file itself. A path that is no link
// is returned as it is.
std::string FinalPath(const std::string& path);
// The folder with one trailing "/" (the root "/" stays as it is).
std::string WithTrailingSeparator(std::string_view folder);

// $TUNEVALE_HOME, else $XDG_DATA_HOME/tunevale, else ~/.local/share/tunevale.
std::string DataRoot();
// $TUNEVALE_CONFIG_DIR, else $XDG_CONFIG_HOME/tunevale, else ~/.config/tunevale.
std::string ConfigFolder();
// "Tunevale.ini" in the config folder.
std::string SettingsFilePath();
// The library files' folder, data root + "record/" (with its trailing "/",
// so that DataFolder() + "music.dat" names the file).
std::string DataFolder();
// The library playlists' folder, data root + "playlist" (no trailing "/").
std::string PlaylistFolder();

// The running program's full path.
std::string ProgramPath();
// <prefix>/share/tunevale when the program is installed as <prefix>/bin/...,
// else the program's own folder (the build tree, where assets are copied).
std::string AssetRoot();

// The user's home folder ($HOME, else the password database's entry).
std::string HomeFolder();

// A folder value stored by a Windows build of the settings ("c:\music",
// "D:\Rips\"): it names nothing here, so callers use their default instead.
bool IsWindowsPath(std::string_view value);

// True when something is there under the path (a file, a folder, what a
// link points to); false for an empty path.
bool FileExists(const std::string& path);

// Creates one folder level; true when it exists afterwards.
bool CreateFolder(const std::string& path);
// Creates the folder and any missing parents; true when it exists afterwards.
bool CreateFolderPath(const std::string& path);
