#pragma once
// One track's audio as a CD carries it: 44,100 Hz, 16-bit, stereo,
// whatever the source file's format, rate and channel count. Both the drive
// and the image backend read their tracks through here, so a disc and an
// image of the same list hold the same samples.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioFile;
namespace audio {
class PcmConverter;
}

class CdAudioSource {
public:
    static constexpr int Rate = 44100;
    static constexpr int Channels = 2;
    static constexpr int FramesPerSector = 588;
    static constexpr int SectorBytes = FramesPerSector * Channels * 2;

    CdAudioSource();
    ~CdAudioSource();
    CdAudioSource(const CdAudioSource&) = delete;
    CdAudioSource& operator=(const CdAudioSource&) = delete;

    // Only a regular file is opened: a FIFO or a device named as a track
    // would block the reader or feed it without end. False with *error.
    bool open(const std::string& path, std::string* error);
    // Why the file did not open as audio, an AudioError code: 0 when it
    // opened, and when it was missing or not a regular file.
    int openError() const { return openError_; }
    // The track's length at the CD rate, from the file's own length.
    int64_t estimatedFrames() const { return estimatedFrames_; }
    // Replaces out with the next stretch of CD frames (about a second);
    // empty at the end. False with *error when the file cannot be read on.
    bool read(std::vector<int16_t>& out, std::string* error);

private:
    std::unique_ptr<AudioFile> file_;
    std::unique_ptr<audio::PcmConverter> converter_;
    std::string path_;
    int rate_ = 0, channels_ = 0;
    int64_t estimatedFrames_ = 0;
    int openError_ = 0;
    bool ended_ = false;
};

// The number of whole sectors a track of that many frames fills.
inline int64_t SectorsForFrames(int64_t frames) {
    return (frames + CdAudioSource::FramesPerSector - 1) / CdAudioSource::FramesPerSector;
}

// Where the audio of a WAV file that already is CD audio lies: such a
// track goes onto the disc byte for byte, copied by the kernel without
// being decoded. ok is false for anything else (another rate, width or
// channel count, a compressed WAV, not a WAV at all).
struct CdWavLayout {
    bool ok = false;
    int64_t offset = 0;  // of the first sample
    int64_t bytes = 0;   // whole frames only
};
CdWavLayout ProbeCdWav(const std::string& path);
