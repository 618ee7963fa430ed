// FFmpeg, loaded when this folder first calls it rather than with the
// program. Its libraries bring a hundred more with them (codecs, network,
// crypto), and loading those cost every start some 35 ms before main ran,
// though a start decodes nothing. The functions below stand in for the ones
// this folder calls: the first call opens the four libraries, and each
// function looks up its real one once. The declarations come from FFmpeg's
// own headers, so a signature that differs does not compile.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/macros.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <cstddef>

#include "platform/lazylibrary.h"

namespace {

constexpr std::size_t kMaxAllocation = std::size_t{256} << 20;

// The versions this program was built against.
LazyLibrary formatLibrary("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR));
LazyLibrary codecLibrary("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR));
LazyLibrary resampleLibrary("libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR));
LazyLibrary utilLibrary("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR));

void* libavFunction(const char* name) {
    static const bool limited = [] {
        // A file of a few hundred bytes whose chunks claim gigabytes made one
        // open allocate 2 GB before the demuxer gave up; no real audio stream
        // needs a single block near this cap, so such a file now just fails.
        reinterpret_cast<decltype(&av_max_alloc)>(utilLibrary.function("av_max_alloc"))(kMaxAllocation);
        return true;
    }();
    (void)limited;
    return LazyLibrary::function({&formatLibrary, &codecLibrary, &resampleLibrary, &utilLibrary}, name);
}

}  // namespace

#define TUNEVALE_LIBAV(result, name, parameters, arguments)                                        \
    result name parameters {                                                                       \
        static const auto function = reinterpret_cast<decltype(&name)>(libavFunction(#name));     \
        return function arguments;                                                                 \
    }

extern "C" {

TUNEVALE_LIBAV(int, av_channel_layout_copy, (AVChannelLayout* dst, const AVChannelLayout* src), (dst, src))
TUNEVALE_LIBAV(void, av_channel_layout_default, (AVChannelLayout* layout, int channels), (layout, channels))
TUNEVALE_LIBAV(void, av_channel_layout_uninit, (AVChannelLayout* layout), (layout))
TUNEVALE_LIBAV(unsigned int, av_codec_get_tag, (const struct AVCodecTag* const* tags, enum AVCodecID id), (tags, id))
TUNEVALE_LIBAV(void, av_dict_free, (AVDictionary** m), (m))
TUNEVALE_LIBAV(int, av_dict_set, (AVDictionary** pm, const char* key, const char* value, int flags),
               (pm, key, value, flags))
TUNEVALE_LIBAV(int, av_find_best_stream,
               (AVFormatContext* ic, enum AVMediaType type, int wanted, int related, const AVCodec** decoder,
                int flags),
               (ic, type, wanted, related, decoder, flags))
TUNEVALE_LIBAV(AVFrame*, av_frame_alloc, (void), ())
TUNEVALE_LIBAV(void, av_frame_free, (AVFrame** frame), (frame))
TUNEVALE_LIBAV(int, av_frame_get_buffer, (AVFrame* frame, int align), (frame, align))
TUNEVALE_LIBAV(void, av_frame_unref, (AVFrame* frame), (frame))
TUNEVALE_LIBAV(void, av_free, (void* ptr), (ptr))
TUNEVALE_LIBAV(void, av_freep, (void* ptr), (ptr))
TUNEVALE_LIBAV(int, av_get_bits_per_sample, (enum AVCodecID id), (id))
TUNEVALE_LIBAV(void, av_log_set_level, (int level), (level))
TUNEVALE_LIBAV(void*, av_malloc, (size_t size), (size))
TUNEVALE_LIBAV(AVPacket*, av_packet_alloc, (void), ())
TUNEVALE_LIBAV(void, av_packet_free, (AVPacket** pkt), (pkt))
TUNEVALE_LIBAV(void, av_packet_rescale_ts, (AVPacket* pkt, AVRational from, AVRational to), (pkt, from, to))
TUNEVALE_LIBAV(void, av_packet_unref, (AVPacket* pkt), (pkt))
TUNEVALE_LIBAV(int, av_read_frame, (AVFormatContext* s, AVPacket* pkt), (s, pkt))
TUNEVALE_LIBAV(int64_t, av_rescale, (int64_t a, int64_t b, int64_t c), (a, b, c))
TUNEVALE_LIBAV(int64_t, av_rescale_q, (int64_t a, AVRational bq, AVRational cq), (a, bq, cq))
TUNEVALE_LIBAV(int, av_seek_frame, (AVFormatContext* s, int stream, int64_t timestamp, int flags),
               (s, stream, timestamp, flags))
TUNEVALE_LIBAV(int, av_write_frame, (AVFormatContext* s, AVPacket* pkt), (s, pkt))
TUNEVALE_LIBAV(int, av_write_trailer, (AVFormatContext* s), (s))
TUNEVALE_LIBAV(AVCodecContext*, avcodec_alloc_context3, (const AVCodec* codec), (codec))
TUNEVALE_LIBAV(const AVCodec*, avcodec_find_decoder, (enum AVCodecID id), (id))
TUNEVALE_LIBAV(const AVCodec*, avcodec_find_encoder, (enum AVCodecID id), (id))
TUNEVALE_LIBAV(void, avcodec_flush_buffers, (AVCodecContext* c), (c))
TUNEVALE_LIBAV(void, avcodec_free_context, (AVCodecContext** c), (c))
TUNEVALE_LIBAV(int, avcodec_open2, (AVCodecContext* c, const AVCodec* codec, AVDictionary** options), (c, codec, options))
TUNEVALE_LIBAV(int, avcodec_parameters_from_context, (AVCodecParameters* par, const AVCodecContext* c), (par, c))
TUNEVALE_LIBAV(int, avcodec_parameters_to_context, (AVCodecContext* c, const AVCodecParameters* par), (c, par))
TUNEVALE_LIBAV(int, avcodec_receive_frame, (AVCodecContext* c, AVFrame* frame), (c, frame))
TUNEVALE_LIBAV(int, avcodec_receive_packet, (AVCodecContext* c, AVPacket* pkt), (c, pkt))
TUNEVALE_LIBAV(int, avcodec_send_frame, (AVCodecContext* c, const AVFrame* frame), (c, frame))
TUNEVALE_LIBAV(int, avcodec_send_packet, (AVCodecContext* c, const AVPacket* pkt), (c, pkt))
TUNEVALE_LIBAV(int, avformat_alloc_output_context2,
               (AVFormatContext** ctx, const AVOutputFormat* format, const char* formatName, const char* fileName),
               (ctx, format, formatName, fileName))
TUNEVALE_LIBAV(void, avformat_close_input, (AVFormatContext** s), (s))
TUNEVALE_LIBAV(int, avformat_find_stream_info, (AVFormatContext* ic, AVDictionary** options), (ic, options))
TUNEVALE_LIBAV(void, avformat_free_context, (AVFormatContext* s), (s))
TUNEVALE_LIBAV(const struct AVCodecTag*, avformat_get_riff_audio_tags, (void), ())
TUNEVALE_LIBAV(AVStream*, avformat_new_stream, (AVFormatContext* s, const AVCodec* c), (s, c))
TUNEVALE_LIBAV(int, avformat_open_input,
               (AVFormatContext** ps, const char* url, const AVInputFormat* format, AVDictionary** options),
               (ps, url, format, options))
TUNEVALE_LIBAV(int, avformat_write_header, (AVFormatContext* s, AVDictionary** options), (s, options))
TUNEVALE_LIBAV(AVIOContext*, avio_alloc_context,
               (unsigned char* buffer, int size, int writeFlag, void* opaque,
                int (*readPacket)(void*, uint8_t*, int), int (*writePacket)(void*, uint8_t*, int),
                int64_t (*seek)(void*, int64_t, int)),
               (buffer, size, writeFlag, opaque, readPacket, writePacket, seek))
TUNEVALE_LIBAV(void, avio_context_free, (AVIOContext** s), (s))
TUNEVALE_LIBAV(void, avio_flush, (AVIOContext* s), (s))
TUNEVALE_LIBAV(int64_t, avio_seek, (AVIOContext* s, int64_t offset, int whence), (s, offset, whence))
TUNEVALE_LIBAV(int, swr_alloc_set_opts2,
               (struct SwrContext** ps, AVChannelLayout* outLayout, enum AVSampleFormat outFormat, int outRate,
                AVChannelLayout* inLayout, enum AVSampleFormat inFormat, int inRate, int logOffset, void* logContext),
               (ps, outLayout, outFormat, outRate, inLayout, inFormat, inRate, logOffset, logContext))
TUNEVALE_LIBAV(int, swr_convert, (struct SwrContext* s, uint8_t** out, int outCount, const uint8_t** in, int inCount),
               (s, out, outCount, in, inCount))
TUNEVALE_LIBAV(void, swr_free, (struct SwrContext** s), (s))
TUNEVALE_LIBAV(int, swr_get_out_samples, (struct SwrContext* s, int inSamples), (s, inSamples))
TUNEVALE_LIBAV(int, swr_init, (struct SwrContext* s), (s))

}  // extern "C"
