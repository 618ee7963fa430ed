#include "components/recorder/autogain.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kMinGainDb = -30, kMaxGainDb = 20;
constexpr int kSilentPeak = 33;  // -60 dBFS

double Linear(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace

void AutoGain::configure(int sampleRate, int channels, int minDbfs, int maxDbfs, int stepDb) {
    channels_ = std::max(1, channels);
    windowFrames_ = std::max(1, sampleRate / 10);
    minPeak_ = 32768.0 * Linear(std::min(minDbfs, maxDbfs));
    maxPeak_ = 32768.0 * Linear(std::max(minDbfs, maxDbfs));
    step_ = std::abs(stepDb);
    gainDb_ = 0;
    gain_ = target_ = 1;
    glide_ = 0;
    counted_ = 0;
    inputPeak_ = 0;
    outputPeak_ = 0;
}

void AutoGain::process(int16_t* interleaved, int64_t frames) {
    for (int64_t f = 0; f < frames;) {
        const int64_t n = std::min(frames - f, windowFrames_ - counted_);
        int16_t* s = interleaved + f * channels_;
        const int64_t count = n * channels_;
        if (glide_ == 0 && gain_ == 1.0) {
            // Left as it is: only the peak is measured.
            for (int64_t i = 0; i < count; ++i) inputPeak_ = std::max(inputPeak_, std::abs(static_cast<int>(s[i])));
            outputPeak_ = std::max(outputPeak_, static_cast<double>(inputPeak_));
        } else if (glide_ == 0) {
            const auto g = static_cast<float>(gain_);
            int outPeak = 0;
            for (int64_t i = 0; i < count; ++i) {
                const int x = s[i];
                inputPeak_ = std::max(inputPeak_, std::abs(x));
                const int y = std::clamp(static_cast<int>(std::lrint(static_cast<float>(x) * g)), -32768, 32767);
                outPeak = std::max(outPeak, std::abs(y));
                s[i] = static_cast<int16_t>(y);
            }
            outputPeak_ = std::max(outputPeak_, static_cast<double>(outPeak));
        } else {
            for (int64_t i = 0; i < count; i += channels_) {
                if (glide_ != 0) {
                    gain_ += glide_;
                    if ((glide_ > 0 && gain_ >= target_) || (glide_ < 0 && gain_ <= target_)) {
                        gain_ = target_;
                        glide_ = 0;
                    }
                }
                for (int c = 0; c < channels_; ++c) {
                    const int x = s[i + c];
                    inputPeak_ = std::max(inputPeak_, std::abs(x));
                    const int y = std::clamp(static_cast<int>(std::lrint(x * gain_)), -32768, 32767);
                    outputPeak_ = std::max(outputPeak_, static_cast<double>(std::abs(y)));
                    s[i + c] = static_cast<int16_t>(y);
                }
            }
        }
        f += n;
        counted_ += n;
        if (counted_ < windowFrames_) continue;
        double next = gainDb_;
        if (outputPeak_ > maxPeak_) next -= step_;
        else if (outputPeak_ < minPeak_ && inputPeak_ > kSilentPeak) next += step_;
        next = std::clamp(next, kMinGainDb, kMaxGainDb);
        if (next != gainDb_) {
            gainDb_ = next;
            target_ = Linear(next);
            glide_ = (target_ - gain_) / static_cast<double>(windowFrames_);
        }
        counted_ = 0;
        inputPeak_ = 0;
        outputPeak_ = 0;
    }
}
