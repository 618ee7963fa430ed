#pragma once
// The rescan's walk: a folder and all its subfolders, depth first in the
// order the file system lists them, every audio file added to the library
// unless a record has its path. No window here: the rescan window shows
// what the hooks report and cancels between entries.
//
// The walk ends on any tree: a folder is entered once (by device and inode),
// links to folders are not followed, and only regular files (or links to
// them) are opened, so a FIFO or a device under an audio name never blocks
// it. A folder that cannot be listed is passed over; a file that cannot be
// read is skipped and counted in the tally, as adding files does.

#include <functional>
#include <string>
#include <string_view>

#include "library/tracklibrary.h"

// The folders the walk never enters, by exact name.
bool IsSkippedScanFolder(std::string_view name);

class LibraryRescan {
public:
    // Called before each entry is looked at, with its full path.
    std::function<void(const std::string& path)> onEntry;
    // Called for each audio file once the library has it (or did not take it).
    std::function<void(const AddResult& result)> onFile;

    // Walks folder into the library. Stops before the next entry once
    // cancel() was called, at every level.
    void run(const TrackLibrary& library, const std::string& folder);
    void cancel() { cancelled_ = true; }
    bool cancelled() const { return cancelled_; }
    // Audio files met since the last reset, those already in the library
    // and those that could not be read included.
    int count() const { return count_; }
    const AddTally& tally() const { return tally_; }
    // For the next scan: no count, no tally, not cancelled.
    void reset();

private:
    void audioFile(const TrackLibrary& library, const std::string& path, bool regular);

    int count_ = 0;
    bool cancelled_ = false;
    AddTally tally_;
};
