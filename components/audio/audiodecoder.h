#pragma once
// Reads an audio file through libavformat and libavcodec as interleaved
// 16-bit PCM at the file's own rate; more than two channels are mixed down to
// two. Lengths are exact for WAV, Ogg and MP3 with an Info header, and an MP3
// without one is counted packet by packet, so a length is never short.
//
// Mono and stereo Ogg Vorbis is decoded by libvorbisfile instead: libavformat
// misplaces the first and last samples of a stream whose audio fits in one
// page and of seeks near its end, where libvorbisfile is exact.

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;
struct OggVorbis_File;

namespace audio {

class AudioDecoder {
public:
    AudioDecoder();
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // 0 or an AudioError code.
    int open(const std::string& path);
    void close();
    bool isOpen() const { return format_ != nullptr || vorbis_ != nullptr; }

    int sampleRate() const { return rate_; }
    int channels() const { return fileChannels_; }
    int pcmChannels() const { return channels_; }
    int64_t length() const { return length_; }  // frames
    // The length in ms. A damaged header may claim a length of ages, whose
    // product with 1000 would not fit; this never overflows.
    int64_t durationMs() const;

    // Up to `frames` frames from the read position into out (replaced);
    // fewer only at the end. Returns 0 or an AudioError code; a decode error
    // in one packet is skipped, an unreadable file ends the stream with one.
    int read(int64_t frames, std::vector<int16_t>& out);
    // Moves the read position to a frame, sample-exact: the samples read
    // there are those a reading from the start gives.
    int seek(int64_t frame);

    // The facts AudioInformation shows.
    int64_t bitRate() const;
    int bitsPerSample() const;
    int formatTag() const;

private:
    bool fill();       // decodes more into pending_; false at the end
    bool fillVorbis();
    bool openVorbis(const std::string& path);
    bool decodeFrame();
    bool appendFrame(const AVFrame* frame);
    int64_t countPackets();
    void dropPending();

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwrContext* swr_ = nullptr;
    int swrFormat_ = -1, swrChannels_ = 0, swrRate_ = 0;

    int stream_ = -1;
    int rate_ = 0, fileChannels_ = 0, channels_ = 0;
    int64_t length_ = 0;
    int64_t startTime_ = 0;  // the stream's first timestamp, in its time base
    bool trustTimestamps_ = true;
    OggVorbis_File* vorbis_ = nullptr;
    int64_t bitRate_ = 0;
    int bitsPerSample_ = 0, formatTag_ = 0;

    std::vector<int16_t> pending_;  // decoded, not yet returned
    size_t pendingAt_ = 0;          // first unreturned sample in pending_
    int64_t decodedPos_ = 0;        // frame position just after pending_'s end
    int64_t dropUntil_ = -1;        // after a seek: frames before this are dropped
    int64_t seekLanding_ = 0;       // where the first frame after a seek began
    bool inputEnded_ = false, drained_ = false;
    int error_ = 0;
    int readErrors_ = 0;  // consecutive unreadable packets
};

}  // namespace audio
