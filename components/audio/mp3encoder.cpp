// MP3 through libmp3lame, constant bitrate, in all five channel modes. The
// Info/LAME frame goes first and is rewritten at the end, so decoders know
// the exact length and trim the encoder's padding.

#include <lame/lame.h>

#include <algorithm>
#include <vector>

#include "components/audio/encoder.h"

namespace audio {

namespace {

class Mp3Encoder final : public Encoder {
public:
    explicit Mp3Encoder(const Mp3Config& c) : config_(c) {}
    ~Mp3Encoder() override {
        if (lame_) lame_close(lame_);
    }

    int sampleRate() const override { return config_.sampleRate; }
    int channels() const override { return config_.mode == Mp3ChannelMode::Mono ? 1 : 2; }

    bool begin(OutputFile& out) override {
        out_ = &out;
        lame_ = lame_init();
        if (!lame_) return false;
        lame_set_num_channels(lame_, channels());
        lame_set_in_samplerate(lame_, config_.sampleRate);
        lame_set_out_samplerate(lame_, config_.sampleRate);
        lame_set_brate(lame_, config_.kbps);
        lame_set_VBR(lame_, vbr_off);
        lame_set_bWriteVbrTag(lame_, 1);
        switch (config_.mode) {
        case Mp3ChannelMode::Mono: lame_set_mode(lame_, MONO); break;
        case Mp3ChannelMode::Stereo: lame_set_mode(lame_, STEREO); break;
        case Mp3ChannelMode::JointStereo: lame_set_mode(lame_, JOINT_STEREO); break;
        case Mp3ChannelMode::ForcedJointStereo:
            lame_set_mode(lame_, JOINT_STEREO);
            lame_set_force_ms(lame_, 1);
            break;
        case Mp3ChannelMode::DualChannel: lame_set_mode(lame_, DUAL_CHANNEL); break;
        }
        if (lame_init_params(lame_) < 0) return false;
        // The stream starts at the file's first byte: tags are added later by
        // the tag writers, which keep the audio as it is.
        startOffset_ = out.position();
        return true;
    }

    bool encode(const int16_t* in, int64_t frames) override {
        while (frames > 0) {
            // lame takes an int count; large blocks go in slices.
            int n = static_cast<int>(std::min<int64_t>(frames, 1 << 20));
            buffer_.resize(static_cast<size_t>(n) * 5 / 4 + 7200);
            int got = channels() == 2
                          ? lame_encode_buffer_interleaved(lame_, const_cast<short*>(in), n, buffer_.data(),
                                                           static_cast<int>(buffer_.size()))
                          : lame_encode_buffer(lame_, in, nullptr, n, buffer_.data(), static_cast<int>(buffer_.size()));
            if (got < 0 || (got > 0 && !out_->write(buffer_.data(), static_cast<size_t>(got)))) return false;
            in += static_cast<size_t>(n) * static_cast<size_t>(channels());
            frames -= n;
        }
        return true;
    }

    bool finish() override {
        buffer_.resize(7200 * 2);
        int got = lame_encode_flush(lame_, buffer_.data(), static_cast<int>(buffer_.size()));
        const bool flushed = got >= 0 && (got == 0 || out_->write(buffer_.data(), static_cast<size_t>(got)));
        // The tag frame is completed even when the flush found no room: a
        // file kept after a failed write then tells its length.
        unsigned char tag[2880];
        size_t tagSize = lame_get_lametag_frame(lame_, tag, sizeof tag);
        const bool tagged = tagSize == 0 || tagSize > sizeof tag || out_->writeAt(startOffset_, tag, tagSize);
        return flushed && tagged;
    }

private:
    Mp3Config config_;
    lame_t lame_ = nullptr;
    OutputFile* out_ = nullptr;
    uint64_t startOffset_ = 0;
    std::vector<unsigned char> buffer_;
};

}  // namespace

std::unique_ptr<Encoder> makeMp3Encoder(const Mp3Config& config) { return std::make_unique<Mp3Encoder>(config); }

}  // namespace audio
