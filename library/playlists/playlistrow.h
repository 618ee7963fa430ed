#pragma once
// What a playlist holds, in the two shapes its users want: the window's rows
// (name, time text, path, exactly as the list shows them) and the entries the
// library import walks (a path with whatever title and length the file gave).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct PlaylistRow {
    std::string name;  // the row caption
    std::string time;  // "MM:SS" (more minute digits past 99 minutes), or empty
    std::string path;

    bool operator==(const PlaylistRow&) const = default;
};

struct PlaylistEntry {
    std::string path;                  // absolute when the file named it relative to itself
    std::optional<std::string> title;  // absent when the file gave none
    std::optional<int> lengthSeconds;  // absent when unknown; never negative
};

// What a reader got out of a file. A reader never throws: a file that cannot
// be read gives ok false and the reason, a damaged one gives what could be
// read with the rest counted in skipped.
struct PlaylistReadResult {
    bool ok = true;
    std::string error;    // why the file could not be read; empty when ok
    int skipped = 0;      // lines or entries that named no playable entry
    std::vector<PlaylistEntry> entries;
    // Entries refused because their path holds a NUL byte (counted in
    // skipped too), each as it can be shown: the NUL as U+FFFD.
    std::vector<std::string> refused;

    std::vector<PlaylistRow> rows() const;
};

// The length written for a row's time text: -1 when empty, else minutes x 60 +
// seconds, with every digit before the ":" counting as minutes. A text that is
// not of that shape, or too large for 32 bits, is written as -1 (unknown).
int LengthInSeconds(std::string_view timeText);

// The time text shown for a length: empty when negative, else "%.2d:%.2d" of
// the minutes and seconds, minutes never folded into hours.
std::string TimeText(int seconds);

// A length field as other programs write it ("187", "12.5", "-1", " 42 ",
// "-1 tvg-id=..."): an optional sign and the leading digits count, the rest is
// ignored. Negative, digit-less or beyond 32 bits means unknown.
std::optional<int> ParseLengthSeconds(std::string_view field);

// The name a row gets from an entry: its title, or the path's file name when
// the file gave no title.
PlaylistRow RowFromEntry(const PlaylistEntry& entry);

// The file name with its extension: everything after the last "/".
std::string_view FileNamePart(std::string_view path);
