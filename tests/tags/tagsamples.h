#pragma once
// Audio files for the tag tests, made by ffmpeg once per test binary, and the
// outside readers the tests compare with (mutagen, TagLib, ffmpeg).

#include <map>
#include <string>

namespace tagsamples {

// A generated sample, made on first use and reused after: "mp3" (no tags),
// "mp3-v24" (ffmpeg's ID3v2.4 tag with Cyrillic text and an ID3v1 block),
// "ogg", "ogg-tagged", "wma", "wma-tagged", "opus.ogg", "flac.ogg".
const std::string& sample(const std::string& kind);
// A private copy of a sample in a fresh folder; the folder is *dir.
std::string copyOf(const std::string& kind, std::string* dir = nullptr);

// md5 of the PCM ffmpeg decodes from the file.
std::string decodedMd5(const std::string& path);
// Runs a Python script with mutagen; returns what it printed.
std::string mutagen(const std::string& script);
// The tag TagLib reads (title, artist, album, comment, genre, year, track).
std::map<std::string, std::string> taglibTag(const std::string& path);

}  // namespace tagsamples
