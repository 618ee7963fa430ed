#include "components/discwriter/cdaudiosource.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>

#include "components/audio/audiofile.h"
#include "components/audio/pcmconverter.h"
#include "platform/posixfile.h"

CdAudioSource::CdAudioSource() = default;
CdAudioSource::~CdAudioSource() = default;

bool CdAudioSource::open(const std::string& path, std::string* error) {
    path_ = path;
    ended_ = false;
    openError_ = AudioErrorNone;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        *error = "The file " + path + " is missing.";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = "The file " + path + " is not a regular file.";
        return false;
    }
    file_ = std::make_unique<AudioFile>();
    if (!file_->open(path, 0, 1) || !file_->isOpen()) {
        openError_ = file_->getError() != AudioErrorNone ? file_->getError() : AudioErrorNotAudio;
        *error = "The file " + path + " is not a readable audio file.";
        return false;
    }
    rate_ = file_->getPcmSampleRate();
    channels_ = file_->getPcmChannels();
    if (rate_ <= 0 || channels_ <= 0) {
        openError_ = AudioErrorNotAudio;
        *error = "The file " + path + " is not a readable audio file.";
        return false;
    }
    converter_ = std::make_unique<audio::PcmConverter>();
    if (!converter_->configure(rate_, channels_, Rate, Channels)) {
        openError_ = AudioErrorUnsupported;
        *error = "The audio of " + path + " cannot be brought to CD quality.";
        return false;
    }
    const int64_t length = file_->getLength();
    estimatedFrames_ = rate_ == Rate ? length : (length * Rate + rate_ - 1) / rate_;
    return true;
}

bool CdAudioSource::read(std::vector<int16_t>& out, std::string* error) {
    out.clear();
    if (ended_ || !file_) return true;
    const AudioBlock block = file_->readBlock(int64_t(rate_) * channels_);
    if (file_->getError() != 0) {
        *error = "The file " + path_ + " could not be read to its end.";
        return false;
    }
    if (block.empty()) {
        ended_ = true;
        if (!converter_->passThrough() && !converter_->flush(out)) {
            *error = "The audio of " + path_ + " cannot be brought to CD quality.";
            return false;
        }
        return true;
    }
    if (converter_->passThrough()) {
        out = block.samples;
        return true;
    }
    if (!converter_->convert(block.samples.data(), block.frames(channels_), out)) {
        *error = "The audio of " + path_ + " cannot be brought to CD quality.";
        return false;
    }
    return true;
}

namespace {

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

CdWavLayout ProbeCdWav(const std::string& path) {
    CdWavLayout layout;
    const PosixFile file = OpenRegularFile(path, O_RDONLY | O_CLOEXEC);
    uint64_t size = 0;
    uint8_t header[12];
    if (!file.isOpen() || !file.size(&size) || !file.readAll(0, header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0)
        return layout;
    bool cdFormat = false;
    uint64_t at = 12;
    // Chunks up to the audio; a file without a well-formed fmt before its
    // data is left to the decoder.
    for (int chunks = 0; chunks < 64 && at + 8 <= size; ++chunks) {
        uint8_t chunk[8];
        if (!file.readAll(at, chunk)) return layout;
        const uint64_t length = Le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t fmt[40] = {};
            if (length < 16 || !file.readAll(at + 8, std::span<uint8_t>(fmt, std::min<uint64_t>(length, 40)))) return layout;
            uint16_t tag = Le16(fmt);
            // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format.
            if (tag == 0xFFFE && length >= 40) tag = Le16(fmt + 24);
            cdFormat = tag == 1 && Le16(fmt + 2) == CdAudioSource::Channels && Le32(fmt + 4) == CdAudioSource::Rate &&
                       Le16(fmt + 12) == 4 && Le16(fmt + 14) == 16;
            if (!cdFormat) return layout;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!cdFormat) return layout;
            layout.offset = int64_t(at + 8);
            // A length past the end (a file cut short, or a stream written
            // without knowing its length) counts what is there.
            const uint64_t there = size - (at + 8);
            layout.bytes = int64_t(std::min<uint64_t>(length, there) & ~uint64_t(3));
            layout.ok = true;
            return layout;
        }
        at += 8 + length + (length & 1);
    }
    return layout;
}
