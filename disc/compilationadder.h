#pragma once
// The four ways of adding to the data disc compilation (Add File, Add Path,
// a drop, loading a layout), each copying into the staging folder with its
// own texts, the overwrite questions, the space check against the disk and
// a stop between entries. Messages go through the platform's boxes; the
// window sees rows, totals and status texts through CompilationView.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

#include "disc/compilation.h"
#include "platform/messageboxes.h"
#include "windowkit/repeatedproblems.h"

class CompilationView {
public:
    virtual ~CompilationView() = default;
    virtual void setStatus(const QString& text) = 0;
    virtual void totalChanged() = 0;
    // Lets the window repaint and the user press Cancel.
    virtual void pump() = 0;
    // A record of the shown folder was added or replaced; withTime: the
    // date cell shows the time as well (Add Path).
    virtual void rowAdded(int record, bool withTime) = 0;
    virtual void rowChanged(int record, bool withTime) = 0;
    virtual void foldersChanged() = 0;
};

class CompilationAdder {
public:
    enum class Entry { AddFile, LoadLayout, Drop, AddPath, DroppedFolder };
    enum class Staged { Added, Skipped, StopAll };

    CompilationAdder(Compilation& compilation, CompilationView& view);

    // Free bytes of the disk holding the staging folder, taken at show.
    int64_t FreeDiskSpace = 0;
    bool OutOfDiskSpace = false;
    bool StopAdding = false;

    void measureFreeSpace();

    // Each returns true when at least one file was staged. Names go into
    // the folder given (the selected one).
    bool addFiles(const QStringList& files, CompilationFolder* folder);
    bool loadLayout(const std::vector<std::string>& lines, CompilationFolder* folder);
    void drop(const QStringList& names, CompilationFolder* folder);
    void addPath(const std::string& path, bool includeSubfolders, CompilationFolder* folder);

    Staged stageFile(const std::string& source, CompilationFolder* folder, Entry entry, bool overwriteConfirmed = false);

    // What an add met more than once: asked once per kind; its count of
    // files passed over without asking goes into the window's status.
    RepeatedProblems Problems;

private:
    // Asked about once per kind over an add; false stops the add.
    enum class Problem { Missing, CannotAdd };
    bool problem(Problem kind, const QString& text, const QString& caption, MessageKind boxKind);
    void beginEntry(bool several);

    void addDroppedFolder(const std::string& source, CompilationFolder* parent, bool overwriteConfirmed);
    bool noSpace(Entry entry);

    bool spaceTold_ = false;  // this add has told the user the disk is full

    Compilation& compilation_;
    CompilationView& view_;
};

