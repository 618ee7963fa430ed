#include "components/recorder/silencegate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kWindowMs = 10;

int PeakOf(double dbfs) { return static_cast<int>(std::lround(32768.0 * std::pow(10.0, dbfs / 20.0))); }

int WindowsOf(int ms) { return std::max(1, (ms + kWindowMs - 1) / kWindowMs); }

}  // namespace

double GateThresholdDbfs(int level) {
    const int l = std::clamp(level, -92, 0);
    return -96.0 + (l + 92) * 56.0 / 91.0;
}

void SilenceGate::configure(int sampleRate, int channels, int attackMs, int attackLevel, int releaseMs,
                            int releaseLevel) {
    channels_ = std::max(1, channels);
    windowSamples_ = static_cast<size_t>(std::max(1, sampleRate * kWindowMs / 1000) * channels_);
    attackWindows_ = WindowsOf(std::max(0, attackMs));
    releaseWindows_ = WindowsOf(std::max(0, releaseMs));
    attackPeak_ = PeakOf(GateThresholdDbfs(attackLevel));
    releasePeak_ = PeakOf(GateThresholdDbfs(releaseLevel));
    open_ = false;
    below_ = 0;
    held_.clear();
    partial_.clear();
}

void SilenceGate::process(const int16_t* interleaved, int64_t frames, std::vector<int16_t>& kept) {
    const size_t count = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
    size_t used = 0;
    if (!partial_.empty()) {
        used = std::min(count, windowSamples_ - partial_.size());
        partial_.insert(partial_.end(), interleaved, interleaved + used);
        if (partial_.size() < windowSamples_) return;
        window(partial_.data(), kept);
        partial_.clear();
    }
    for (; used + windowSamples_ <= count; used += windowSamples_) window(interleaved + used, kept);
    partial_.assign(interleaved + used, interleaved + count);
}

void SilenceGate::flush(std::vector<int16_t>& kept) {
    if (open_) kept.insert(kept.end(), partial_.begin(), partial_.end());
    partial_.clear();
}

void SilenceGate::window(const int16_t* samples, std::vector<int16_t>& kept) {
    int peak = 0;
    for (size_t i = 0; i < windowSamples_; ++i) peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    if (!open_) {
        if (peak >= attackPeak_) {
            open_ = true;
            below_ = 0;
            kept.insert(kept.end(), held_.begin(), held_.end());
            held_.clear();
        } else {
            held_.insert(held_.end(), samples, samples + windowSamples_);
            const size_t limit = static_cast<size_t>(attackWindows_) * windowSamples_;
            if (held_.size() > limit) held_.erase(held_.begin(), held_.begin() + static_cast<long>(held_.size() - limit));
            return;
        }
    }
    kept.insert(kept.end(), samples, samples + windowSamples_);
    below_ = peak < releasePeak_ ? below_ + 1 : 0;
    if (below_ >= releaseWindows_) open_ = false;
}
