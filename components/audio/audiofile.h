#pragma once
// Reads and writes audio files: MP3, WAV, OGG and WMA. One instance is a
// reader or a writer at a time; it is used by one thread at a time and never
// throws for a bad file: every call leaves a code in getError().
//
// Reader: open, then getLength/getDuration/rates, seek and readBlock.
// readBlock counts samples over all channels and returns blocks at the
// file's own rate and channel count (more than two channels are mixed to
// two); an empty block ends the stream.
//
// Writer: a format call (setWavFormat, setMp3Format/setMp3Encoder,
// setOggFormat, setWmaFormat), create, setInputFormat, writeBlock per block,
// close. The format survives close, so a batch configures it once. Without a
// format call the file name's extension chooses it, at the input's rate and
// channel count. Blocks in any input format are converted to the output's.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "components/audio/audioblock.h"
#include "components/audio/audioinformation.h"
#include "components/audio/blocksource.h"
#include "components/audio/encoderlimits.h"
#include "components/audio/mp3encodersettings.h"
#include "tags/audiokind.h"

namespace audio {
class AudioDecoder;
class Encoder;
class OutputFile;
class PcmConverter;
}  // namespace audio

class AudioFile : public BlockSource {
public:
    AudioFile();
    ~AudioFile() override;
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;

    bool readyFlag = false;  // set by the windows at form show; nothing reads it

    // Reading. The two integers are the callers' fixed 0 and 1.
    bool open(const std::string& fileName, int, int = 1) { return open(fileName); }
    bool open(const std::string& fileName) override;
    bool isOpen() const override;
    void close() override;
    int64_t getLength() const;    // sample frames
    int64_t getDuration() const;  // ms
    int getSampleRate() const;
    // The channels of the blocks readBlock returns: a file of more than two
    // is read as two, and a writer told this count with setInputFormat
    // takes its blocks as they are. AudioInformation tells the file's own.
    int getChannels() const;
    // Rate and channels of the blocks readBlock returns; on a writer, those
    // of its output format.
    int getPcmSampleRate() const;
    int getPcmChannels() const;
    bool seek(int64_t position, int mode);
    bool seek(int64_t position) override { return seek(position, 3); }
    // Exactly count samples (whole frames) unless the end comes first; a
    // count of zero or less reads one second, so that a request computed as
    // zero does not end the stream.
    AudioBlock readBlock(int64_t count) override;

    // The same as a block source.
    bool readFailed() const override { return getError() != 0; }
    int64_t length() const override { return getLength(); }
    int pcmRate() const override { return getPcmSampleRate(); }
    int pcmChannels() const override { return getPcmChannels(); }
    int64_t durationMs() const override { return getDuration(); }

    // Writing.
    void setWavFormat(int sampleRate, int channels, int bitsPerSample);
    // False, and the format unchanged, when MPEG audio has no such rate and
    // bitrate pair.
    bool setMp3Format(int sampleRate, int bitrate, int channelMode);
    // MP3 output with the settings' values; a bitrate beyond what the rate
    // allows is brought to the nearest allowed one.
    void setMp3Encoder(const Mp3EncoderSettings& settings);
    // bitrate > 0: average bitrate (kbit/s) with optional limits (0: none);
    // bitrate 0: quality mode, quality 0..1000.
    void setOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate, int quality);
    // False for a profile id we do not know; create then fails.
    bool setWmaFormat(int profile);
    // Starts the output at once, so a folder that cannot be written fails
    // here. The audio goes to a temporary file: an existing file under
    // fileName stays intact until close() puts the complete output in its
    // place, and an output that failed or was abandoned leaves nothing under
    // the name. flag 1 asks for a plain canonical WAV, which is what every
    // WAV here is.
    bool create(const std::string& fileName, int flag = 0);
    void setInputFormat(int sampleRate, int channels);
    void writeBlock(const AudioBlock& block);
    // Between create and close: the text fields of a WAV output (RIFF INFO
    // ids and UTF-8 texts, in order), written after the audio at close, so
    // that tagging needs no second pass over the finished file. Fields that
    // find no room (a full disk) are left out and the audio is kept whole:
    // wavInfoWritten() tells, after close. False, and nothing kept, when the
    // output is not a WAV.
    bool setWavInfo(std::vector<std::pair<std::string, std::string>> items);
    bool wavInfoWritten() const { return wavInfoWritten_; }
    // Before create(): an MP3 output's tags (AudioInformation's
    // mp3TagBytes), the ID3v2 tag put before the audio and the ID3v1 block
    // after it at close, so the file takes its name tagged. A block that
    // finds no room (a full disk) is left out and the audio kept whole:
    // mp3TagsWritten() tells, after close. Ignored for other formats.
    void setMp3Tags(Mp3TagBytes tags);
    bool mp3TagsWritten() const { return mp3TagsWritten_; }
    // Drops the output being written (a stopped job): nothing appears under
    // its name and a file already there stays as it was.
    void abandon();
    // For outputs that must keep what they have, such as a recording ended
    // by a full disk: once a write has failed, close() completes the file as
    // far as it was written (headers in place, so it plays) and puts it under
    // its name, still reporting the failure. Set before create().
    void setKeepIncomplete(bool keep) { keepIncomplete_ = keep; }
    // For a recording: the output is written in "<fileName>.part", visible
    // beside its name, and renamed at close, so that a crash keeps what was
    // written. Set before create().
    void setVisiblePart(bool visible) { visiblePart_ = visible; }

    // 0 after a good call; an AudioError code otherwise.
    int getError() const { return error_; }

private:
    struct Format {
        AudioKind kind = AudioKind::None;
        int sampleRate = 0, channels = 0, bits = 16;
        int kbps = 0, minKbps = 0, maxKbps = 0, quality = 500;
        int mp3Mode = 2;
        bool invalid = false;  // an unknown WMA profile
    };

    bool startEncoder();
    bool feed(const int16_t* samples, int64_t frames);
    bool switchInput(int sampleRate, int channels);
    void closeWriter();
    void closeReader();
    Format resolvedFormat() const;

    int error_ = 0;
    // reader
    std::unique_ptr<audio::AudioDecoder> decoder_;
    // writer
    Format format_;
    int inRate_ = 0, inChannels_ = 0;
    std::unique_ptr<audio::OutputFile> out_;
    std::unique_ptr<audio::Encoder> encoder_;
    std::unique_ptr<audio::PcmConverter> converter_;
    std::vector<int16_t> converted_;
    bool writeFailed_ = false;
    bool keepIncomplete_ = false;
    bool visiblePart_ = false;
    std::vector<std::pair<std::string, std::string>> wavInfo_;
    bool wavInfoWritten_ = false;
    std::optional<Mp3TagBytes> mp3Tags_;
    bool mp3TagsWritten_ = false;
};
