#pragma once
// The CD file list (".cfl") both CD writers save and load: a plain text file
// with one full source path per line, every line ended by CR LF, no header,
// in list order.
//
// A list may come from elsewhere (another machine, a Windows build, a
// crafted download), so it is read tolerantly: LF, CR LF and CR all end a
// line, empty lines are skipped, and a line that cannot be a path (holding a
// NUL byte, or longer than any path the system opens) is dropped. Paths are
// the file system's bytes and stay as they are. Reading a list never opens
// the files it names; InspectListedEntry tells what an entry names without
// opening it, so that a FIFO or a device in a list is refused rather than
// read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The longest line taken as a path (the system's own path limit).
inline constexpr std::size_t CdFileListMaxLine = 4096;
// No real list comes near this; a larger file is refused, not read.
inline constexpr std::uint64_t CdFileListMaxBytes = 16u << 20;

std::vector<std::string> ParseCdFileList(std::string_view bytes);
// Paths that no line can carry (empty, holding CR, LF or NUL) are left out.
std::string RenderCdFileList(const std::vector<std::string>& paths);

// False with *error when the file cannot be read, is not a regular file or
// is larger than CdFileListMaxBytes.
bool ReadCdFileList(const std::string& file, std::vector<std::string>* paths, std::string* error);
// Replaces the file atomically; false with *error on any failure, and the
// old file is then intact.
bool WriteCdFileList(const std::string& file, const std::vector<std::string>& paths, std::string* error);

// The name a list is saved under: the chosen name with ".cfl" in place of
// its extension ("mylist.txt" -> "mylist.cfl", "mylist" -> "mylist.cfl").
std::string CdFileListName(std::string_view chosen);

enum class ListedEntryKind { Missing, RegularFile, Folder, Special };
// Follows symbolic links; never opens the entry.
ListedEntryKind InspectListedEntry(const std::string& path);
