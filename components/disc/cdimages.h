#pragma once
// Disc images that stand for CD drives: a .cue with its .bin beside it.
// The audio CD writer writes its images into CdImageFolder() and the
// grabber offers every image of that folder as a drive, so a disc written
// as an image can be ripped back at once; images other rippers wrote in
// the same form are offered too.
//
// The cue is read here and nowhere else: the list and the grabber take the
// table, the CD-TEXT and the .bin from one check, and nothing a cue names
// is opened but its one .bin beside it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posixfile.h"

// $TUNEVALE_CD_IMAGES when set and not empty, else <data root>/cdimages.
// Not created here: a writer creates it before writing.
std::string CdImageFolder();

// The longest image offered: what the minutes, seconds and frames of a cue
// can address (100 minutes), well past any disc.
constexpr int32_t CdImageMaxSectors = 100 * 60 * 75;
constexpr int CdImageSectorBytes = 2352;

struct CdCueTrack {
    int number = 0;
    int32_t lsn = 0;        // its INDEX 01, in sectors from the start of the .bin
    std::string title;      // UTF-8
    std::string performer;  // UTF-8
};

struct CdCueSheet {
    std::string fileName;  // the FILE line's name, in UTF-8
    std::string title;     // the disc's, UTF-8
    std::string performer;
    std::vector<CdCueTrack> tracks;
};

// Reads a cue sheet's text: UTF-8 when it is valid UTF-8 (a byte-order
// mark is skipped), else Latin-1. Keywords in any case, blanks or tabs
// between the words. Returns why the sheet cannot be read as an audio disc
// of one BINARY file (several files, a data track, a CD-TEXT file, track
// numbers outside 1-99 or out of order, INDEX 01 times that do not
// increase, ...), empty when *sheet holds it. PREGAP and POSTGAP are
// silence the file does not hold: the tracks are read as the file holds
// them.
std::string ParseCdCueSheet(std::string_view bytes, CdCueSheet* sheet);

struct CdImageCheck {
    bool ok = false;
    std::string binPath;  // the file beside the cue named as the cue is
    std::string reason;   // why the cue is not offered, for the log
    CdCueSheet sheet;
    int32_t leadout = 0;  // sectors in the .bin
    // The .bin as it was checked, open for reading: the reader reads this
    // file and no other, whatever is renamed into its place meanwhile.
    std::shared_ptr<const PosixFile> bin;
};

// Only a cue whose one FILE line names the cue's own base name + ".bin"
// (ASCII case aside, no folder part) is offered, with that file a regular
// file beside it of whole sectors, not empty, no longer than a CD, and
// long enough for every track. Neither file is opened in a way that can
// block, and a FIFO, device or folder under either name is refused.
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
