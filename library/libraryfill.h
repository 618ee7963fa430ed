#pragma once
// What the track list shows for each node of the library tree: the records
// of "music.dat" (or of a library playlist's file) that the node stands for,
// in file order, and the order of a sorted list. No widgets here, so that the
// rules are tested on their own.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/records/trackrecord.h"

// What a selected node lists. Which node is which is the tree's business;
// these only carry what the rule needs.
enum class NodeKind {
    None,      // "Title", "Alphabetic", the roots: no rows
    Letter,    // "A" to "Z"
    Extra,     // titles that do not begin with an ASCII letter
    AllTitle,  // every record
    Artist,
    Album,
    MyHabit,   // the ten most played
    Playlist,  // a library playlist's own file
};

struct NodeFill {
    NodeKind kind = NodeKind::None;
    char letter = 0;   // Letter: 'A' to 'Z'
    std::string text;  // Artist, Album, Playlist: the node's text
};

// One row of the list: the record, and whether its "Time " cell is shown
// ("My Habit" rows leave it empty).
struct ListRow {
    TrackRecord record;
    bool showTime = true;
};

// The room a list of rows gets when it is built whole. Adds and rescans
// append to the list shown, and a list with no room left moves every row to
// a new block at the first file added: for a large library that costs more
// than reading a thousand files. Room to double is what that first append
// would give it anyway; the room is reserved, not touched.
std::size_t ListRowsCapacity(std::size_t rows);

bool TitleBeginsWithLetter(std::string_view title, char letter);
bool TitleIsExtra(std::string_view title);
// Whether the node's list holds this record (for every kind but "My Habit"
// and playlists, which depend on more than the record).
bool NodeListsRecord(const NodeFill& node, const TrackRecord& record);

// The rows of a node. A missing "music.dat" lists nothing. A playlist file
// that cannot be read raises InOutError after the rows read so far are in
// *rows.
void FillRows(const NodeFill& node, const std::string& musicDat, const std::string& playlistFolder,
              std::vector<ListRow>& rows);

// The ten most played records: by falling play count, equal counts in file
// order, a path listed once.
std::vector<TrackRecord> RankMostPlayed(const std::vector<TrackRecord>& records, std::size_t limit = 10);

// The playlist file of a node: the first "*.dat" of the folder whose name is
// the node's text + ".dat" exactly. None for texts that are not a plain file
// name, so that a tree text never leads out of the folder.
std::optional<std::string> PlaylistDataFileFor(const std::string& playlistFolder, std::string_view nodeText);

// The list's sort order: bytes compared with only ASCII a to z folded to
// upper case; at the first difference the difference of the folded bytes,
// else the difference of the lengths.
int CompareListKeys(std::string_view a, std::string_view b);
// The key with a to z folded: two folded keys compare byte for byte (as
// unsigned bytes) with the sign of CompareListKeys on the originals, so a
// sort folds each key once instead of at every comparison.
std::string FoldListKey(std::string key);
