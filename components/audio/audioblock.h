#pragma once
// The unit of audio that every component hands on: interleaved signed 16-bit
// PCM in native byte order. The element count counts samples over all
// channels, so a position in frames advances by size() / channels. An empty
// block ends a stream. Producers return blocks by value; the caller owns them.

#include <cstdint>
#include <vector>

struct AudioBlock {
    std::vector<int16_t> samples;

    AudioBlock() = default;
    explicit AudioBlock(std::vector<int16_t> s) : samples(std::move(s)) {}

    bool empty() const { return samples.empty(); }
    int64_t size() const { return static_cast<int64_t>(samples.size()); }
    // The last valid index, as callers that count "upper bound + 1" expect.
    int64_t upperBound() const { return size() - 1; }
    int64_t byteCount() const { return size() * static_cast<int64_t>(sizeof(int16_t)); }
    int64_t frames(int channels) const { return channels > 0 ? size() / channels : 0; }
};

// Error codes kept by the components: 0 after a good call. No component throws
// for an expected failure. Code 1 is the "file-open" kind that callers tell
// apart from the others.
enum AudioError : int {
    AudioErrorNone = 0,
    AudioErrorFileOpen = 1,       // missing or unreadable file
    AudioErrorNotAudio = 2,       // not an audio file, no audio stream
    AudioErrorUnsupported = 3,    // format or parameters not supported
    AudioErrorDecode = 4,
    AudioErrorCreate = 5,         // the output file could not be created
    AudioErrorWrite = 6,
    AudioErrorNotOpen = 7,
    AudioErrorNoDevice = 8,
    AudioErrorDeviceOpen = 9,
    AudioErrorDrive = 10,         // drive or disc error
};
