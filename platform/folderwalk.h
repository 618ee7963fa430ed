#pragma once
// A walk of a folder and all its subfolders, depth first in the order the
// file system lists them, that ends on any tree: a folder is entered once
// (by device and inode), links to folders are not followed below the chosen
// folder (which may itself be reached through one), and whatever is not a
// regular file or a link to one is reported as such so that nobody opens a
// FIFO or a device by mistake. A folder that cannot be listed is passed over.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct FolderWalk {
    // Before each entry is looked at, with its full path; false stops the
    // walk at every level.
    std::function<bool(const std::string& path)> entry;
    // Whether a subfolder is entered, by its name; null enters every one.
    std::function<bool(std::string_view name)> enter;
    // Each folder once it is entered, before it is listed (with its
    // trailing "/").
    std::function<void(const std::string& folder)> entered;
    // Each entry that is neither a folder nor a link to one; regular for a
    // regular file or a link to one, false for anything else (a FIFO, a
    // socket, a device, a broken link).
    std::function<void(const std::string& path, std::string_view name, bool regular)> file;
    // Folders never entered, whatever path leads to them (compared by
    // device and inode): a walk that copies into a folder must not walk
    // its own copies.
    std::vector<std::string> never;
};

// Walks folder; false when an entry callback stopped it.
bool WalkFolder(const std::string& folder, const FolderWalk& walk);
