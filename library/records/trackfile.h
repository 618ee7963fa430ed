#pragma once
// The library file "music.dat" and the playlist files: headerless sequences
// of TrackRecords. Record i starts at byte i * 664; trailing bytes that do not
// make a whole record are ignored by every reader.
//
// Every operation opens the file, works and closes it, so each change is in
// the file when the call returns. Lookups by Path go through an index kept in
// this process; it is trusted only while the file's device, inode, size and
// change time are what this process last saw, so another instance's change
// makes it rebuild. Changes take an exclusive lock on the file's folder (the
// file itself is replaced by a rename, so a lock on it would not hold), reads
// a shared one: two instances never lose each other's records.
//
// Files are read in chunks of records, never whole. Failures: a file that
// cannot be opened, or is not a regular file, raises FileOpenError ("Cannot
// open file %s"); a failed read, write, truncation, close or replacement raises
// InOutError.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library/records/trackrecord.h"
#include "platform/posixfile.h"

// The scan: records in file order from the first; fn returns false to stop.
void ForEachTrackRecord(const std::string& file,
                        const std::function<bool(const TrackRecord& record, std::size_t index)>& fn);

// Every whole record of the file, in file order.
std::vector<TrackRecord> LoadTrackRecords(const std::string& file);

// Record access by index. Reading or writing at or beyond the record count
// raises InOutError.
std::size_t TrackRecordCount(const std::string& file);
TrackRecord ReadTrackRecordAt(const std::string& file, std::size_t index);
void WriteTrackRecordAt(const std::string& file, std::size_t index, const TrackRecord& record);

// Adds record to the library file unless a record with the same Path (byte
// for byte, as it is stored) is already there. Says whether it wrote: a
// missing file is left missing.
enum class AppendOutcome { Written, AlreadyThere, NoFile };
AppendOutcome AppendTrackRecordIfNew(const std::string& musicDat, const TrackRecord& record);

// Applies change to the first record whose Path equals path and writes it
// back in its place. False (file unchanged) when no record has that path.
// change runs while the folder is locked: it must not call these functions.
bool UpdateTrackRecordInPlace(const std::string& file, std::string_view path,
                              const std::function<void(TrackRecord&)>& change);

// Removes from source one record per entry of selectedPaths (the Path texts
// of the selected rows, in any order): for a path listed k times, the first
// k records with that path. Paths not in the file remove nothing. Kept
// records keep their order; a trailing partial record is dropped. The new
// content replaces source atomically: on failure source is unchanged and
// InOutError is raised. target names the scratch file of the folder; the
// replacement itself uses a name of its own beside source, so two instances
// never write the same scratch file. Returns the number of records removed.
std::size_t RemoveListedRecords(const std::string& target, const std::string& source,
                                const std::vector<std::string>& selectedPaths);

// Creates the file empty, or empties an existing one.
void CreateEmptyTrackFile(const std::string& file);

// Makes records the whole content of file, created when missing. The new
// content replaces the old atomically: on failure the file is as it was and
// InOutError is raised.
void ReplaceTrackRecords(const std::string& file, const std::vector<TrackRecord>& records);

// Creates (or empties) a file and appends records to it, as the playlist
// import fills a new playlist file. Each append is in the file when it
// returns; close() reports a failed close.
class TrackFileWriter {
public:
    explicit TrackFileWriter(const std::string& file);
    ~TrackFileWriter();
    TrackFileWriter(const TrackFileWriter&) = delete;
    TrackFileWriter& operator=(const TrackFileWriter&) = delete;

    void append(const TrackRecord& record);
    void close();

private:
    std::string file_;
    PosixFile out_;
};
