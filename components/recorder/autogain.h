#pragma once
// Keeps the recording's peaks inside a range. Every 100 ms the peak of what
// went out is compared with the range: above its top the gain steps down,
// below its bottom it steps up, by the step in dB, between -30 and +20 dB.
// The gain glides to its new value over the next 100 ms, so a step is not
// heard as a click, and samples are limited to full scale. Near-silence
// (below -60 dBFS) never raises the gain: hiss is not to be pumped up.

#include <cstdint>

class AutoGain {
public:
    void configure(int sampleRate, int channels, int minDbfs, int maxDbfs, int stepDb);
    void process(int16_t* interleaved, int64_t frames);

private:
    int channels_ = 2;
    int64_t windowFrames_ = 4410;
    double minPeak_ = 0, maxPeak_ = 0, step_ = 4;
    double gainDb_ = 0;
    double gain_ = 1, target_ = 1, glide_ = 0;  // linear gain, its goal and per-frame change
    int64_t counted_ = 0;
    int inputPeak_ = 0;
    double outputPeak_ = 0;
};
