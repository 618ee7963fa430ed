// Tag reading and writing speed against TagLib on the same files: 2,000
// generated files per format, read warm, tags only; then a tag write per
// format. Prints files per second for both and our ratio.
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/ogg/oggtag.h"
#include "tags/asf/wmatag.h"

namespace {

constexpr int kFiles = 2000;
constexpr int kWrites = 100;
constexpr int kRounds = 7;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Seconds for the best of a few rounds of each reader over every file. The
// rounds alternate, so a busy machine slows both sides alike.
std::pair<double, double> bestSeconds(const std::vector<std::string>& files,
                                      const std::function<void(const std::string&)>& ours,
                                      const std::function<void(const std::string&)>& theirs) {
    auto once = [&](const std::function<void(const std::string&)>& fn) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& f : files) fn(f);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::pair<double, double> best{1e9, 1e9};
    for (int round = 0; round < kRounds; ++round) {
        best.first = std::min(best.first, once(ours));
        best.second = std::min(best.second, once(theirs));
    }
    return best;
}

volatile size_t sink = 0;

void taglibRead(const std::string& path) {
    TagLib::FileRef ref(path.c_str(), false);
    if (!ref.isNull() && ref.tag()) sink = sink + ref.tag()->title().size() + ref.tag()->artist().size();
}

void report(const char* what, size_t files, double ours, double theirs) {
    std::printf("%-22s ours %9.0f files/s   TagLib %9.0f files/s   ratio %.2f\n", what, files / ours,
                files / theirs, theirs / ours);
}

}  // namespace

int main() {
    char tmpl[] = "/tmp/bench_tags_XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    const std::string sine = "ffmpeg -v error -y -f lavfi -i sine=duration=1 -fflags +bitexact -flags:a +bitexact ";
    struct Format {
        const char* name;
        const char* ext;
        const char* codec;
    };
    const Format formats[] = {{"MP3 (ID3v1 + ID3v2)", "mp3", "-c:a libmp3lame -id3v2_version 0"},
                              {"OGG", "ogg", "-c:a libvorbis"},
                              {"WMA", "wma", "-c:a wmav2"}};
    for (const Format& format : formats) {
        const std::string base = dir + "/base." + format.ext;
        if (std::system((sine + format.codec + " " + base).c_str()) != 0) {
            std::fprintf(stderr, "ffmpeg could not make the %s sample\n", format.ext);
            return 1;
        }
        const std::string baseBytes = readAll(base);
        std::vector<std::string> files;
        for (int i = 0; i < kFiles; ++i) {
            const std::string path = dir + "/f" + std::to_string(i) + "." + format.ext;
            writeAll(path, baseBytes);
            const std::string n = std::to_string(i);
            bool ok = true;
            if (format.ext == std::string("mp3")) {
                ID3v1Block v1 = ID3v1Block::Empty();
                v1.setTitle("Title " + n);
                v1.setArtist("Artist " + n);
                ok = WriteID3v1Tag(path, v1).ok &&
                     WriteID3v2Tag(path, {"Title " + n, "Artist " + n, "Album", "2001", n, "Comment", "Rock"}).ok;
            } else if (format.ext == std::string("ogg")) {
                ok = WriteOggTag(path, {"Album", "Title " + n, "Artist " + n, "Comment", "Rock", "2001", n}).ok;
            } else {
                WmaTagInfo info;
                info.Title = "Title " + n;
                info.Author = "Artist " + n;
                info.TrackNumber = static_cast<uint16_t>(i);
                ok = WriteWmaTag(path, info).ok;
            }
            if (!ok) {
                std::fprintf(stderr, "could not tag %s\n", path.c_str());
                return 1;
            }
            files.push_back(path);
        }

        std::function<void(const std::string&)> ours;
        if (format.ext == std::string("mp3")) {
            ours = [](const std::string& p) {
                ID3v1Block v1;
                ID3StructV2 v2;
                ReadID3v1Tag(p, v1);
                ReadID3v2Tag(p, v2);
                sink = sink + v2.Title.size() + v1.bytes[3];
            };
        } else if (format.ext == std::string("ogg")) {
            ours = [](const std::string& p) {
                OGGTag tag;
                ReadOggTag(p, tag);
                sink = sink + tag.Title.size();
            };
        } else {
            ours = [](const std::string& p) {
                WmaTagInfo info;
                ReadWmaInfo(p, info);
                sink = sink + info.Title.size();
            };
        }
        const auto [ourRead, theirRead] = bestSeconds(files, ours, taglibRead);
        report((std::string("read ") + format.name).c_str(), files.size(), ourRead, theirRead);

        const std::vector<std::string> some(files.begin(), files.begin() + kWrites);
        int k = 0;
        std::function<void(const std::string&)> ourWrite;
        if (format.ext == std::string("mp3")) {
            ourWrite = [&](const std::string& p) {
                ID3StructV2 t{"New title " + std::to_string(k++ % 7), "Artist", "Album", "2002", "1", "", "Pop"};
                WriteID3v2Tag(p, t);
            };
        } else if (format.ext == std::string("ogg")) {
            ourWrite = [&](const std::string& p) {
                WriteOggTag(p, {"Album", "New title " + std::to_string(k++ % 7), "Artist", "", "Pop", "2002", "1"});
            };
        } else {
            ourWrite = [&](const std::string& p) {
                WmaTagInfo info;
                info.Title = "New title " + std::to_string(k++ % 7);
                WriteWmaTag(p, info);
            };
        }
        const auto [ourWriteSeconds, theirWriteSeconds] = bestSeconds(some, ourWrite, [&](const std::string& p) {
            TagLib::FileRef ref(p.c_str(), false);
            ref.tag()->setTitle(TagLib::String("New title " + std::to_string(k++ % 7), TagLib::String::UTF8));
            ref.save();
        });
        report((std::string("write ") + format.name).c_str(), some.size(), ourWriteSeconds, theirWriteSeconds);
        for (const auto& f : files) ::unlink(f.c_str());
        ::unlink(base.c_str());
    }
    ::rmdir(dir.c_str());
    return 0;
}
