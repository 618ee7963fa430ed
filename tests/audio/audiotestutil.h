#pragma once
// Test signals and measurements: sines made here, decoded files read back
// whole through AudioFile, levels and dominant frequencies.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/audio/audioblock.h"

class AudioFile;

namespace audiotest {

// Interleaved sine frames; channel c has frequency freqs[c] (or freqs[0]).
AudioBlock sine(int rate, int channels, double seconds, std::vector<double> freqs, double amplitude = 0.5);

// Writes a block of the given rate and channels through AudioFile, in the
// format that configure sets or, without one, that the file name's extension
// implies (16 bits for WAV).
void encode(const std::string& path, const AudioBlock& block, int rate = 44100, int channels = 2,
            const std::function<void(AudioFile&)>& configure = {});

struct Decoded {
    bool ok = false;
    int error = 0;
    int rate = 0;
    int channels = 0;
    int64_t length = 0;  // as the reader reports it
    std::vector<int16_t> samples;
    int64_t frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
};
// Reads a whole file through AudioFile in blocks of blockSamples.
Decoded decode(const std::string& path, int64_t blockSamples = 8192);

// Root mean square of one channel over [fromFrame, toFrame), full scale 1.0.
double rms(const std::vector<int16_t>& samples, int channels, int channel, int64_t fromFrame, int64_t toFrame);
int peak(const std::vector<int16_t>& samples);
// The frequency (within 1 Hz steps of candidates) with the most energy in
// one channel, by Goertzel over the given frames.
double dominantFrequency(const std::vector<int16_t>& samples, int channels, int channel, int rate,
                         int64_t fromFrame, int64_t frames, const std::vector<double>& candidates);

}  // namespace audiotest
