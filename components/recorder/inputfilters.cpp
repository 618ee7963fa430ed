#include "components/recorder/inputfilters.h"

#include <algorithm>
#include <cmath>

namespace {

enum class Kind { Notch, HighPass, LowPass };

// The cookbook biquads, normalised by a0. The notch is narrow (Q 10) so that
// it takes the hum and leaves the music; the passes are Butterworth.
bool Design(Kind kind, double frequency, int rate, double& b0, double& b1, double& b2, double& a1, double& a2) {
    if (!(frequency > 0) || frequency >= 0.45 * rate) return false;
    const double w = 2 * M_PI * frequency / rate;
    const double cw = std::cos(w);
    const double alpha = std::sin(w) / (2 * (kind == Kind::Notch ? 10.0 : M_SQRT1_2));
    const double a0 = 1 + alpha;
    switch (kind) {
    case Kind::Notch: b0 = 1; b1 = -2 * cw; b2 = 1; break;
    case Kind::HighPass: b0 = (1 + cw) / 2; b1 = -(1 + cw); b2 = (1 + cw) / 2; break;
    case Kind::LowPass: b0 = (1 - cw) / 2; b1 = 1 - cw; b2 = (1 - cw) / 2; break;
    }
    b0 /= a0;
    b1 /= a0;
    b2 /= a0;
    a1 = -2 * cw / a0;
    a2 = (1 - alpha) / a0;
    return true;
}

}  // namespace

void InputFilters::configure(int sampleRate, int channels, FilterSwitch notch, FilterSwitch highPass,
                             FilterSwitch lowPass) {
    stages_.clear();
    channels_ = std::max(1, channels);
    const std::pair<Kind, FilterSwitch> wanted[] = {
        {Kind::Notch, notch}, {Kind::HighPass, highPass}, {Kind::LowPass, lowPass}};
    for (const auto& [kind, filter] : wanted) {
        Stage s{};
        if (filter.on && Design(kind, filter.frequency, sampleRate, s.b0, s.b1, s.b2, s.a1, s.a2)) {
            s.state.assign(static_cast<size_t>(channels_), {0, 0, 0, 0});
            stages_.push_back(std::move(s));
        }
    }
}

void InputFilters::process(int16_t* interleaved, int64_t frames) {
    if (stages_.empty()) return;
    for (int c = 0; c < channels_; ++c) {
        int16_t* p = interleaved + c;
        for (int64_t i = 0; i < frames; ++i, p += channels_) {
            double x = *p;
            for (Stage& s : stages_) {
                auto& [x1, x2, y1, y2] = s.state[static_cast<size_t>(c)];
                double y = s.b0 * x + s.b1 * x1 + s.b2 * x2 - s.a1 * y1 - s.a2 * y2;
                // A tail decaying in silence would sink into denormals,
                // which cost a hundred times more to compute.
                if (std::abs(y) < 1e-12) y = 0;
                x2 = x1;
                x1 = x;
                y2 = y1;
                y1 = y;
                x = y;
            }
            *p = static_cast<int16_t>(std::lround(std::clamp(x, -32768.0, 32767.0)));
        }
    }
}
