#pragma once
// What the tag editor and the extended tag window need of the main window:
// the tracks selected in its list, its player, the library's files and tree,
// and the list rows that show the records. The main window implements it and
// is handed to the two windows; tests hand them one of their own.

#include <string>
#include <vector>

#include "library/records/trackrecord.h"
#include "library/tageditor.h"

class LibraryTree;
class SkinEngine;
class TrackLibrary;

// The record file that OK updates: the selected library playlist's, or
// "music.dat", whose records the artist and album nodes follow.
struct EditedRecordFile {
    std::string file;  // empty: no file (a playlist node whose text names none)
    bool isLibrary = true;
};

class TagEditorHost {
public:
    virtual ~TagEditorHost() = default;

    // The selected rows of the track list, lowest first, once the rows whose
    // files are missing have been deselected.
    virtual std::vector<TagEditTrack> TracksToEdit() = 0;
    // The main player plays this file (paused counts).
    virtual bool PlaysFile(const std::string& path) const = 0;
    // Stops the main player and closes its file.
    virtual void StopPlaybackForEdit() = 0;
    // Closes the main player's file when it is this one, so that it can be
    // written.
    virtual void ReleaseFile(const std::string& path) = 0;

    virtual const TrackLibrary& EditedLibrary() const = 0;
    virtual EditedRecordFile RecordFileOfSelectedNode() const = 0;
    virtual LibraryTree* EditedTree() = 0;
    // Saves the tree file, telling the user when it could not be written.
    virtual void SaveEditedTree() = 0;
    // The list row that showed this path when the editor opened shows the
    // record's texts; when the list changed meanwhile, the rows that show the
    // path do.
    virtual void ShowEditedRecord(int listRow, const TrackRecord& record) = 0;
    // While true, the commands that change the library wait.
    virtual void SetLibraryBusy(bool busy) = 0;
    // The list selects the playing row again and shows it (none when nothing
    // played yet).
    virtual void ShowPlayingRow() = 0;

    // The engine that dresses the windows; null when there is none.
    virtual SkinEngine* EditorSkin() const = 0;
};
