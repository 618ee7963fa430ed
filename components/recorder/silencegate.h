#pragma once
// Leaves out the silence of a recording. The level is measured in 10 ms
// windows (the peak over all channels). The gate opens as soon as a window
// reaches the attack level and then also keeps the attack time of audio
// before it, so the soft start of a note or a word is not cut; it closes
// once the level has stayed below the release level for the release time,
// which is kept too. A pause shorter than attack and release together thus
// stays whole, and a longer one shrinks to their sum.
//
// Levels are given on the settings' scale, -92..0, which spans the gate
// thresholds that make sense for 16-bit audio: -92 opens at -96 dBFS (only
// digital silence is left out), -1 (the default) at -40 dBFS, below any
// speech or music and above the hiss of a quiet input, and 0 at about -39.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

double GateThresholdDbfs(int level);

class SilenceGate {
public:
    void configure(int sampleRate, int channels, int attackMs, int attackLevel, int releaseMs, int releaseLevel);
    // Appends the frames of input that pass to kept. A window that is not
    // complete yet waits for the next call.
    void process(const int16_t* interleaved, int64_t frames, std::vector<int16_t>& kept);
    // The end of the stream: a waiting partial window passes when the gate
    // is open.
    void flush(std::vector<int16_t>& kept);
    bool isOpen() const { return open_; }

private:
    void window(const int16_t* samples, std::vector<int16_t>& kept);

    int channels_ = 2;
    size_t windowSamples_ = 882;
    int attackWindows_ = 30, releaseWindows_ = 10;
    int attackPeak_ = 327, releasePeak_ = 327;
    bool open_ = false;
    int below_ = 0;                  // windows below the release level while open
    std::deque<int16_t> held_;       // up to the attack time of audio while closed
    std::vector<int16_t> partial_;   // the start of the next window
};
