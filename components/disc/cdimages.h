#pragma once
// Disc images that stand for CD drives: a .cue with its .bin beside it.
// The audio CD writer writes its images into CdImageFolder() and the
// grabber offers every image of that folder as a drive, so a disc written
// as an image can be ripped back at once.

#include <string>
#include <vector>

// $TUNEVALE_CD_IMAGES when set and not empty, else <data root>/cdimages.
// Not created here: a writer creates it before writing.
std::string CdImageFolder();

struct CdImageCheck {
    bool ok = false;
    std::string binPath;  // <folder>/<cue base name>.bin
    std::string reason;   // why the cue is not offered, for the log
};

// Only the kind of cue that libcdio reads right is offered: no byte-order
// mark, exactly one FILE line of type BINARY naming the cue's own base name
// + ".bin" (no folder part), AUDIO tracks only, one INDEX 01 per track with
// strictly increasing times, and the .bin a regular file. The FILE line is
// compared, never followed.
CdImageCheck CheckCdImage(const std::string& cuePath);

struct CdImageEntry {
    std::string cuePath;
    std::string binPath;
};
// The good images of a folder in name order; *rejected (when given) gets
// one "path: reason" line per cue left out.
std::vector<CdImageEntry> ListCdImages(const std::string& folder, std::vector<std::string>* rejected = nullptr);

// Where the block device major:minor is mounted, from the text of
// /proc/self/mountinfo (octal escapes such as \040 decoded); empty when it
// is not mounted.
std::string MountPointIn(const std::string& mountinfo, unsigned major, unsigned minor);
// The same for a device node, from this process's mount table.
std::string MountPointOf(const std::string& device);
