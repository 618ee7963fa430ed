#pragma once
// Which row the playlist window plays next. The current row is a plain row
// number that may be -1 (none yet) or past the end after rows were removed;
// every answer is a row that exists, or none when playing stops.

#include <functional>
#include <optional>

// Next: row 0 after the last row when looping, else none there. From -1, row
// 0; from past the end, as from the last row.
std::optional<int> NextPlaylistRow(int current, int count, bool loop);

// Previous: the last row before row 0 when looping, else none there. From -1
// the last row when looping, else none; from past the end, the last row.
std::optional<int> PreviousPlaylistRow(int current, int count, bool loop);

// The row after a track has played to its end. Random play draws from all
// rows until the draw differs from the current row (never ending by itself,
// whatever loop says); with a single row it stops. draw(n) answers a row in
// 0..n-1.
std::optional<int> EndOfPlayRow(int current, int count, bool loop, bool random, const std::function<int(int)>& draw);
