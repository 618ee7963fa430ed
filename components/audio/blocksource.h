#pragma once
// Decoded audio read block by block from the start or from a frame: an audio
// file, or a CD track. The playback session and the conversion copy loop
// read through this, so a track plays and converts as a file does.

#include <cstdint>
#include <string>

#include "components/audio/audioblock.h"

class BlockSource {
public:
    virtual ~BlockSource() = default;

    // Opens what name names (a file's path; a track's name is its source's
    // own); false when it cannot be read.
    virtual bool open(const std::string& name) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // To a frame; false when the source cannot go there.
    virtual bool seek(int64_t frame) = 0;
    // Exactly count samples (whole frames) unless the end comes first; an
    // empty block at the end. A count of zero or less reads one second.
    virtual AudioBlock readBlock(int64_t count) = 0;
    // True once a read failed (rather than reached the end).
    virtual bool readFailed() const = 0;
    // Sample frames.
    virtual int64_t length() const = 0;
    // Rate and channels of the blocks readBlock returns.
    virtual int pcmRate() const = 0;
    virtual int pcmChannels() const = 0;
    virtual int64_t durationMs() const = 0;
};
