#include "components/discwriter/cdaudiosource.h"

#include <sys/stat.h>

#include "components/audio/audiofile.h"
#include "components/audio/pcmconverter.h"

CdAudioSource::CdAudioSource() = default;
CdAudioSource::~CdAudioSource() = default;

bool CdAudioSource::open(const std::string& path, std::string* error) {
    path_ = path;
    ended_ = false;
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
        *error = "The file " + path + " is not a readable audio file.";
        return false;
    }
    rate_ = file_->getPcmSampleRate();
    channels_ = file_->getPcmChannels();
    if (rate_ <= 0 || channels_ <= 0) {
        *error = "The file " + path + " is not a readable audio file.";
        return false;
    }
    converter_ = std::make_unique<audio::PcmConverter>();
    if (!converter_->configure(rate_, channels_, Rate, Channels)) {
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
