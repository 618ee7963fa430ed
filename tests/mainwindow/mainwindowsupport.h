#pragma once
// Audio files for the main window's tests, made here: tags written by our
// own tag writers on short generated streams.

#include <string>

namespace mwtest {

struct Tags {
    std::string title, artist, album, genre, year, comment;
    int genreByte = 255;  // ID3v1 only
};

// An MP3 stream of a few frames with an ID3v1 block (no block when
// withTag is false).
std::string makeMp3(const std::string& path, const Tags& tags, bool withTag = true);
// An Ogg Vorbis file with its comments.
std::string makeOgg(const std::string& path, const Tags& tags);
// A WMA file with its attributes.
std::string makeWma(const std::string& path, const Tags& tags);
// A short WAV file.
std::string makeWav(const std::string& path);

}  // namespace mwtest
