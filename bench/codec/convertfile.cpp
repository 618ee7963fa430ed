// convertfile JOB SOURCE OUTPUT: one file through the conversion loop of the
// converter windows (AudioFile reader -> AudioFile writer, blocks of two
// seconds), as a command of its own so that the codec benchmark times it
// as a whole process, like the command line encoders it is compared with.
// JOB: mp3 (CBR 192), ogg (ABR 160), wma (profile 24: 128 kbit/s) or wav.
// Prints the seconds of the loop alone; exit status 0 on success.

#include <chrono>
#include <cstdio>
#include <string>

#include "components/audio/audiofile.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: convertfile mp3|ogg|wma|wav SOURCE OUTPUT\n");
        return 1;
    }
    const std::string job = argv[1];
    const auto start = std::chrono::steady_clock::now();
    AudioFile reader, writer;
    if (!reader.open(argv[2], 0, 1)) return 2;
    reader.seek(0, 3);
    if (job == "mp3") {
        if (!writer.setMp3Format(reader.getPcmSampleRate(), 192, 3)) return 3;
    } else if (job == "ogg") {
        writer.setOggFormat(reader.getPcmSampleRate(), reader.getPcmChannels(), 160, 0, 0, 500);
    } else if (job == "wma") {
        if (!writer.setWmaFormat(24)) return 3;
    } else if (job == "wav") {
        writer.setWavFormat(reader.getPcmSampleRate(), reader.getPcmChannels(), 16);
    } else {
        return 1;
    }
    if (!writer.create(argv[3], 0)) return 4;
    writer.setInputFormat(reader.getPcmSampleRate(), reader.getPcmChannels());
    // Four times the frames per second: two seconds of stereo.
    const int64_t block = 4 * static_cast<int64_t>(reader.getPcmSampleRate());
    for (;;) {
        AudioBlock samples = reader.readBlock(block);
        if (reader.getError() != 0) return 5;
        if (samples.empty()) break;
        writer.writeBlock(samples);
        if (writer.getError() != 0) return 6;
    }
    reader.close();
    writer.close();
    if (writer.getError() != 0) return 7;
    std::printf("%.6f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
