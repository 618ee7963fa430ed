// WMA version 2 in ASF through libavcodec and libavformat. The muxer writes
// through our OutputFile, so the file is the one made at create and a full
// disk shows up like any other write failure.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstdio>
#include <vector>

#include "components/audio/encoder.h"

namespace audio {

namespace {

class WmaEncoder final : public Encoder {
public:
    WmaEncoder(int rate, int channels, int kbps) : rate_(rate), channels_(channels), kbps_(kbps) {}
    ~WmaEncoder() override {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&codec_);
        if (format_) {
            if (format_->pb) {
                av_freep(&format_->pb->buffer);
                avio_context_free(&format_->pb);
            }
            avformat_free_context(format_);
        }
    }

    int sampleRate() const override { return rate_; }
    int channels() const override { return channels_; }

    bool begin(OutputFile& out) override {
        out_ = &out;
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
        if (!codec || rate_ <= 0 || rate_ > 48000 || channels_ < 1 || channels_ > 2) return false;
        if (avformat_alloc_output_context2(&format_, nullptr, "asf", nullptr) < 0) return false;
        format_->flags |= AVFMT_FLAG_BITEXACT | AVFMT_FLAG_CUSTOM_IO;
        constexpr int kBuffer = 1 << 16;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kBuffer));
        if (!buffer) return false;
        format_->pb = avio_alloc_context(buffer, kBuffer, 1, this, nullptr, &WmaEncoder::writePacket, &WmaEncoder::seekOutput);
        if (!format_->pb) {
            av_free(buffer);
            return false;
        }
        AVStream* stream = avformat_new_stream(format_, nullptr);
        codec_ = avcodec_alloc_context3(codec);
        if (!stream || !codec_) return false;
        codec_->sample_rate = rate_;
        codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        av_channel_layout_default(&codec_->ch_layout, channels_);
        codec_->bit_rate = static_cast<int64_t>(kbps_) * 1000;
        codec_->time_base = AVRational{1, rate_};
        codec_->flags |= AV_CODEC_FLAG_BITEXACT;
        if (format_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(codec_, codec, nullptr) < 0) return false;
        if (avcodec_parameters_from_context(stream->codecpar, codec_) < 0) return false;
        stream->time_base = codec_->time_base;
        if (avformat_write_header(format_, nullptr) < 0 || out.failed()) return false;

        frameSize_ = codec_->frame_size > 0 ? codec_->frame_size : 2048;
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!frame_ || !packet_) return false;
        pending_.assign(static_cast<size_t>(channels_), {});
        return true;
    }

    bool encode(const int16_t* in, int64_t frames) override {
        for (int c = 0; c < channels_; ++c) {
            auto& plane = pending_[static_cast<size_t>(c)];
            size_t at = plane.size();
            plane.resize(at + static_cast<size_t>(frames));
            for (int64_t i = 0; i < frames; ++i) plane[at + static_cast<size_t>(i)] = in[i * channels_ + c] * (1.0f / 32768.0f);
        }
        size_t used = 0;
        const size_t have = pending_[0].size();
        while (have - used >= static_cast<size_t>(frameSize_)) {
            if (!sendFrame(used, frameSize_)) return false;
            used += static_cast<size_t>(frameSize_);
        }
        for (auto& plane : pending_) plane.erase(plane.begin(), plane.begin() + static_cast<std::ptrdiff_t>(used));
        return true;
    }

    bool finish() override {
        // The encoder pads a short last frame with silence itself.
        if (!pending_[0].empty() && !sendFrame(0, static_cast<int>(pending_[0].size()))) return false;
        for (auto& plane : pending_) plane.clear();
        if (avcodec_send_frame(codec_, nullptr) < 0 || !receivePackets()) return false;
        if (av_write_trailer(format_) < 0) return false;
        avio_flush(format_->pb);
        return !out_->failed() && format_->pb->error == 0;
    }

private:
    bool sendFrame(size_t offset, int count) {
        av_frame_unref(frame_);
        frame_->nb_samples = count;
        frame_->format = AV_SAMPLE_FMT_FLTP;
        frame_->sample_rate = rate_;
        if (av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout) < 0) return false;
        if (av_frame_get_buffer(frame_, 0) < 0) return false;
        for (int c = 0; c < channels_; ++c)
            std::copy_n(pending_[static_cast<size_t>(c)].data() + offset, count, reinterpret_cast<float*>(frame_->data[c]));
        frame_->pts = nextPts_;
        nextPts_ += count;
        if (avcodec_send_frame(codec_, frame_) < 0) return false;
        return receivePackets();
    }

    bool receivePackets() {
        for (;;) {
            int rc = avcodec_receive_packet(codec_, packet_);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) return false;
            packet_->stream_index = 0;
            av_packet_rescale_ts(packet_, codec_->time_base, format_->streams[0]->time_base);
            rc = av_write_frame(format_, packet_);
            av_packet_unref(packet_);
            if (rc < 0 || out_->failed()) return false;
        }
    }

    static int writePacket(void* opaque, uint8_t* data, int size) {
        auto* self = static_cast<WmaEncoder*>(opaque);
        return self->out_->write(data, static_cast<size_t>(size)) ? size : AVERROR(EIO);
    }

    static int64_t seekOutput(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<WmaEncoder*>(opaque);
        OutputFile& out = *self->out_;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return static_cast<int64_t>(out.size());
        case SEEK_SET: break;
        case SEEK_CUR: offset += static_cast<int64_t>(out.position()); break;
        case SEEK_END: offset += static_cast<int64_t>(out.size()); break;
        default: return AVERROR(EINVAL);
        }
        if (offset < 0 || !out.seek(static_cast<uint64_t>(offset))) return AVERROR(EIO);
        return offset;
    }

    int rate_, channels_, kbps_;
    OutputFile* out_ = nullptr;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int frameSize_ = 2048;
    int64_t nextPts_ = 0;
    std::vector<std::vector<float>> pending_;
};

}  // namespace

std::unique_ptr<Encoder> makeWmaEncoder(int sampleRate, int channels, int kbps) {
    return std::make_unique<WmaEncoder>(sampleRate, channels, kbps);
}

}  // namespace audio
