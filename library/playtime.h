#pragma once
// The position bars of both players run from 0 to 1000 over a track; the
// main window's time text reads "hh:mm:ss" (FormatPlayTime).

#include <cstdint>
#include <string>

#include "platform/texthelpers.h"

// The bar's per mille of a position in a track of length frames; lengths
// beyond 32 bits are brought down with the position. -1 when the length is
// 0, as the platform's MulDiv answers a division by zero.
int PerMille(int64_t position, int64_t length);
// The frame at a per mille of length (clamped to 0..1000).
int64_t PositionAt(int perMille, int64_t length);
