#pragma once
// The data disc compilation without its window: the folder tree, the table
// of staged files and the staging folder that mirrors the tree on disk.
// What lies in the staging folder is what goes on the disc.
//
// Every change on disk stays inside the staging folder: folder names that
// would step out of it are refused, deletions never follow a link, and only
// regular files are copied in.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/posixfile.h"

struct CompilationFolder {
    std::string name;
    CompilationFolder* parent = nullptr;
    std::vector<std::unique_ptr<CompilationFolder>> children;
};

struct CompilationFileRecord {
    int FolderIndex = 0;      // the folder's place in the tree's depth-first order, root 0
    std::string SourcePath;   // the file that was copied
    std::string StagedName;   // the copy's name in its folder (changed by a rename)
    int64_t Size = 0;
    QDateTime FileDate;
};

// The largest total that may be written to a CD: 700 MiB.
inline constexpr int64_t DataCdCapacity = 734003200;

// "1023 bytes", "1 KB", "1,024 KB", "1 MB" with the system's separators.
QString FileSizeText(int64_t size);
// "Total Size: 1,234.57 MB"
QString TotalSizeText(int64_t total);
QString TotalSizeNumber(int64_t total);  // "1,234.57 MB"

// A file's last-write time in local time at the 2-second resolution the
// table keeps; the current time of day (no date) when it cannot be read.
QDateTime GetFileDateTime(const std::string& path);

// Why a folder name is refused: the nine characters, "/" or a path step.
// Names beginning with "." are refused too: every walk of the compilation
// skips them, so their contents would never reach the disc.
bool IsIllegalFolderName(const QString& name);

// Deletes a folder and everything under it without following a link (a
// link is removed itself); failures are ignored.
void DeleteFolderContents(const std::string& path);

// Result of copying one file into the staging folder.
enum class CopyResult { Copied, NotRegular, InsideStaging, NoSpace, Failed };

class Compilation {
public:
    explicit Compilation(std::string stagingFolder);

    // Empties the staging folder (made when missing), the table and the tree.
    bool reset();
    const std::string& stagingFolder() const { return staging_; }
    bool stagingExists() const;

    CompilationFolder* root() { return &root_; }
    int absoluteIndex(const CompilationFolder* folder) const;
    CompilationFolder* folderAt(int index);
    CompilationFolder* childNamed(CompilationFolder* parent, const std::string& name) const;
    // The folder's staging path with a trailing "/".
    std::string TempPathOfNode(const CompilationFolder* folder) const;

    // nullptr when the name is illegal or taken, or the folder cannot be made.
    CompilationFolder* createFolder(CompilationFolder* parent, const std::string& name);
    // The node is renamed even when the folder on disk cannot be; false for
    // an illegal name or one a folder or a staged file already has.
    bool renameFolder(CompilationFolder* folder, const std::string& name);
    // Removes a folder with its subfolders, their copies and records; each
    // copy that cannot be deleted is passed to failed (its record goes all
    // the same, so no record is left pointing at a folder that is gone).
    void removeFolder(CompilationFolder* folder, const std::function<void(const std::string& file)>& deleting,
                      const std::function<void(const std::string& path)>& failed);

    std::vector<CompilationFileRecord>& records() { return records_; }
    const std::vector<CompilationFileRecord>& records() const { return records_; }
    int FileCount() const { return static_cast<int>(records_.size()); }
    int64_t TotalSize = 0;

    // The record of a folder's staged file, or -1.
    int findRecord(int folderIndex, const std::string& stagedName) const;
    std::vector<int> recordsOf(int folderIndex) const;
    std::string stagedPath(const CompilationFileRecord& record);
    // Deletes the record's copy and then the record; false (record kept)
    // when the copy cannot be deleted.
    bool removeRecord(int index);
    // Renames a staged copy; false when the new name is taken or illegal.
    bool renameRecord(int index, const std::string& newName);
    // Copies source to target (a regular file only; never from inside the
    // staging folder). A failed copy leaves target as it was.
    CopyResult copyIn(const std::string& source, const std::string& target, std::string* error = nullptr) const;
    bool isInsideStaging(const std::string& path) const;

private:
    void collect(const CompilationFolder* folder, std::vector<const CompilationFolder*>* out) const;

    std::string staging_;
    // Held while the staging folder is ours, so that the start of another
    // process never takes it for the leftover of a killed one.
    PosixFile stagingMark_;
    CompilationFolder root_;
    std::vector<CompilationFileRecord> records_;
};
