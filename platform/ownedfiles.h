#pragma once
// Work files and folders that are large and live only while one process
// writes them: the decoded tracks of an audio CD, a disc image taking
// shape, the data CD's staging folder. Each carries the mark of its owner,
// so that a later start removes what a killed or crashed process left and
// never what a live one (a second instance on another library) still uses:
// - a folder in the temporary folder has its process id in its name
//   ("<prefix><pid>-XXXXXX"), and its process is asked whether it lives;
// - a file or folder with a fixed name holds an exclusive lock (flock) on
//   an open descriptor for as long as its writer works on it; the lock goes
//   with the process, whatever ends it.

#include <string>
#include <string_view>
#include <sys/types.h>

#include "platform/posixfile.h"

// False while the process may still run (also when it is another user's).
bool ProcessIsGone(pid_t pid);

// The process id in "<pid>-XXXXXX", the end of a name made from a pattern
// "...<pid>-XXXXXX" (mkstemp, mkdtemp, the atomic writer's temporaries);
// false for any other text. The X stand for kNameRandomLength of
// kNameRandomLetters.
inline constexpr std::string_view kNameRandomLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
inline constexpr size_t kNameRandomLength = 6;
bool OwnerInNameEnd(std::string_view end, pid_t* pid);

// $TMPDIR when set, else /tmp.
std::string TemporaryFolder();

// Removes a file, or a folder with all it holds; links are removed, never
// followed. Quiet: what cannot be removed stays.
void RemoveFileOrTree(const std::string& path);

// A private folder "<prefix><pid>-XXXXXX" in the temporary folder, removed
// with all it holds by the destructor, and at the latest when the process
// ends through exit() or a return from main.
class OwnedTemporaryFolder {
public:
    explicit OwnedTemporaryFolder(std::string_view prefix);
    ~OwnedTemporaryFolder();
    OwnedTemporaryFolder(const OwnedTemporaryFolder&) = delete;
    OwnedTemporaryFolder& operator=(const OwnedTemporaryFolder&) = delete;

    bool isValid() const { return !path_.empty(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Removes the folders of this process that are still there; the program
// calls it as it ends, and exit() does too.
void RemoveOwnTemporaryFolders();

// Removes the folders "<prefix><pid>-..." in folder whose process is gone.
void RemoveAbandonedTemporaryFolders(const std::string& folder, std::string_view prefix);

// The program's own folders in the temporary folder: the audio CD writer's
// cache of decoded tracks, and the tracks a real drive is fed from.
inline constexpr std::string_view kAudioCdCachePrefix = "tunevale-cd-";
inline constexpr std::string_view kAudioCdDrivePrefix = "tunevale-audiocd-";

// Creates path (O_CREAT | O_EXCL with flags) and marks it as this process's
// until the file is closed. A file a sweep removed between the two steps is
// made again.
PosixFile CreateOwnedFile(const std::string& path, int flags, mode_t mode = 0644);
// Creates the folder path if needed and marks it as this process's while
// the returned descriptor stays open (not open when it cannot be made).
PosixFile OwnFolder(const std::string& path);

// Marks an existing regular file as this process's while the returned
// descriptor stays open (a file changed in place, such as an image being
// appended to). Not open when another process holds the mark, or path is
// no regular file; where locks are not supported it is open, unmarked.
PosixFile MarkExistingFile(const std::string& path);

// Removes path (a file or a folder) when nobody holds its mark: its owner
// has ended. A path whose owner lives, or that cannot be locked at all
// (a file system without locks), stays. True when it was removed.
bool RemoveIfAbandoned(const std::string& path);
