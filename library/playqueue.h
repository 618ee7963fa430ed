#pragma once
// The play queue file "templay.dat": one 121-byte record per row of the
// track list when play was started, in list order, no header. A record is a
// length byte and up to 120 bytes of the path; the bytes after the path are
// zero. Longer paths are cut at a character boundary, so the file cannot
// name them: the player keeps the full paths in memory and goes by those.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/atomicfile.h"

inline constexpr std::size_t kPlayQueueRecordSize = 121;
inline constexpr std::size_t kPlayQueuePathBytes = 120;

std::string EncodePlayQueue(const std::vector<std::string>& paths);
// Writes the whole file (created or replaced).
AtomicWriteResult WritePlayQueue(const std::string& file, const std::vector<std::string>& paths);
