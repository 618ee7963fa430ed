#pragma once
// The library on disk: "music.dat" and its scratch file in the data folder,
// the library playlists' record files in the playlist folder, the tree file
// "treetext.txt" and the play queue "templay.dat". What adding files,
// removing records, counting a play and saving the tree do to those files,
// with no window, so that the main window's handlers only show the outcome
// and tests drive the library directly.
//
// Errors: nothing here throws. What the user must hear about comes back as
// the message to show (the operation changed nothing); what only costs a
// count or a line of the tree (a play count, a scan for orphan nodes) is
// logged and dropped.

#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "library/records/trackrecord.h"
#include "library/treetext.h"

// The file that holds a node's records and the scratch file of its folder.
struct RecordFiles {
    std::string source;
    std::string scratch;
};

enum class AddOutcome {
    Added,         // a new record
    AlreadyThere,  // a record has the path; nothing written
    Ignored,       // not a track (a folder, another kind of file)
    Skipped,       // unreadable or too long a path: the user hears the count
    WriteFailed,   // "music.dat" could not take it: the user hears the error
};

struct AddResult {
    std::string path;
    AddOutcome outcome = AddOutcome::Ignored;
    TrackRecord record;  // Added and AlreadyThere: the file's record
    std::string error;   // WriteFailed: the message

    bool listed() const { return outcome == AddOutcome::Added || outcome == AddOutcome::AlreadyThere; }
};

// What an add of several files tells the user at its end: the first failed
// write, else how many files were skipped, and which.
struct AddTally {
    int skipped = 0;
    std::vector<std::string> skippedFiles;
    std::string writeError;

    void count(const AddResult& result);
};

// The artist and album texts that the records of "music.dat" name.
struct NamedTexts {
    std::unordered_set<std::string> artists;
    std::unordered_set<std::string> albums;
};

// Artist and album texts that no record of "music.dat" names any more.
struct OrphanNames {
    std::vector<std::string> artists;
    std::vector<std::string> albums;
};

class TrackLibrary {
public:
    // dataFolder with its trailing "/", playlistFolder without.
    TrackLibrary(std::string dataFolder, std::string playlistFolder);

    const std::string& dataFolder() const { return dataFolder_; }
    const std::string& playlistFolder() const { return playlistFolder_; }
    std::string musicFile() const { return dataFolder_ + "music.dat"; }
    std::string treeFile() const { return dataFolder_ + "treetext.txt"; }
    std::string playQueueFile() const { return dataFolder_ + "templay.dat"; }
    std::string errorLogFile() const { return dataFolder_ + "Error.txt"; }

    // Makes "music.dat" when it is missing (a data folder that cannot take it
    // is logged: the first add says what is wrong).
    void ensureMusicFile() const;
    // Empties "music.dat"; the message when it could not be emptied.
    std::optional<std::string> clear() const;

    // One file into "music.dat": its record built from its tags, appended
    // unless a record has its path.
    AddResult add(const std::string& path, double dateAdded) const;

    // The record files of the whole library, and of the library playlist
    // named by a node's text (none for a text that names no file).
    RecordFiles libraryFiles() const;
    std::optional<RecordFiles> playlistFiles(const std::string& nodeText) const;
    // Removes one record per entry (matched by path) from files.source; the
    // message when the file could not be rewritten (it keeps every record).
    std::optional<std::string> remove(const RecordFiles& files, const std::vector<TrackRecord>& records) const;
    // The first record of "music.dat" with this path.
    std::optional<TrackRecord> recordOf(const std::string& path) const;
    // Changes the first record of file (music.dat or a library playlist's
    // file) that has this path, in its place; a path the file lacks changes
    // nothing. The message when the file could not be read or written.
    std::optional<std::string> updateRecord(const std::string& file, const std::string& path,
                                            const std::function<void(TrackRecord&)>& change) const;
    // Readies file for a run of updateRecord calls; a file that cannot be
    // read is left to them to report. Any thread may call it.
    void prepareUpdates(const std::string& file) const;
    // Every artist and album "music.dat" names, from one scan; nothing when
    // it cannot be read.
    std::optional<NamedTexts> namedTexts() const;
    // For each removed record, its artist and its album when no record of
    // "music.dat" names them any more. Nothing when the file cannot be read,
    // so that no node goes for a failed read.
    std::optional<OrphanNames> orphansOf(const std::vector<TrackRecord>& removed) const;
    // One more play in the record of path.
    void countPlay(const std::string& path) const;

    // The tree file: none when it was missing (an empty one is made) or
    // cannot be read; a file just as a save writes it comes as its leaves.
    // A file that had to be repaired is kept beside it as
    // "treetext.txt.bad", since playlist nodes live only there.
    std::optional<TreeTextLoad> loadTree() const;
    // Starts reading the tree file on a thread of its own; the next
    // loadTree of this library takes what it read. A large tree is read
    // while the windows are built rather than after.
    void prefetchTree() const;
    // False when the file could not be written (it keeps its old content).
    bool saveTree(const LibraryTreeContent& content) const;
    // The play queue of these paths, in full; false when it was not written.
    bool writePlayQueue(const std::vector<std::string>& paths) const;

private:
    std::string dataFolder_;
    std::string playlistFolder_;
};
