#pragma once
// Brings interleaved 16-bit PCM from one rate and channel count to another:
// one channel is copied to both, two are averaged to one, and the rate is
// changed by libswresample. Used by the writer for its input format.

#include <cstdint>
#include <vector>

struct SwrContext;

namespace audio {

class PcmConverter {
public:
    PcmConverter() = default;
    ~PcmConverter();
    PcmConverter(const PcmConverter&) = delete;
    PcmConverter& operator=(const PcmConverter&) = delete;

    bool configure(int inRate, int inChannels, int outRate, int outChannels);
    int inRate() const { return inRate_; }
    int inChannels() const { return inChannels_; }
    bool passThrough() const { return inRate_ == outRate_ && inChannels_ == outChannels_; }

    // Appends the converted frames to out (cleared first).
    bool convert(const int16_t* in, int64_t frames, std::vector<int16_t>& out);
    // The resampler's delayed tail, ending the current input.
    bool flush(std::vector<int16_t>& out);

private:
    bool resample(const int16_t* in, int64_t frames, std::vector<int16_t>& out);

    int inRate_ = 0, inChannels_ = 0, outRate_ = 0, outChannels_ = 0;
    SwrContext* swr_ = nullptr;
    std::vector<int16_t> mixed_;
};

}  // namespace audio
