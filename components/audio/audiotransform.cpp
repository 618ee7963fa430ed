#include "components/audio/audiotransform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "components/audio/audiofile.h"

namespace {

int16_t scaled(int16_t sample, float gain) {
    float v = std::nearbyint(static_cast<float>(sample) * gain);
    return static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
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
    for (int64_t i = 0; i < frames; ++i) {
        const float gain = from + step * static_cast<float>(i);
        for (int c = 0; c < ch; ++c) {
            int16_t& s = block.samples[static_cast<size_t>(i * ch + c)];
            s = scaled(s, gain);
        }
    }
    // A partial frame at the end belongs to the last gain.
    for (size_t i = static_cast<size_t>(frames * ch); i < block.samples.size(); ++i)
        block.samples[i] = scaled(block.samples[i], to);
}

AudioBlock AudioTransform::getLeftChannel(const AudioBlock& block) const {
    if (channels <= 1) return block;
    AudioBlock out;
    out.samples.reserve(block.samples.size() / 2 + 1);
    for (size_t i = 0; i < block.samples.size(); i += static_cast<size_t>(channels)) out.samples.push_back(block.samples[i]);
    return out;
}

AudioBlock AudioTransform::getRightChannel(const AudioBlock& block) const {
    if (channels <= 1) return {};
    AudioBlock out;
    out.samples.reserve(block.samples.size() / 2);
    for (size_t i = 1; i < block.samples.size(); i += static_cast<size_t>(channels)) out.samples.push_back(block.samples[i]);
    return out;
}

AudioBlock AudioTransform::joinChannels(const AudioBlock& left, const AudioBlock& right) const {
    if (channels <= 1) return left;
    const size_t frames = std::max(left.samples.size(), right.samples.size());
    AudioBlock out;
    out.samples.resize(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        out.samples[2 * i] = i < left.samples.size() ? left.samples[i] : 0;
        out.samples[2 * i + 1] = i < right.samples.size() ? right.samples[i] : 0;
    }
    return out;
}

void PeakMeter::add(const AudioBlock& block, int channels) {
    const size_t ch = static_cast<size_t>(std::max(channels, 1));
    for (size_t i = 0; i < block.samples.size(); ++i) {
        const int v = std::abs(static_cast<int>(block.samples[i]));
        const size_t c = std::min<size_t>(i % ch, 1);
        channelPeaks[c] = std::max(channelPeaks[c], v);
        peak = std::max(peak, v);
    }
    if (ch == 1) channelPeaks[1] = channelPeaks[0];
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
