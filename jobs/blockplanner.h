#pragma once
// How the conversion worker cuts a file into blocks. A plain function of the
// file's length, the position reached and the fade and normalize options, so
// that every rule can be checked without a file.
//
// Blocks hold four seconds of frames' worth of samples (two seconds of
// stereo); with fade on the first block holds the fade-in time, and near the
// end the rest of the file is read as one block (within fade-out + 1 s with
// fade on, within 16 s with normalize alone), so that a fade covers whole
// blocks.

#include <cstdint>

struct BlockPlanInput {
    int64_t length = 0;          // L, sample frames of the source
    int64_t position = 0;        // P, frames read so far
    int64_t framesPerSecond = 0; // R
    int channels = 2;            // C
    bool fade = false;
    int fadeIn = 0, fadeOut = 0; // seconds
    bool normalize = false;
};

struct BlockPlan {
    int64_t request = 0;   // samples over all channels, always > 0
    bool restOfFile = false;
    bool fadeIn = false;   // ramp 0 -> 100 % over the block
    bool fadeOut = false;  // ramp 100 -> 0 % over the block
};

// Frames per second from the reader's length (frames) and duration (ms),
// rounded; the PCM rate when the two cannot tell it.
int64_t FramesPerSecond(int64_t length, int64_t durationMs, int pcmRate);

BlockPlan PlanBlock(const BlockPlanInput& in);
