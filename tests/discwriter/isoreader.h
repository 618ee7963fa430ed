#pragma once
// Reads an ISO image back for the tests, without mounting it: the tree of
// its last session with each file's bytes, and its volume ids.

#include <map>
#include <string>

struct IsoContents {
    bool readable = false;
    bool hasJoliet = false;
    bool hasRockRidge = false;
    std::string volumeId;        // as the reader presents it
    std::string primaryVolumeId;  // the d-characters of the primary descriptor
    std::string jolietVolumeId;   // the Joliet descriptor's, as UTF-8
    // "/a/b.txt" -> contents; folders end in "/" and hold "".
    std::map<std::string, std::string> entries;
    // The same paths -> their permission bits (the Rock Ridge modes).
    std::map<std::string, unsigned> modes;
};

// jolietNames: read the Joliet tree instead of Rock Ridge.
IsoContents ReadIso(const std::string& path, bool jolietNames = false);

// A folder's regular files and folders in the same form, with the given
// prefix ("/name").
void ReadFolderTree(const std::string& folder, const std::string& prefix, std::map<std::string, std::string>* out);

// Points the record of the root's folder `name` (its ISO name) at the root
// itself, so that the folder leads back into its own tree: a damaged image.
bool MakeFolderLoop(const std::string& iso, const std::string& name);
