#include "library/playlistnavigation.h"

std::optional<int> NextPlaylistRow(int current, int count, bool loop) {
    if (count <= 0) return std::nullopt;
    if (current < 0) return 0;
    if (current >= count - 1) {
        if (!loop) return std::nullopt;
        return 0;
    }
    return current + 1;
}

std::optional<int> PreviousPlaylistRow(int current, int count, bool loop) {
    if (count <= 0) return std::nullopt;
    if (current >= count) return count - 1;
    if (current <= 0) {
        if (!loop) return std::nullopt;
        return count - 1;
    }
    return current - 1;
}

std::optional<int> EndOfPlayRow(int current, int count, bool loop, bool random, const std::function<int(int)>& draw) {
    if (count <= 0) return std::nullopt;
    if (!random) return NextPlaylistRow(current, count, loop);
    if (count == 1) return std::nullopt;
    int row = draw(count);
    while (row == current || row < 0 || row >= count) row = draw(count);
    return row;
}
