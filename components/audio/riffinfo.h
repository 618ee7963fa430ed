#pragma once
// The text fields of a WAV file: the RIFF "LIST" chunk of type "INFO", whose
// sub-chunks (INAM, IART...) each hold one zero-terminated text.

#include <string>
#include <utility>
#include <vector>

#include "platform/atomicfile.h"

namespace audio {

// Four-character id and UTF-8 text, in file order.
using RiffInfoItems = std::vector<std::pair<std::string, std::string>>;

// The INFO items of a WAV file (none when it has no INFO list). False when
// the file cannot be read or is not RIFF WAVE; a damaged list gives the items
// before the damage.
bool readRiffInfo(const std::string& fileName, RiffInfoItems& items, std::string* error = nullptr);

// The LIST chunk of type INFO holding the non-empty items; empty when none
// is left.
std::string riffInfoChunk(const RiffInfoItems& items);

class OutputFile;
// Completes a WAV being written: its INFO list goes after the audio, at the
// end of out, and the RIFF size is made to cover it. For a file that ends
// with its data chunk (pad byte included), as the writer's WAVs do. False
// when the list could not be written: out is then as it was without it
// (unless the RIFF size itself could not be written: out has then failed).
bool appendRiffInfo(OutputFile& out, const RiffInfoItems& items);

// Replaces the file's INFO list by one holding the non-empty items, placed
// before the audio, and fixes the RIFF size. The file is rewritten
// atomically: on failure it is unchanged.
AtomicWriteResult writeRiffInfo(const std::string& fileName, const RiffInfoItems& items);

}  // namespace audio
