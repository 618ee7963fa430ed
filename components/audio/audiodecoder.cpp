#include "components/audio/audiodecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "components/audio/audioblock.h"

namespace audio {

namespace {

// Libav's messages go to stderr, where nobody reads them: a damaged MP3 frame
// is no news to the user, who sees the reader's error code instead.
// TUNEVALE_AV_LOG=1 shows them while investigating a file.
void quietLibav() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* want = std::getenv("TUNEVALE_AV_LOG");
        av_log_set_level(want && *want == '1' ? AV_LOG_WARNING : AV_LOG_QUIET);
    });
}

int64_t toFrames(int64_t ts, AVRational tb, int rate) { return av_rescale_q(ts, tb, AVRational{1, rate}); }

}  // namespace

AudioDecoder::AudioDecoder() { quietLibav(); }

AudioDecoder::~AudioDecoder() { close(); }

void AudioDecoder::close() {
    if (vorbis_) {
        ov_clear(vorbis_);
        delete vorbis_;
        vorbis_ = nullptr;
    }
    bitRate_ = 0;
    bitsPerSample_ = formatTag_ = 0;
    swr_free(&swr_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    swrFormat_ = -1;
    swrChannels_ = swrRate_ = 0;
    stream_ = -1;
    rate_ = fileChannels_ = channels_ = 0;
    length_ = startTime_ = 0;
    dropPending();
    decodedPos_ = 0;
    dropUntil_ = -1;
    inputEnded_ = drained_ = false;
    error_ = 0;
    readErrors_ = 0;
}

int AudioDecoder::open(const std::string& path) {
    close();
    struct stat st {};
    // Non-blocking, so that a FIFO named .mp3 is refused instead of waiting
    // for a writer that never comes.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return AudioErrorFileOpen;
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular) return AudioErrorFileOpen;
    if (st.st_size == 0) return AudioErrorNotAudio;

    // Only the four formats, only from the local file: a playlist or a
    // concat script named .mp3 must not make the reader open other files or
    // URLs.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", "mp3,wav,ogg,asf", 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    std::string url = "file:" + path;
    int rc = avformat_open_input(&format_, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) {
        format_ = nullptr;
        return AudioErrorNotAudio;
    }
    const int64_t dataStart = format_->pb ? avio_tell(format_->pb) : 0;
    if (avformat_find_stream_info(format_, nullptr) < 0) {
        close();
        return AudioErrorNotAudio;
    }
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream_ < 0) {
        close();
        return AudioErrorNotAudio;
    }
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        if (static_cast<int>(i) != stream_) format_->streams[i]->discard = AVDISCARD_ALL;
    AVStream* stream = format_->streams[stream_];
    const AVCodecParameters* par = stream->codecpar;
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0) {
        close();
        return AudioErrorNotAudio;
    }
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    codec_ = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (!codec_ || avcodec_parameters_to_context(codec_, par) < 0) {
        close();
        return AudioErrorUnsupported;
    }
    codec_->pkt_timebase = stream->time_base;
    if (avcodec_open2(codec_, decoder, nullptr) < 0) {
        close();
        return AudioErrorUnsupported;
    }
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_) {
        close();
        return AudioErrorUnsupported;
    }

    rate_ = par->sample_rate;
    fileChannels_ = par->ch_layout.nb_channels;
    {
        const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
        formatTag_ = static_cast<int>(av_codec_get_tag(tables, par->codec_id));
        const int bits = av_get_bits_per_sample(par->codec_id);
        bitsPerSample_ = bits > 0 ? bits : 16;
        bitRate_ = par->bit_rate > 0 ? par->bit_rate : std::max<int64_t>(format_->bit_rate, 0);
    }
    if (par->codec_id == AV_CODEC_ID_VORBIS && fileChannels_ <= 2 && std::strcmp(format_->iformat->name, "ogg") == 0) {
        const int64_t bitRate = bitRate_;
        const int tag = formatTag_;
        close();
        if (!openVorbis(path)) {
            close();
            return AudioErrorNotAudio;
        }
        if (bitRate_ <= 0) bitRate_ = bitRate;
        formatTag_ = tag;
        bitsPerSample_ = 16;
        return AudioErrorNone;
    }
    channels_ = std::min(fileChannels_, 2);
    startTime_ = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    // ASF stores whole milliseconds, and the WMA decoder's first output
    // carries the second packet's time: there a position is only known by
    // counting from the start.
    trustTimestamps_ = std::strcmp(format_->iformat->name, "asf") != 0;

    if (format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) {
        // An MP3 without an Info header: its bitrate-based estimate can be
        // short, and callers that loop "while position < length" would drop
        // the end. Counting the packets costs milliseconds.
        length_ = countPackets();
    } else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        length_ = toFrames(stream->duration, stream->time_base, rate_);
    } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
        length_ = av_rescale(format_->duration, rate_, AV_TIME_BASE);
    }
    // A WAV header may promise more data than the file holds.
    const int bytesPerFrame = av_get_bits_per_sample(par->codec_id) * fileChannels_ / 8;
    if (bytesPerFrame > 0 && st.st_size > dataStart)
        length_ = std::min<int64_t>(length_, (st.st_size - dataStart) / bytesPerFrame);
    length_ = std::max<int64_t>(length_, 0);
    return AudioErrorNone;
}

int64_t AudioDecoder::countPackets() {
    AVStream* stream = format_->streams[stream_];
    int64_t total = 0;
    while (av_read_frame(format_, packet_) >= 0) {
        if (packet_->stream_index == stream_ && packet_->duration > 0) total += packet_->duration;
        av_packet_unref(packet_);
    }
    av_seek_frame(format_, stream_, startTime_, AVSEEK_FLAG_BACKWARD);
    return toFrames(total, stream->time_base, rate_);
}

void AudioDecoder::dropPending() {
    pending_.clear();
    pendingAt_ = 0;
}

int AudioDecoder::read(int64_t frames, std::vector<int16_t>& out) {
    out.clear();
    if (!isOpen()) return AudioErrorNotOpen;
    error_ = 0;
    const size_t want = static_cast<size_t>(std::max<int64_t>(frames, 0)) * static_cast<size_t>(channels_);
    while (pending_.size() - pendingAt_ < want && fill()) {
    }
    const size_t n = std::min(want, pending_.size() - pendingAt_);
    out.assign(pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_),
               pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_ + n));
    pendingAt_ += n;
    if (pendingAt_ == pending_.size()) {
        dropPending();
    } else if (pendingAt_ > pending_.size() / 2) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_));
        pendingAt_ = 0;
    }
    return error_;
}

bool AudioDecoder::openVorbis(const std::string& path) {
    vorbis_ = new OggVorbis_File{};
    if (ov_fopen(path.c_str(), vorbis_) != 0) {
        delete vorbis_;
        vorbis_ = nullptr;
        return false;
    }
    const vorbis_info* info = ov_info(vorbis_, 0);
    if (!info || info->rate <= 0 || info->channels < 1 || info->channels > 2) return false;
    rate_ = static_cast<int>(info->rate);
    fileChannels_ = channels_ = info->channels;
    length_ = std::max<int64_t>(ov_pcm_total(vorbis_, -1), 0);
    bitRate_ = std::max<int64_t>(ov_bitrate(vorbis_, -1), 0);
    return true;
}

bool AudioDecoder::fillVorbis() {
    if (drained_) return false;
    constexpr int kBytes = 16384;
    const size_t at = pending_.size();
    pending_.resize(at + kBytes / 2);
    for (int holes = 0; holes < 1000; ++holes) {
        int link = 0;
        long got = ov_read(vorbis_, reinterpret_cast<char*>(pending_.data() + at), kBytes, 0, 2, 1, &link);
        if (got == OV_HOLE) continue;  // damaged pages are skipped
        if (got > 0) {
            const vorbis_info* info = ov_info(vorbis_, link);
            if (!info || info->rate != rate_ || info->channels != channels_) {
                // A chained stream that changes format mid-file: what
                // follows cannot be given in this stream's format.
                error_ = AudioErrorUnsupported;
                break;
            }
            pending_.resize(at + static_cast<size_t>(got) / 2);
            decodedPos_ += got / 2 / channels_;
            return true;
        }
        if (got < 0) error_ = AudioErrorDecode;
        break;
    }
    pending_.resize(at);
    drained_ = true;
    return false;
}

bool AudioDecoder::fill() {
    if (vorbis_) return fillVorbis();
    while (!drained_) {
        if (decodeFrame()) return true;
    }
    return false;
}

// One step: a decoded frame appended (true), or a packet fed or the end
// reached (false).
bool AudioDecoder::decodeFrame() {
    int rc = avcodec_receive_frame(codec_, frame_);
    if (rc == 0) {
        bool ok = appendFrame(frame_);
        av_frame_unref(frame_);
        if (!ok) {
            error_ = AudioErrorDecode;
            drained_ = true;
        }
        return ok;
    }
    if (rc == AVERROR_EOF || inputEnded_) {
        // After the flush packet only frames or the end may come.
        drained_ = true;
        return false;
    }
    // EAGAIN, or a packet the decoder could not use: feed the next one.
    rc = av_read_frame(format_, packet_);
    // A damaged stretch: the demuxer moves on to the next sync point, but
    // not for ever.
    if (rc == AVERROR_INVALIDDATA && ++readErrors_ < 64) return false;
    if (rc >= 0) readErrors_ = 0;
    if (rc < 0) {
        if (rc != AVERROR_EOF) error_ = AudioErrorDecode;
        inputEnded_ = true;
        avcodec_send_packet(codec_, nullptr);
        return false;
    }
    if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);
    av_packet_unref(packet_);
    return false;
}

bool AudioDecoder::appendFrame(const AVFrame* frame) {
    const int n = frame->nb_samples;
    if (n <= 0) return true;
    const int inChannels = frame->ch_layout.nb_channels;
    if (inChannels <= 0) return false;

    if (dropUntil_ >= 0 && trustTimestamps_ && frame->best_effort_timestamp != AV_NOPTS_VALUE &&
        pending_.size() == pendingAt_) {
        // First frame after a seek: its timestamp says where we are.
        decodedPos_ = toFrames(frame->best_effort_timestamp - startTime_, format_->streams[stream_]->time_base, rate_);
        seekLanding_ = decodedPos_;
    }

    const size_t at = pending_.size();
    if (frame->format == AV_SAMPLE_FMT_S16 && inChannels == channels_ && frame->sample_rate == rate_) {
        const auto* src = reinterpret_cast<const int16_t*>(frame->data[0]);
        pending_.insert(pending_.end(), src, src + static_cast<size_t>(n) * static_cast<size_t>(channels_));
    } else {
        if (!swr_ || swrFormat_ != frame->format || swrChannels_ != inChannels || swrRate_ != frame->sample_rate) {
            swr_free(&swr_);
            AVChannelLayout outLayout, inLayout;
            av_channel_layout_default(&outLayout, channels_);
            if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                av_channel_layout_default(&inLayout, inChannels);
            else if (av_channel_layout_copy(&inLayout, &frame->ch_layout) < 0)
                return false;
            int rc = swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_S16, rate_, &inLayout,
                                         static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
            av_channel_layout_uninit(&inLayout);
            av_channel_layout_uninit(&outLayout);
            if (rc < 0 || swr_init(swr_) < 0) {
                swr_free(&swr_);
                return false;
            }
            swrFormat_ = frame->format;
            swrChannels_ = inChannels;
            swrRate_ = frame->sample_rate;
        }
        const int room = swr_get_out_samples(swr_, n);
        if (room < 0) return false;
        pending_.resize(at + static_cast<size_t>(room) * static_cast<size_t>(channels_));
        auto* dst = reinterpret_cast<uint8_t*>(pending_.data() + at);
        int got = swr_convert(swr_, &dst, room, const_cast<const uint8_t**>(frame->extended_data), n);
        if (got < 0) return false;
        pending_.resize(at + static_cast<size_t>(got) * static_cast<size_t>(channels_));
    }
    const int64_t added = static_cast<int64_t>(pending_.size() - at) / channels_;
    decodedPos_ += added;

    if (dropUntil_ >= 0) {
        const int64_t pendingFrames = static_cast<int64_t>(pending_.size() - pendingAt_) / channels_;
        const int64_t firstPos = decodedPos_ - pendingFrames;
        const int64_t drop = std::clamp<int64_t>(dropUntil_ - firstPos, 0, pendingFrames);
        pendingAt_ += static_cast<size_t>(drop) * static_cast<size_t>(channels_);
        if (pendingAt_ == pending_.size()) dropPending();
        if (decodedPos_ >= dropUntil_) dropUntil_ = -1;
    }
    return true;
}

int AudioDecoder::seek(int64_t target) {
    if (!isOpen()) return AudioErrorNotOpen;
    target = std::max<int64_t>(target, 0);
    if (vorbis_) {
        target = std::min(target, length_);
        dropPending();
        drained_ = false;
        if (ov_pcm_seek(vorbis_, target) != 0) return AudioErrorDecode;
        decodedPos_ = target;
        return AudioErrorNone;
    }
    const int64_t pendingFrames = static_cast<int64_t>(pending_.size() - pendingAt_) / channels_;
    const int64_t readPos = decodedPos_ - pendingFrames;
    if (dropUntil_ < 0 && target >= readPos && target <= decodedPos_) {
        pendingAt_ += static_cast<size_t>(target - readPos) * static_cast<size_t>(channels_);
        return AudioErrorNone;
    }
    AVStream* stream = format_->streams[stream_];
    if (!trustTimestamps_) {
        if (target >= readPos) {
            // Forwards: everything pending lies before the target; decode on
            // and drop.
            dropPending();
        } else {
            if (av_seek_frame(format_, stream_, startTime_, AVSEEK_FLAG_BACKWARD) < 0) return AudioErrorDecode;
            avcodec_flush_buffers(codec_);
            if (swr_) swr_init(swr_);
            dropPending();
            inputEnded_ = drained_ = false;
            decodedPos_ = 0;
        }
        dropUntil_ = target;
        return AudioErrorNone;
    }
    // Transform codecs need the frames before the target to decode it
    // (overlap, bit reservoir): start a few frames early and drop them.
    const bool pcm = av_get_bits_per_sample(stream->codecpar->codec_id) > 0;
    int64_t back = pcm ? 0 : 8192;
    for (int attempt = 0;; ++attempt) {
        const int64_t from = std::max<int64_t>(target - back, 0);
        const int64_t ts = startTime_ + av_rescale_q(from, AVRational{1, rate_}, stream->time_base);
        int rc = av_seek_frame(format_, stream_, ts, AVSEEK_FLAG_BACKWARD);
        if (rc < 0 && from > 0) {
            back = target;
            continue;
        }
        if (rc < 0) return AudioErrorDecode;
        avcodec_flush_buffers(codec_);
        if (swr_) swr_init(swr_);
        dropPending();
        inputEnded_ = drained_ = false;
        decodedPos_ = from;
        seekLanding_ = from;
        dropUntil_ = target;
        if (!fill()) return error_;
        // The demuxer may land after the target (coarse index, timestamps
        // of whole pages): go further back and decode forward.
        if (seekLanding_ <= target || from == 0) break;
        back = attempt < 4 ? std::max<int64_t>(back * 4, rate_) : target;
    }
    return AudioErrorNone;
}

int64_t AudioDecoder::durationMs() const {
    if (rate_ <= 0) return 0;
    return length_ / rate_ * 1000 + length_ % rate_ * 1000 / rate_;
}

int64_t AudioDecoder::bitRate() const { return bitRate_; }

int AudioDecoder::bitsPerSample() const { return bitsPerSample_; }

int AudioDecoder::formatTag() const { return formatTag_; }

}  // namespace audio
