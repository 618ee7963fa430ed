#pragma once
// The text of an audio disc image's cue sheet and the rules it follows, so
// that libcdio (our ripper), cdrdao and players read the same table:
// one FILE line naming the .bin beside the cue by its own base name, AUDIO
// tracks with INDEX 01 only (no PREGAP: libcdio ignores it when it places
// tracks), CR LF line ends, no byte order mark. CD-TEXT (TITLE, PERFORMER)
// is Latin-1, the only encoding the readers take.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cueimage {

struct Track {
    int64_t firstSector = 0;  // within the .bin
    std::string title, performer;  // UTF-8; empty: no line
};

// A text as a cue can carry it: Latin-1, "?" for what Latin-1 cannot hold
// (and for bytes that are not UTF-8), '"' as "'" (a quote cannot be
// escaped), control characters removed, so no text can end its line early
// or add lines of its own.
std::string CdText(std::string_view utf8);

// "mm:ss:ff" of a sector: 75 sectors a second.
std::string Msf(int64_t sector);

std::string RenderCue(const std::string& binName, const std::vector<Track>& tracks);

}  // namespace cueimage
