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

// The ASF muxer's data packet size, which it also writes into the header.
constexpr int kPacketSize = 3200;

uint64_t Le64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

void PutLe64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

constexpr uint8_t kFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                             0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t kDataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// An ASF output that lost a write holds fewer packets than the header the
// muxer wrote at its end counts: the output is cut to its whole packets and
// the header's sizes, packet counts and durations are made to match them.
// The packets of a constant-bitrate stream hold equal stretches of audio, so
// the durations shrink in proportion, right to about one packet.
void FinishKeptAsf(OutputFile& out) {
    uint8_t head[30];
    if (!out.readAt(0, head, sizeof head)) return;
    const uint64_t headerSize = Le64(head + 16);
    if (headerSize < sizeof head || headerSize > (uint64_t{1} << 20)) return;
    std::vector<uint8_t> header(headerSize + 50);
    if (!out.readAt(0, header.data(), header.size())) return;
    uint8_t* data = header.data() + headerSize;
    if (!std::equal(std::begin(kDataGuid), std::end(kDataGuid), data)) return;
    uint8_t* props = nullptr;
    for (uint64_t at = sizeof head; at + 104 <= headerSize;) {
        const uint64_t size = Le64(header.data() + at + 16);
        if (std::equal(std::begin(kFilePropertiesGuid), std::end(kFilePropertiesGuid), header.data() + at)) {
            props = header.data() + at;
            break;
        }
        if (size < 24 || size > headerSize - at) return;
        at += size;
    }
    if (!props) return;
    const uint32_t packetSize = props[92] | props[93] << 8 | props[94] << 16 | static_cast<uint32_t>(props[95]) << 24;
    if (packetSize == 0) return;
    const uint64_t dataStart = headerSize + 50;
    const uint64_t kept = out.size() > dataStart ? (out.size() - dataStart) / packetSize : 0;
    const uint64_t claimed = Le64(props + 56);
    const uint64_t preroll = Le64(props + 80) * 10000;  // ms to 100 ns
    const uint64_t play = Le64(props + 64), send = Le64(props + 72);
    auto scaled = [&](uint64_t total, uint64_t base) {
        if (claimed == 0 || total <= base) return total;
        return base + static_cast<uint64_t>(static_cast<unsigned __int128>(total - base) * kept / claimed);
    };
    if (kept < claimed) {
        PutLe64(props + 64, scaled(play, preroll));
        PutLe64(props + 72, scaled(send, 0));
    }
    const uint64_t fileSize = dataStart + kept * packetSize;
    PutLe64(props + 40, fileSize);
    PutLe64(props + 56, kept);
    PutLe64(data + 16, 50 + kept * packetSize);
    PutLe64(data + 40, kept);
    if (!out.cutTo(fileSize)) return;
    out.writeAt(0, header.data(), header.size());
}

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
        // Whole packets of the muxer's default size, so that every write
        // after the header ends at a packet's end: a write lost to a full
        // disk loses whole packets only.
        constexpr int kBuffer = 20 * kPacketSize;
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
        if (avformat_write_header(format_, nullptr) < 0) return false;
        avio_flush(format_->pb);
        if (out.failed()) return false;

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
        bool ok = !out_->failed();
        if (ok && !pending_[0].empty()) ok = sendFrame(0, static_cast<int>(pending_[0].size()));
        for (auto& plane : pending_) plane.clear();
        if (ok) ok = avcodec_send_frame(codec_, nullptr) >= 0 && receivePackets();
        // An output kept after a lost write still gets its header rewritten
        // (duration, packet count), then counted down to what it holds.
        if (!ok && !out_->keepsIncomplete()) return false;
        const bool trailer = av_write_trailer(format_) >= 0;
        avio_flush(format_->pb);
        if (out_->failed()) {
            if (out_->keepsIncomplete()) FinishKeptAsf(*out_);
            return false;
        }
        return ok && trailer && format_->pb->error == 0;
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
        if (self->out_->write(data, static_cast<size_t>(size))) return size;
        // An output kept after a lost write takes no more packets, but the
        // muxer must go on to its header: once told of an error it writes
        // nothing more at all. The output remembers the failure.
        return self->out_->keepsIncomplete() ? size : AVERROR(EIO);
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
