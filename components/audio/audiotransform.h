#pragma once
// Transforms of 16-bit PCM blocks: normalizing, fading, and splitting a
// stereo block into its channels and joining them again. Plain functions of
// the blocks apart from the format and the reference peak; one instance is
// used by one thread at a time.

#include <array>
#include <cstdint>
#include <string>

#include "components/audio/audioblock.h"

class AudioTransform {
public:
    bool readyFlag = false;  // set by the windows at form show; nothing reads it
    // Format of the blocks to come. Channels decide what a frame is for
    // fade, split and join.
    int sampleRate = 44100;
    int channels = 2;

    // Scales the block so that the peak becomes percent (0..100) of full
    // scale. The peak is the reference peak when one is set, else the
    // block's own. A silent block is left as it is. The second argument is
    // the callers' fixed -1 and means nothing.
    void normalize(AudioBlock& block, bool = true, float percent = 100.0f) const;

    // A whole file gets one gain: the caller measures its peak first (see
    // measureFilePeaks) and sets it here, so that quiet passages stay quiet
    // instead of being raised block by block. 0 clears it.
    void setReferencePeak(int peak) { referencePeak_ = peak; }

    // A linear gain ramp over the block's frames, from fromPercent at the
    // first frame to toPercent at the last; every channel of a frame gets
    // the same gain.
    void fade(AudioBlock& block, float fromPercent, float toPercent) const;

    // One-channel blocks of a stereo block. With channels 1 the left channel
    // is the block itself and the right one is empty.
    AudioBlock getLeftChannel(const AudioBlock& block) const;
    AudioBlock getRightChannel(const AudioBlock& block) const;
    // Interleaves two one-channel blocks; the shorter one is padded with
    // silence. With channels 1 the result is the left block.
    AudioBlock joinChannels(const AudioBlock& left, const AudioBlock& right) const;

private:
    int referencePeak_ = 0;
};

// The largest magnitude per channel (up to two) and over all channels.
struct PeakMeter {
    std::array<int, 2> channelPeaks{};
    int peak = 0;

    void add(const AudioBlock& block, int channels);
};

// Reads a whole file and measures its peaks. 0, or the reader's AudioError
// code when the file cannot be opened or read to its end.
int measureFilePeaks(const std::string& fileName, PeakMeter& meter);
