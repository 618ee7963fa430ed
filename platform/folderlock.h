#pragma once
// An advisory lock that serialises the changes several running instances
// make to one file. Our files are replaced by a rename, so a lock on the file
// itself would stay with the old inode while the next writer opens the new
// one: the lock sits on the folder that holds the file instead. That is the
// folder of the file's real path: a writer through a symlink and one through
// the path it names must meet on one lock.
//
// Where the folder cannot be opened or locked (a folder we may only search,
// a file system without locks) the work still goes ahead: opening the file
// decides whether it can, and an instance alone needs no lock.

#include <string>

class FolderLock {
public:
    // Opens the folder of file and locks it with mode (LOCK_SH or LOCK_EX);
    // mode 0 opens it without locking yet.
    FolderLock(const std::string& file, int mode);
    ~FolderLock();  // closing releases the lock
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    void lock(int mode);
    void unlock();

private:
    int fd_ = -1;
};
