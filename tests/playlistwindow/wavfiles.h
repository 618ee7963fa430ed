#pragma once
// Small WAV files made by the tests. Each sample holds its own frame number
// (modulo 30000), so a test can tell from a single sample where in the file
// the player was.

#include <cstdint>
#include <string>

#include "testenv.h"

inline void WriteWav(const std::string& path, int64_t frames, int rate = 8000, int channels = 1) {
    auto le = [](std::string& s, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
    };
    const uint32_t dataBytes = static_cast<uint32_t>(frames * channels * 2);
    std::string s = "RIFF";
    le(s, 36 + dataBytes, 4);
    s += "WAVEfmt ";
    le(s, 16, 4);
    le(s, 1, 2);
    le(s, static_cast<uint32_t>(channels), 2);
    le(s, static_cast<uint32_t>(rate), 4);
    le(s, static_cast<uint32_t>(rate * channels * 2), 4);
    le(s, static_cast<uint32_t>(channels * 2), 2);
    le(s, 16, 2);
    s += "data";
    le(s, dataBytes, 4);
    s.reserve(s.size() + dataBytes);
    for (int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) le(s, static_cast<uint32_t>(f % 30000), 2);
    testenv::writeFile(path, s);
}
