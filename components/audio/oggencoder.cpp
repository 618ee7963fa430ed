// Ogg Vorbis through libvorbis and libogg. With a bitrate the encoder runs
// in average-bitrate mode; a bitrate libvorbis refuses for the rate and
// channel count is replaced by the nearest one it accepts, so every choice
// the windows offer gives a file.

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <random>

#include "components/audio/encoder.h"

namespace audio {

namespace {

class OggEncoder final : public Encoder {
public:
    explicit OggEncoder(const OggConfig& c) : config_(c) {}
    ~OggEncoder() override { release(); }

    int sampleRate() const override { return config_.sampleRate; }
    int channels() const override { return config_.channels; }

    bool begin(OutputFile& out) override {
        out_ = &out;
        if (config_.channels < 1 || config_.channels > 2 || config_.sampleRate <= 0) return false;
        vorbis_info_init(&info_);
        infoReady_ = true;
        if (!setUp()) return false;
        vorbis_comment_init(&comment_);
        vorbis_analysis_init(&dsp_, &info_);
        vorbis_block_init(&dsp_, &block_);
        std::random_device seed;
        ogg_stream_init(&stream_, static_cast<int>(seed() & 0x7fffffff));
        codecReady_ = true;

        ogg_packet id, comments, books;
        vorbis_analysis_headerout(&dsp_, &comment_, &id, &comments, &books);
        ogg_stream_packetin(&stream_, &id);
        ogg_stream_packetin(&stream_, &comments);
        ogg_stream_packetin(&stream_, &books);
        // The headers end on a page of their own, as the format asks.
        ogg_page page;
        while (ogg_stream_flush(&stream_, &page) != 0)
            if (!writePage(page)) return false;
        return true;
    }

    bool encode(const int16_t* in, int64_t frames) override {
        while (frames > 0) {
            int n = static_cast<int>(std::min<int64_t>(frames, 4096));
            float** buf = vorbis_analysis_buffer(&dsp_, n);
            const int ch = config_.channels;
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < ch; ++c) buf[c][i] = in[i * ch + c] * (1.0f / 32768.0f);
            vorbis_analysis_wrote(&dsp_, n);
            if (!drain()) return false;
            in += static_cast<size_t>(n) * static_cast<size_t>(ch);
            frames -= n;
        }
        return true;
    }

    bool finish() override {
        vorbis_analysis_wrote(&dsp_, 0);
        return drain();
    }

private:
    // Tries the asked bitrate first, then its neighbours in 8 kbit/s steps,
    // the nearer ones (and the ones towards 128) first.
    bool setUp() {
        if (config_.kbps <= 0) {
            float q = static_cast<float>(std::clamp(config_.quality, 0, 1000)) / 1000.0f;
            return vorbis_encode_init_vbr(&info_, config_.channels, config_.sampleRate, q) == 0;
        }
        const int towards = config_.kbps > 128 ? -1 : 1;
        for (int step = 0; step <= 64; ++step) {
            for (int dir : {towards, -towards}) {
                if (step == 0 && dir != towards) continue;
                int kbps = config_.kbps + step * 8 * dir;
                if (kbps < 8 || kbps > 500) continue;
                if (tryManaged(kbps)) return true;
            }
        }
        // Nothing in managed mode: a quality that suits the asked bitrate.
        vorbis_info_clear(&info_);
        vorbis_info_init(&info_);
        return vorbis_encode_init_vbr(&info_, config_.channels, config_.sampleRate, 0.4f) == 0;
    }

    bool tryManaged(int kbps) {
        vorbis_info_clear(&info_);
        vorbis_info_init(&info_);
        long maxRate = config_.maxKbps > 0 ? std::max(config_.maxKbps, kbps) * 1000L : -1;
        long minRate = config_.minKbps > 0 ? std::min(config_.minKbps, kbps) * 1000L : -1;
        if (vorbis_encode_setup_managed(&info_, config_.channels, config_.sampleRate, maxRate, kbps * 1000L, minRate))
            return false;
        // Without limits, the bitrate is an estimate: the slow bit reservoir
        // is only needed to hold a minimum or maximum.
        if (minRate < 0 && maxRate < 0 && vorbis_encode_ctl(&info_, OV_ECTL_RATEMANAGE2_SET, nullptr)) return false;
        return vorbis_encode_setup_init(&info_) == 0;
    }

    bool drain() {
        while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
            vorbis_analysis(&block_, nullptr);
            vorbis_bitrate_addblock(&block_);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp_, &packet)) {
                ogg_stream_packetin(&stream_, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&stream_, &page) != 0)
                    if (!writePage(page)) return false;
                if (packet.e_o_s) {
                    while (ogg_stream_flush(&stream_, &page) != 0)
                        if (!writePage(page)) return false;
                }
            }
        }
        return true;
    }

    bool writePage(const ogg_page& page) {
        return out_->write(page.header, static_cast<size_t>(page.header_len)) &&
               out_->write(page.body, static_cast<size_t>(page.body_len));
    }

    void release() {
        if (codecReady_) {
            ogg_stream_clear(&stream_);
            vorbis_block_clear(&block_);
            vorbis_dsp_clear(&dsp_);
            vorbis_comment_clear(&comment_);
        }
        if (infoReady_) vorbis_info_clear(&info_);
        codecReady_ = infoReady_ = false;
    }

    OggConfig config_;
    OutputFile* out_ = nullptr;
    bool infoReady_ = false, codecReady_ = false;
    vorbis_info info_{};
    vorbis_comment comment_{};
    vorbis_dsp_state dsp_{};
    vorbis_block block_{};
    ogg_stream_state stream_{};
};

}  // namespace

std::unique_ptr<Encoder> makeOggEncoder(const OggConfig& config) { return std::make_unique<OggEncoder>(config); }

}  // namespace audio
