#pragma once
// The writer's encoders: each turns interleaved 16-bit PCM at its own rate
// and channel count into one output format on an OutputFile. The writer
// converts the caller's blocks to that rate and channel count first.

#include <cstdint>
#include <memory>
#include <string>

#include "components/audio/encoderlimits.h"
#include "components/audio/outputfile.h"

namespace audio {

class Encoder {
public:
    virtual ~Encoder() = default;
    virtual int sampleRate() const = 0;
    virtual int channels() const = 0;
    // Sets the encoder up and writes what precedes the audio. False when the
    // encoder refuses its parameters or the output cannot be written.
    virtual bool begin(OutputFile& out) = 0;
    virtual bool encode(const int16_t* interleaved, int64_t frames) = 0;
    // Flushes the encoder and completes the file (sizes, trailers).
    virtual bool finish() = 0;
};

struct Mp3Config {
    int sampleRate = 44100;  // an MPEG rate
    int kbps = 128;          // legal for the rate
    Mp3ChannelMode mode = Mp3ChannelMode::JointStereo;
};

struct OggConfig {
    int sampleRate = 44100;
    int channels = 2;
    int kbps = 0;        // average bitrate; 0 selects quality mode
    int minKbps = 0;     // 0: no limit
    int maxKbps = 0;     // 0: no limit
    int quality = 500;   // 0..1000, used when kbps is 0
};

std::unique_ptr<Encoder> makeWavEncoder(int sampleRate, int channels, int bits);
std::unique_ptr<Encoder> makeMp3Encoder(const Mp3Config& config);
std::unique_ptr<Encoder> makeOggEncoder(const OggConfig& config);
std::unique_ptr<Encoder> makeWmaEncoder(int sampleRate, int channels, int kbps);

}  // namespace audio
