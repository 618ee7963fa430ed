#pragma once
// Front covers of 500 KB, as the files of a collection carry them, added to
// benchmark sources by TagLib, as a common tagger would: an APIC frame in
// an MP3's ID3v2 tag, a METADATA_BLOCK_PICTURE comment in an Ogg Vorbis
// file, a WM/Picture attribute in a WMA file. A WAV source keeps none.

#include <cstddef>
#include <string>

namespace bench {

inline constexpr std::size_t kCoverBytes = 500 * 1024;

// A JPEG's first bytes and then noise, which no compression shrinks.
std::string CoverBytes();

// Adds the cover to the file (by its extension); true when saved or when
// the kind of file carries none.
bool AddCover(const std::string& path);

}  // namespace bench
