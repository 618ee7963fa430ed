#include "audiotestutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "components/audio/audiofile.h"

namespace audiotest {

AudioBlock sine(int rate, int channels, double seconds, std::vector<double> freqs, double amplitude) {
    const int64_t frames = static_cast<int64_t>(seconds * rate);
    AudioBlock block;
    block.samples.resize(static_cast<size_t>(frames * channels));
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            double f = freqs[std::min<size_t>(static_cast<size_t>(c), freqs.size() - 1)];
            block.samples[static_cast<size_t>(i * channels + c)] =
                static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(2 * M_PI * f * static_cast<double>(i) / rate)));
        }
    return block;
}

void encode(const std::string& path, const AudioBlock& block, int rate, int channels,
            const std::function<void(AudioFile&)>& configure) {
    AudioFile w;
    if (configure) configure(w);
    ASSERT_TRUE(w.create(path, 0)) << path;
    w.setInputFormat(rate, channels);
    w.writeBlock(block);
    w.close();
    ASSERT_EQ(w.getError(), 0) << path;
}

Decoded decode(const std::string& path, int64_t blockSamples) {
    Decoded d;
    AudioFile r;
    if (!r.open(path, 0, 1)) {
        d.error = r.getError();
        return d;
    }
    d.rate = r.getPcmSampleRate();
    d.channels = r.getPcmChannels();
    d.length = r.getLength();
    for (int guard = 0; guard < 1000000; ++guard) {
        AudioBlock b = r.readBlock(blockSamples);
        if (r.getError() != 0) d.error = r.getError();
        if (b.empty()) break;
        d.samples.insert(d.samples.end(), b.samples.begin(), b.samples.end());
    }
    r.close();
    d.ok = true;
    return d;
}

double rms(const std::vector<int16_t>& s, int channels, int channel, int64_t from, int64_t to) {
    from = std::max<int64_t>(from, 0);
    to = std::min<int64_t>(to, static_cast<int64_t>(s.size()) / channels);
    if (to <= from) return 0;
    double sum = 0;
    for (int64_t i = from; i < to; ++i) {
        double v = s[static_cast<size_t>(i * channels + channel)] / 32768.0;
        sum += v * v;
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

int peak(const std::vector<int16_t>& s) {
    int p = 0;
    for (int16_t v : s) p = std::max(p, std::abs(static_cast<int>(v)));
    return p;
}

double dominantFrequency(const std::vector<int16_t>& s, int channels, int channel, int rate, int64_t from,
                         int64_t frames, const std::vector<double>& candidates) {
    double best = 0, bestPower = -1;
    for (double f : candidates) {
        double w = 2 * M_PI * f / rate, coeff = 2 * std::cos(w), q1 = 0, q2 = 0;
        for (int64_t i = from; i < from + frames && (i + 1) * channels <= static_cast<int64_t>(s.size()); ++i) {
            double q0 = coeff * q1 - q2 + s[static_cast<size_t>(i * channels + channel)];
            q2 = q1;
            q1 = q0;
        }
        double power = q1 * q1 + q2 * q2 - coeff * q1 * q2;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

}  // namespace audiotest
