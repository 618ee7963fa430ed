#include "components/audio/pcmconverter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

namespace audio {

// Without a resampler there is nothing to free, and calling into libav
// would load it for outputs that never resample.
PcmConverter::~PcmConverter() {
    if (swr_) swr_free(&swr_);
}

bool PcmConverter::configure(int inRate, int inChannels, int outRate, int outChannels) {
    if (inRate <= 0 || outRate <= 0 || inChannels < 1 || inChannels > 8 || outChannels < 1 || outChannels > 2)
        return false;
    if (swr_) swr_free(&swr_);
    inRate_ = inRate;
    inChannels_ = inChannels;
    outRate_ = outRate;
    outChannels_ = outChannels;
    if (inRate == outRate) return true;
    AVChannelLayout layout;
    av_channel_layout_default(&layout, outChannels);
    int rc = swr_alloc_set_opts2(&swr_, &layout, AV_SAMPLE_FMT_S16, outRate, &layout, AV_SAMPLE_FMT_S16, inRate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    if (rc < 0 || swr_init(swr_) < 0) {
        swr_free(&swr_);
        return false;
    }
    return true;
}

bool PcmConverter::convert(const int16_t* in, int64_t frames, std::vector<int16_t>& out) {
    out.clear();
    const int16_t* src = in;
    if (inChannels_ != outChannels_) {
        mixed_.resize(static_cast<size_t>(frames) * static_cast<size_t>(outChannels_));
        for (int64_t i = 0; i < frames; ++i) {
            const int16_t* f = in + i * inChannels_;
            int16_t* o = mixed_.data() + i * outChannels_;
            if (outChannels_ == 1) {
                int sum = 0;
                for (int c = 0; c < inChannels_; ++c) sum += f[c];
                o[0] = static_cast<int16_t>(sum / inChannels_);
            } else if (inChannels_ == 1) {
                o[0] = o[1] = f[0];
            } else {
                o[0] = f[0];
                o[1] = f[1];
            }
        }
        src = mixed_.data();
    }
    if (!swr_) {
        out.assign(src, src + frames * outChannels_);
        return true;
    }
    return resample(src, frames, out);
}

bool PcmConverter::flush(std::vector<int16_t>& out) {
    out.clear();
    if (!swr_) return true;
    return resample(nullptr, 0, out);
}

bool PcmConverter::resample(const int16_t* in, int64_t frames, std::vector<int16_t>& out) {
    int64_t room = swr_get_out_samples(swr_, static_cast<int>(frames));
    if (room < 0) return false;
    out.resize(static_cast<size_t>(room + 16) * static_cast<size_t>(outChannels_));
    auto* dst = reinterpret_cast<uint8_t*>(out.data());
    const auto* srcBytes = reinterpret_cast<const uint8_t*>(in);
    int got = swr_convert(swr_, &dst, static_cast<int>(room + 16), in ? &srcBytes : nullptr, static_cast<int>(frames));
    if (got < 0) return false;
    out.resize(static_cast<size_t>(got) * static_cast<size_t>(outChannels_));
    return true;
}

}  // namespace audio
