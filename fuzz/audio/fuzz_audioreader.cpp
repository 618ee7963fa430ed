// Feeds arbitrary bytes to the audio reader and to the facts and tags reader,
// as a file with each of the four extensions (the first byte chooses which).
// A file either fails to open with a code or opens with sane facts, reads in
// whole frames and ends; a seek lands where it was asked.

#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

const std::string& tempDir() {
    static const std::string dir = [] {
        char name[] = "/tmp/fuzz-audioreader-XXXXXX";
        if (!::mkdtemp(name)) std::abort();
        return std::string(name);
    }();
    return dir;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n <= 0) std::abort();
        data += n;
        size -= static_cast<size_t>(n);
    }
    ::close(fd);
}

void readAFew(AudioFile& reader, int blocks) {
    const int channels = reader.getPcmChannels();
    for (int i = 0; i < blocks; ++i) {
        AudioBlock block = reader.readBlock(4096);
        if (block.size() % channels != 0 || block.size() > 4096) std::abort();
        if (block.empty()) break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const kExtensions[] = {"mp3", "wav", "ogg", "wma"};
    const std::string path = tempDir() + "/input." + kExtensions[data[0] % 4];
    writeFile(path, data + 1, size - 1);

    AudioFile reader;
    if (reader.open(path)) {
        const int channels = reader.getPcmChannels();
        if (channels < 1 || channels > 2 || reader.getSampleRate() <= 0 || reader.getLength() < 0 ||
            reader.getDuration() < 0)
            std::abort();
        readAFew(reader, 64);
        // A seek into the middle and one past the end: both read on or end.
        reader.seek(reader.getLength() / 2);
        readAFew(reader, 4);
        reader.seek(reader.getLength() + 1000);
        readAFew(reader, 4);
        reader.close();
    } else if (reader.getError() == AudioErrorNone) {
        std::abort();
    }

    AudioInformation info;
    if (info.load(path) && (info.infoDuration < 0 || info.infoSamples < 0)) std::abort();
    ::unlink(path.c_str());
    return 0;
}
