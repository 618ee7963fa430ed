#pragma once
// Every tag a file holds, taken whole, to be put on a new file of the same
// format that takes the first one's place (an output written over its own
// source): all ID3v2 frames (pictures, lyrics, ReplayGain...) and the ID3v1
// block of an MP3, all Vorbis comments of an Ogg file, all attributes of a
// WMA file, all RIFF INFO items of a WAV file. What the output's writer put
// there of its own and the file has no value for stays.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "components/audio/riffinfo.h"
#include "tags/asf/asfattributes.h"
#include "tags/audiokind.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"

class TagSnapshot {
public:
    // False, with *error, when the file's tags cannot be read; a file with
    // no tag gives an empty snapshot.
    bool take(const std::string& fileName, std::string* error = nullptr);
    // Writes the tags onto fileName, a file of the same format; false, with
    // *error, when they could not be written. An empty snapshot writes
    // nothing.
    bool put(const std::string& fileName, std::string* error = nullptr) const;
    bool empty() const;

private:
    AudioKind kind_ = AudioKind::None;
    std::optional<tags::Id3v2Tag> id3v2_;
    std::optional<ID3v1Block> id3v1_;
    std::vector<std::pair<std::string, std::string>> comments_;
    std::optional<tags::AsfHeader> asf_;
    audio::RiffInfoItems riff_;
};
