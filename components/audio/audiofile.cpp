#include "components/audio/audiofile.h"

#include <algorithm>

#include "components/audio/audiodecoder.h"
#include "components/audio/encoder.h"
#include "components/audio/outputfile.h"
#include "components/audio/pcmconverter.h"
#include "components/audio/riffinfo.h"

AudioFile::AudioFile() = default;

AudioFile::~AudioFile() { close(); }

// ---- reading ---------------------------------------------------------------

bool AudioFile::open(const std::string& fileName) {
    close();
    if (!decoder_) decoder_ = std::make_unique<audio::AudioDecoder>();
    error_ = decoder_->open(fileName);
    return error_ == AudioErrorNone;
}

bool AudioFile::isOpen() const { return (decoder_ && decoder_->isOpen()) || out_ != nullptr; }

void AudioFile::close() {
    if (out_) {
        closeWriter();
    } else {
        closeReader();
        error_ = AudioErrorNone;
    }
}

void AudioFile::closeReader() {
    if (decoder_) decoder_->close();
}

int64_t AudioFile::getLength() const { return decoder_ && decoder_->isOpen() ? decoder_->length() : 0; }

int64_t AudioFile::getDuration() const {
    return decoder_ && decoder_->isOpen() ? decoder_->durationMs() : 0;
}

int AudioFile::getSampleRate() const { return decoder_ && decoder_->isOpen() ? decoder_->sampleRate() : 0; }

int AudioFile::getChannels() const { return decoder_ && decoder_->isOpen() ? decoder_->pcmChannels() : 0; }

int AudioFile::getPcmSampleRate() const {
    if (decoder_ && decoder_->isOpen()) return decoder_->sampleRate();
    if (encoder_) return encoder_->sampleRate();
    return resolvedFormat().sampleRate;
}

int AudioFile::getPcmChannels() const {
    if (decoder_ && decoder_->isOpen()) return decoder_->pcmChannels();
    if (encoder_) return encoder_->channels();
    return resolvedFormat().channels;
}

bool AudioFile::seek(int64_t position, int) {
    if (!decoder_ || !decoder_->isOpen()) {
        error_ = AudioErrorNotOpen;
        return false;
    }
    error_ = decoder_->seek(position);
    return error_ == AudioErrorNone;
}

AudioBlock AudioFile::readBlock(int64_t count) {
    AudioBlock block;
    if (!decoder_ || !decoder_->isOpen()) {
        error_ = AudioErrorNotOpen;
        return block;
    }
    const int channels = decoder_->pcmChannels();
    const int64_t frames = count <= 0 ? decoder_->sampleRate() : std::max<int64_t>(count / channels, 1);
    error_ = decoder_->read(frames, block.samples);
    return block;
}

// ---- writing ---------------------------------------------------------------

void AudioFile::setWavFormat(int sampleRate, int channels, int bitsPerSample) {
    format_ = Format{};
    format_.kind = AudioKind::Wav;
    format_.sampleRate = sampleRate;
    format_.channels = channels;
    format_.bits = bitsPerSample;
}

bool AudioFile::setMp3Format(int sampleRate, int bitrate, int channelMode) {
    if (!audio::isLegalMp3Format(sampleRate, bitrate)) {
        error_ = AudioErrorUnsupported;
        return false;
    }
    format_ = Format{};
    format_.kind = AudioKind::Mp3;
    format_.sampleRate = sampleRate;
    format_.kbps = bitrate;
    format_.mp3Mode = std::clamp(channelMode, 1, 5);
    format_.channels = format_.mp3Mode == 1 ? 1 : 2;
    error_ = AudioErrorNone;
    return true;
}

void AudioFile::setMp3Encoder(const Mp3EncoderSettings& settings) {
    format_ = Format{};
    format_.kind = AudioKind::Mp3;
    format_.sampleRate = audio::nearestMp3SampleRate(settings.sampleRate);
    format_.kbps = audio::clampMp3Bitrate(format_.sampleRate, settings.bitrate);
    format_.mp3Mode = std::clamp(settings.channelMode, 1, 5);
    format_.channels = format_.mp3Mode == 1 ? 1 : 2;
}

void AudioFile::setOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate, int quality) {
    format_ = Format{};
    format_.kind = AudioKind::Ogg;
    format_.sampleRate = sampleRate;
    format_.channels = channels;
    format_.kbps = std::max(bitrate, 0);
    format_.minKbps = std::max(minBitrate, 0);
    format_.maxKbps = std::max(maxBitrate, 0);
    format_.quality = quality;
}

bool AudioFile::setWmaFormat(int profile) {
    format_ = Format{};
    format_.kind = AudioKind::Wma;
    auto p = audio::wmaProfile(profile);
    if (!p) {
        format_.invalid = true;
        error_ = AudioErrorUnsupported;
        return false;
    }
    format_.sampleRate = p->sampleRate;
    format_.channels = p->channels;
    format_.kbps = p->kbps;
    error_ = AudioErrorNone;
    return true;
}

AudioFile::Format AudioFile::resolvedFormat() const {
    if (format_.kind != AudioKind::None) return format_;
    Format f;
    f.kind = out_ ? AudioKindOfPath(out_->path()) : AudioKind::None;
    // Without a format call the output keeps the input's rate and channels,
    // as far as the format allows.
    const int rate = inRate_ > 0 ? inRate_ : 44100;
    const int channels = inChannels_ == 1 ? 1 : 2;
    f.sampleRate = rate;
    f.channels = channels;
    switch (f.kind) {
    case AudioKind::Mp3:
        f.sampleRate = audio::nearestMp3SampleRate(rate);
        f.kbps = audio::clampMp3Bitrate(f.sampleRate, 192);
        f.mp3Mode = channels == 1 ? 1 : 3;
        break;
    case AudioKind::Ogg: f.quality = 500; break;
    case AudioKind::Wma:
        f.sampleRate = rate > 48000 ? 44100 : rate;
        f.kbps = channels == 1 ? 64 : 128;
        break;
    default: break;
    }
    return f;
}

bool AudioFile::create(const std::string& fileName, int) {
    close();
    wavInfo_.clear();
    wavInfoWritten_ = false;
    if (format_.invalid) {
        error_ = AudioErrorUnsupported;
        return false;
    }
    const AudioKind kind =
        format_.kind != AudioKind::None ? format_.kind : AudioKindOfPath(fileName);
    if (kind == AudioKind::None) {
        error_ = AudioErrorUnsupported;
        return false;
    }
    out_ = std::make_unique<audio::OutputFile>();
    out_->setKeepIncomplete(keepIncomplete_);
    out_->setVisiblePart(visiblePart_);
    if (!out_->create(fileName)) {
        out_.reset();
        error_ = AudioErrorCreate;
        return false;
    }
    writeFailed_ = false;
    mp3TagsWritten_ = false;
    if (mp3Tags_ && resolvedFormat().kind != AudioKind::Mp3) mp3Tags_.reset();
    // The ID3v2 tag before the stream, which starts where the tag ends.
    if (mp3Tags_ && !out_->write(mp3Tags_->id3v2.data(), mp3Tags_->id3v2.size())) {
        out_->discard();
        out_.reset();
        mp3Tags_.reset();
        error_ = AudioErrorCreate;
        return false;
    }
    // An explicit format is checked now, so that a combination the encoder
    // refuses fails here and leaves no file behind; an implied one waits for
    // the input format it follows.
    if (format_.kind != AudioKind::None && !startEncoder()) {
        out_->discard();
        out_.reset();
        encoder_.reset();
        error_ = AudioErrorUnsupported;
        return false;
    }
    error_ = AudioErrorNone;
    return true;
}

bool AudioFile::startEncoder() {
    const Format f = resolvedFormat();
    switch (f.kind) {
    case AudioKind::Wav: encoder_ = audio::makeWavEncoder(f.sampleRate, f.channels, f.bits); break;
    case AudioKind::Mp3: {
        audio::Mp3Config c;
        c.sampleRate = f.sampleRate;
        c.kbps = f.kbps;
        c.mode = static_cast<audio::Mp3ChannelMode>(f.mp3Mode);
        encoder_ = audio::makeMp3Encoder(c);
        break;
    }
    case AudioKind::Ogg: {
        audio::OggConfig c;
        c.sampleRate = f.sampleRate;
        c.channels = f.channels;
        c.kbps = f.kbps;
        c.minKbps = f.minKbps;
        c.maxKbps = f.maxKbps;
        c.quality = f.quality;
        encoder_ = audio::makeOggEncoder(c);
        break;
    }
    case AudioKind::Wma: encoder_ = audio::makeWmaEncoder(f.sampleRate, f.channels, f.kbps); break;
    case AudioKind::None: return false;
    }
    if (!encoder_->begin(*out_)) {
        encoder_.reset();
        return false;
    }
    converter_ = std::make_unique<audio::PcmConverter>();
    // Until told otherwise, blocks come in the output's own format.
    const int inRate = inRate_ > 0 ? inRate_ : encoder_->sampleRate();
    const int inChannels = inChannels_ > 0 ? inChannels_ : encoder_->channels();
    if (!converter_->configure(inRate, inChannels, encoder_->sampleRate(), encoder_->channels())) {
        encoder_.reset();
        return false;
    }
    return true;
}

void AudioFile::setInputFormat(int sampleRate, int channels) {
    if (sampleRate <= 0 || channels < 1 || channels > 8) {
        error_ = AudioErrorUnsupported;
        return;
    }
    inRate_ = sampleRate;
    inChannels_ = channels;
    error_ = AudioErrorNone;
    if (!out_ || writeFailed_) return;
    if (!encoder_) {
        if (!startEncoder()) {
            writeFailed_ = true;
            error_ = AudioErrorUnsupported;
        }
        return;
    }
    if (!switchInput(sampleRate, channels)) {
        writeFailed_ = true;
        error_ = AudioErrorWrite;
    }
}

bool AudioFile::switchInput(int sampleRate, int channels) {
    if (converter_->inRate() == sampleRate && converter_->inChannels() == channels) return true;
    // The resampler holds a few milliseconds of the old input: they go out
    // before the new input, or every join would lose them.
    if (!converter_->flush(converted_)) return false;
    if (!converted_.empty() &&
        !encoder_->encode(converted_.data(), static_cast<int64_t>(converted_.size()) / encoder_->channels()))
        return false;
    return converter_->configure(sampleRate, channels, encoder_->sampleRate(), encoder_->channels());
}

void AudioFile::writeBlock(const AudioBlock& block) {
    if (!out_) {
        error_ = AudioErrorNotOpen;
        return;
    }
    if (writeFailed_) {
        error_ = AudioErrorWrite;
        return;
    }
    if (!encoder_ && !startEncoder()) {
        writeFailed_ = true;
        error_ = AudioErrorUnsupported;
        return;
    }
    const int channels = converter_->inChannels();
    if (!feed(block.samples.data(), block.size() / channels)) {
        writeFailed_ = true;
        error_ = AudioErrorWrite;
        return;
    }
    error_ = AudioErrorNone;
}

bool AudioFile::feed(const int16_t* samples, int64_t frames) {
    if (frames <= 0) return true;
    if (converter_->passThrough()) return encoder_->encode(samples, frames);
    if (!converter_->convert(samples, frames, converted_)) return false;
    return converted_.empty() ||
           encoder_->encode(converted_.data(), static_cast<int64_t>(converted_.size()) / encoder_->channels());
}

void AudioFile::abandon() {
    if (!out_) return;
    out_->discard();
    writeFailed_ = true;
    closeWriter();
    error_ = AudioErrorNone;
}

void AudioFile::setMp3Tags(Mp3TagBytes tags) { mp3Tags_ = std::move(tags); }

bool AudioFile::setWavInfo(std::vector<std::pair<std::string, std::string>> items) {
    if (!out_ || resolvedFormat().kind != AudioKind::Wav) return false;
    wavInfo_ = std::move(items);
    return true;
}

void AudioFile::closeWriter() {
    bool ok = !writeFailed_;
    if (ok && !encoder_) ok = startEncoder();  // an output with no block is still a valid, empty file
    if (ok && !converter_->flush(converted_)) ok = false;
    if (ok && !converted_.empty())
        ok = encoder_->encode(converted_.data(), static_cast<int64_t>(converted_.size()) / encoder_->channels());
    // An output that lost a write is incomplete wherever the loss was; it
    // must not stay behind looking like a finished file, unless the caller
    // keeps what it has: its headers are then completed over what was
    // written.
    const bool kept = !ok && keepIncomplete_ && out_->failed();
    if (ok) ok = encoder_->finish();
    else if (kept && encoder_) encoder_->finish();
    if (ok && !wavInfo_.empty()) {
        // Tags that find no room leave the audio whole; the caller is told.
        wavInfoWritten_ = audio::appendRiffInfo(*out_, wavInfo_);
        ok = !out_->failed();
    }
    wavInfo_.clear();
    if (ok && mp3Tags_) {
        const auto& block = mp3Tags_->id3v1.bytes;
        mp3TagsWritten_ = out_->appendOptional(block.data(), block.size());
        ok = !out_->failed();
    }
    mp3Tags_.reset();
    encoder_.reset();
    converter_.reset();
    if (ok || kept) ok = out_->close() && ok;
    if (!ok && !kept) out_->discard();
    out_.reset();
    inRate_ = inChannels_ = 0;
    writeFailed_ = false;
    error_ = ok ? AudioErrorNone : AudioErrorWrite;
}
