#pragma once
// The text layer both playlist formats share: how a file's bytes become
// lines, how an entry's path is placed, and what a line written may hold.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "library/playlists/playlistrow.h"

// A line longer than this names no file on any system; it is skipped rather
// than carried into the list.
inline constexpr size_t kMaxPlaylistLine = 64 * 1024;

// No list a user keeps comes near this; a larger file is refused unread.
inline constexpr uint64_t kMaxPlaylistFileBytes = 64u << 20;

// Calls onLine for each line of a playlist file, as UTF-8 without its line
// end. Our files are UTF-8; files of other programs are often Windows-1252,
// so bytes that are not valid UTF-8 are read as that. A UTF-8 byte order mark
// is dropped; CR LF, LF and CR all end a line. Returns the count of over-long
// lines skipped.
int ForEachPlaylistLine(std::string_view bytes, const std::function<void(std::string_view line)>& onLine);

// True when the line holds nothing but blanks and tabs.
bool IsBlankLine(std::string_view line);

// Case-insensitive ASCII prefix test.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The folder against which a playlist's relative entries are read: the part
// of its path before the last "/", or empty for a bare file name (whose
// entries are then relative to the working folder, as the file is).
std::string PlaylistFolderOf(std::string_view playlistPath);

// An entry's path as the list keeps it: relative paths are taken from the
// playlist's folder; absolute ones, and Windows drive or share paths from
// other machines, stay as they are.
std::string ResolveEntryPath(std::string_view folder, std::string_view path);

// A path holding a NUL byte names one file to the system and another to
// everything that shows or stores it: such an entry is refused, counted in
// result's skipped and listed in its refused. True when refused.
bool RefuseEntryWithNul(std::string_view path, PlaylistReadResult& result);

// A name goes on one line of the file: CR and LF become blanks.
std::string OneLineName(std::string_view name);

// The first row whose path holds a line break, which no line-based file can
// keep; nullptr when there is none.
const PlaylistRow* FindPathWithLineBreak(const std::vector<PlaylistRow>& rows);

// The file's bytes, or ok false with "Cannot open file <name>": also for a
// file that is not a regular file (a FIFO would block the reader, a device
// would feed it without end) or is larger than kMaxPlaylistFileBytes.
PlaylistReadResult ReadPlaylistBytes(const std::string& fileName, std::string* bytes);
