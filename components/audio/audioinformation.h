#pragma once
// Facts and tags of an audio file. load reads the stream facts and the tag
// of the file's format (MP3: ID3v1 or ID3v2; Ogg: Vorbis comments; WMA: ASF
// attributes; WAV: RIFF INFO); the fields may then be changed and save
// writes them with the same format's writer. Re-entrant: instances on
// different threads share nothing.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tags/mpeg/id3v1.h"

struct CommonTags;
namespace tags {
class Id3v2Tag;
}

// An MP3's two tags as bytes: the ID3v2 tag that goes before the audio and
// the ID3v1 block after it.
struct Mp3TagBytes {
    tags::ByteVector id3v2;
    ID3v1Block id3v1;
};

class AudioInformation {
public:
    bool readyFlag = false;  // set by the windows at form show; nothing reads it
    // 1 ID3v1, 2 ID3v2 (MP3 only). Until it is put, load prefers ID3v2 and
    // falls back to ID3v1, and save writes both, so that a tag copied from a
    // file with only one of them is not lost.
    int tagVersion = 0;

    // False when the file cannot be read; a file without a tag loads with
    // empty fields.
    bool load(const std::string& fileName);
    // The tag fields alone, the stream facts left at zero: what a copy of
    // the tags to another file needs, without opening a decoder.
    bool loadTags(const std::string& fileName);
    // False (see lastError) when the tag could not be written; the file is
    // then unchanged.
    bool save(const std::string& fileName);
    const std::string& lastError() const { return lastError_; }
    // The fields as a WAV's RIFF INFO items (id, UTF-8 text), as save
    // writes them: for a writer to put in with the audio (AudioFile's
    // setWavInfo), so that a new WAV is written once.
    std::vector<std::pair<std::string, std::string>> wavInfoItems() const;
    // The fields as a new MP3's two tags, as save writes them to an MP3
    // without tags: for a writer to put in with the audio (AudioFile's
    // setMp3Tags), so the file takes its name tagged.
    Mp3TagBytes mp3TagBytes() const;

    // Stream facts, after load.
    int infoFrequency = 0;       // Hz
    int64_t infoBitrate = 0;     // bit/s
    int64_t infoDuration = 0;    // ms
    int64_t infoSize = 0;        // bytes of the file
    int64_t infoSamples = 0;     // sample frames
    int infoChannels = 0;
    int infoBitsPerSample = 0;   // of PCM; 16 for compressed formats
    int infoFormatTag = 0;       // the WAVE format tag of the codec

    // Tag fields, UTF-8.
    std::string infoTitle, infoArtist, infoAlbum, infoComments, infoCopyright, infoURL, infoEncodedBy, infoComposer,
        infoOriginalArtist;
    // Genre as an index into the genre list; a genre text that is not in
    // the list loads as 12 ("Other") and is kept as it was unless the number
    // or infoGenreS is changed.
    int infoGenre = 12;
    // Genre as text, put only: when set, save writes it instead of infoGenre
    // (as the index of the first equal name in an ID3v1 block, 12 when none).
    std::string infoGenreS;
    int infoYear = 0;   // 0: none
    int infoTrack = 0;  // 0: none

private:
    void clear();
    // Clears what an earlier load left and takes the file's size; false
    // (with the error) when it is no regular file.
    bool startLoad(const std::string& fileName);
    bool loadTagsOf(const std::string& fileName);
    bool loadMp3(const std::string& fileName);
    bool loadOgg(const std::string& fileName);
    bool loadWma(const std::string& fileName);
    bool loadWav(const std::string& fileName);
    bool saveMp3(const std::string& fileName);
    bool saveMp3V2(const std::string& fileName);
    // The frames beyond the seven fields (composer, URL...), over those of tag.
    void putExtraFrames(tags::Id3v2Tag& tag) const;
    ID3v1Block id3v1Block() const;
    bool saveOgg(const std::string& fileName);
    bool saveWma(const std::string& fileName);
    bool saveWav(const std::string& fileName);
    // The seven common fields from and to a tag's texts: year and track as
    // their leading numbers, the genre through the list.
    void setCommonTags(const CommonTags& t);
    CommonTags commonTags() const;
    void setGenreText(const std::string& text);
    std::string genreText() const;
    int genreNumber() const;

    std::string lastError_;
    // The genre as loaded, so that a save that did not touch it keeps a text
    // the list does not have.
    int loadedGenre_ = -1;
    std::string loadedGenreText_;
};
