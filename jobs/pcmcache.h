#pragma once
// The decoded audio of a compressed source, kept in an unnamed temporary
// file while a normalizing job measures the source's peaks, so that writing
// the output reads it back instead of decoding the source a second time
// (decoding is most of the cost of a WAV or WMA output). The file has no
// name: nothing is left behind, whatever happens to the job. Any failure
// (no room, no temporary folder) only drops the cache; the caller then
// decodes again.

#include <cstdint>
#include <string>

#include "components/audio/audioblock.h"
#include "platform/posixfile.h"

class PcmCache {
public:
    // In folder; false when no unnamed file can be made there.
    bool open(const std::string& folder, int channels, int64_t maxBytes);
    bool usable() const { return file_.isOpen() && !failed_; }
    // False once the cache gave up (a write failed or it grew too large).
    bool append(const AudioBlock& block);
    int64_t frames() const { return channels_ > 0 ? samples_ / channels_ : 0; }
    AudioBlock read(int64_t samples);
    bool readFailed() const { return readFailed_; }

private:
    PosixFile file_;
    int channels_ = 0;
    int64_t maxBytes_ = 0;
    int64_t samples_ = 0;
    int64_t readSamples_ = 0;
    bool failed_ = false;
    bool readFailed_ = false;
};
