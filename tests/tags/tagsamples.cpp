#include "tagsamples.h"

#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "testenv.h"

namespace tagsamples {

namespace {

const char* kBitexact = "-fflags +bitexact -flags:a +bitexact ";

// ffmpeg's codec and tag arguments for each kind of sample.
const std::map<std::string, std::string> kArgs = {
    {"mp3", "-c:a libmp3lame -b:a 64k -id3v2_version 0"},
    {"mp3-v24", "-c:a libmp3lame -b:a 64k -id3v2_version 4 -write_id3v1 1 -metadata title='Песня' "
                "-metadata artist=Artist -metadata album=Album -metadata date=2001 -metadata track=5 "
                "-metadata genre=Rock -metadata comment=Hello"},
    {"ogg", "-c:a libvorbis -q:a 1"},
    {"ogg-tagged", "-c:a libvorbis -q:a 1 -metadata title=Song -metadata artist=Artist -metadata album=Album "
                   "-metadata date=1999 -metadata genre=Pop -metadata tracknumber=3 -metadata comment=Note "
                   "-metadata REPLAYGAIN_TRACK_GAIN='-3.5 dB'"},
    {"wma", "-c:a wmav2 -b:a 64k"},
    {"wma-tagged", "-c:a wmav2 -b:a 64k -metadata title=Song -metadata artist=Artist -metadata album=Album "
                   "-metadata WM/Year=1999 -metadata genre=Jazz -metadata track=7 -metadata comment=Note "
                   "-metadata WM/Composer=Bach"},
    {"opus.ogg", "-c:a libopus -f ogg"},
    {"flac.ogg", "-c:a flac -f ogg"},
};

}  // namespace

const std::string& sample(const std::string& kind) {
    static std::map<std::string, std::string> made;
    static const std::string dir = testenv::makeTempDir("samples");
    auto it = made.find(kind);
    if (it == made.end()) {
        const std::string ext = kind.find("mp3") == 0 ? ".mp3" : kind.find("wma") == 0 ? ".wma" : ".ogg";
        const std::string path = dir + "/" + kind + ext;
        EXPECT_TRUE(testenv::encodeTone(path, 1, kBitexact + kArgs.at(kind))) << "ffmpeg failed on " << kind;
        it = made.emplace(kind, path).first;
    }
    return it->second;
}

std::string copyOf(const std::string& kind, std::string* dirOut) {
    const std::string& from = sample(kind);
    const std::string dir = testenv::makeTempDir("copy");
    const std::string to = dir + "/" + from.substr(from.rfind('/') + 1);
    testenv::writeFile(to, testenv::readFile(from));
    if (dirOut) *dirOut = dir;
    return to;
}

std::string decodedMd5(const std::string& path) {
    return testenv::capture("ffmpeg -v fatal -i " + testenv::shellQuote(path) + " -map 0:a -f md5 -");
}

std::string mutagen(const std::string& script) {
    const std::string file = testenv::makeTempDir("py") + "/script.py";
    testenv::writeFile(file, "import sys, mutagen\n" + script);
    // The system's Python has the Debian package; a user's own Python may not.
    return testenv::capture("/usr/bin/python3 " + file);
}

std::map<std::string, std::string> taglibTag(const std::string& path) {
    TagLib::FileRef ref(path.c_str(), false);
    std::map<std::string, std::string> out;
    if (ref.isNull() || !ref.tag()) return out;
    const TagLib::Tag* tag = ref.tag();
    out["title"] = tag->title().to8Bit(true);
    out["artist"] = tag->artist().to8Bit(true);
    out["album"] = tag->album().to8Bit(true);
    out["comment"] = tag->comment().to8Bit(true);
    out["genre"] = tag->genre().to8Bit(true);
    out["year"] = std::to_string(tag->year());
    out["track"] = std::to_string(tag->track());
    return out;
}

}  // namespace tagsamples
