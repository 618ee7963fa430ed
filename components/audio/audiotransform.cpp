#include "components/audio/audiotransform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "components/audio/audiofile.h"

namespace {

// Rounds half away from zero without a library call, so that the loops over
// a block compile to vector code (see CMakeLists.txt): these run over every
// sample of a job.
int16_t scaled(int16_t sample, float gain) {
    const float v = std::min(std::max(static_cast<float>(sample) * gain, -32768.0f), 32767.0f);
    return static_cast<int16_t>(v + std::copysign(0.5f, v));
}

int blockPeak(const AudioBlock& block) {
    int peak = 0;
    for (int16_t s : block.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

}  // namespace

void AudioTransform::normalize(AudioBlock& block, bool, float percent) const {
    const int peak = referencePeak_ > 0 ? referencePeak_ : blockPeak(block);
    if (peak == 0) return;
    const float gain = std::clamp(percent, 0.0f, 100.0f) / 100.0f * 32767.0f / static_cast<float>(peak);
    for (int16_t& s : block.samples) s = scaled(s, gain);
}

void AudioTransform::fade(AudioBlock& block, float fromPercent, float toPercent) const {
    const int ch = std::max(channels, 1);
    const int64_t frames = block.size() / ch;
    if (frames == 0) return;
    const float from = fromPercent / 100.0f, to = toPercent / 100.0f;
    const float step = frames > 1 ? (to - from) / static_cast<float>(frames - 1) : 0.0f;
    int16_t* s = block.samples.data();
    // Mono and stereo on their own, so that the loops become vector code.
    if (ch == 1) {
        for (int64_t i = 0; i < frames; ++i) s[i] = scaled(s[i], from + step * static_cast<float>(i));
    } else if (ch == 2) {
        for (int64_t i = 0; i < frames; ++i) {
            const float gain = from + step * static_cast<float>(i);
            s[2 * i] = scaled(s[2 * i], gain);
            s[2 * i + 1] = scaled(s[2 * i + 1], gain);
        }
    } else {
        for (int64_t i = 0; i < frames; ++i) {
            const float gain = from + step * static_cast<float>(i);
            for (int c = 0; c < ch; ++c) s[i * ch + c] = scaled(s[i * ch + c], gain);
        }
    }
    // A partial frame at the end belongs to the last gain.
    for (size_t i = static_cast<size_t>(frames * ch); i < block.samples.size(); ++i)
        block.samples[i] = scaled(block.samples[i], to);
}

namespace {

// Every channels-th sample from first.
AudioBlock everyNth(const AudioBlock& block, size_t first, size_t channels) {
    AudioBlock out;
    if (block.samples.size() <= first) return out;
    out.samples.resize((block.samples.size() - first + channels - 1) / channels);
    const int16_t* s = block.samples.data() + first;
    for (size_t i = 0; i < out.samples.size(); ++i) out.samples[i] = s[i * channels];
    return out;
}

}  // namespace

AudioBlock AudioTransform::getLeftChannel(const AudioBlock& block) const {
    if (channels <= 1) return block;
    return everyNth(block, 0, static_cast<size_t>(channels));
}

AudioBlock AudioTransform::getRightChannel(const AudioBlock& block) const {
    if (channels <= 1) return {};
    return everyNth(block, 1, static_cast<size_t>(channels));
}

AudioBlock AudioTransform::joinChannels(const AudioBlock& left, const AudioBlock& right) const {
    if (channels <= 1) return left;
    const size_t both = std::min(left.samples.size(), right.samples.size());
    const size_t frames = std::max(left.samples.size(), right.samples.size());
    AudioBlock out;
    out.samples.resize(frames * 2);
    int16_t* o = out.samples.data();
    for (size_t i = 0; i < both; ++i) {
        o[2 * i] = left.samples[i];
        o[2 * i + 1] = right.samples[i];
    }
    // The shorter one is padded with silence (resize made it zero).
    for (size_t i = both; i < left.samples.size(); ++i) o[2 * i] = left.samples[i];
    for (size_t i = both; i < right.samples.size(); ++i) o[2 * i + 1] = right.samples[i];
    return out;
}

void PeakMeter::add(const AudioBlock& block, int channels) {
    const int16_t* s = block.samples.data();
    const size_t n = block.samples.size();
    // Magnitudes as int, so that -32768 counts as 32768.
    int left = channelPeaks[0], right = channelPeaks[1];
    if (channels == 2) {
        for (size_t i = 0; i + 1 < n; i += 2) {
            left = std::max(left, std::abs(static_cast<int>(s[i])));
            right = std::max(right, std::abs(static_cast<int>(s[i + 1])));
        }
        if (n % 2) left = std::max(left, std::abs(static_cast<int>(s[n - 1])));
    } else {
        // One channel, or more than two: the first is the left, the rest the right.
        const size_t ch = static_cast<size_t>(std::max(channels, 1));
        for (size_t i = 0; i < n; ++i) {
            const int v = std::abs(static_cast<int>(s[i]));
            if (i % ch == 0) left = std::max(left, v);
            else right = std::max(right, v);
        }
        if (ch == 1) right = left;
    }
    channelPeaks = {left, right};
    peak = std::max({peak, left, right});
}

int measureFilePeaks(const std::string& fileName, PeakMeter& meter) {
    AudioFile reader;
    if (!reader.open(fileName)) return reader.getError();
    const int channels = reader.getPcmChannels();
    const int64_t blockSamples = static_cast<int64_t>(reader.getPcmSampleRate()) * channels * 4;
    for (;;) {
        AudioBlock block = reader.readBlock(blockSamples);
        if (reader.getError() != AudioErrorNone) return reader.getError();
        if (block.empty()) break;
        meter.add(block, channels);
    }
    return AudioErrorNone;
}
