#include "bench/support/benchmusic.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "components/audio/audiofile.h"

namespace bench {

bool WriteMusic(const std::string& path, int minutes, int seed) {
    constexpr int kRate = 44100;
    AudioFile w;
    if (!w.create(path)) return false;
    w.setInputFormat(kRate, 2);
    uint32_t noise = static_cast<uint32_t>(seed) * 2654435761u + 1;
    AudioBlock block(std::vector<int16_t>(static_cast<size_t>(10 * kRate * 2)));
    const double base = 196.0 * (1 + 0.05 * seed);
    for (int64_t done = 0; done < int64_t{minutes} * 60 * kRate; done += 10 * kRate) {
        for (int i = 0; i < 10 * kRate; ++i) {
            const double t = static_cast<double>(done + i) / kRate;
            const double beat = std::exp(-8 * std::fmod(t, 0.5));
            const double tone = 0.2 * std::sin(2 * M_PI * base * t + 2 * std::sin(2 * M_PI * 5 * t)) +
                                0.1 * std::sin(2 * M_PI * base * 1.5 * t) + 0.08 * beat * std::sin(2 * M_PI * 60 * t);
            for (int c = 0; c < 2; ++c) {
                noise = noise * 1664525u + 1013904223u;
                const double n = 0.04 * (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
                block.samples[static_cast<size_t>(2 * i + c)] = static_cast<int16_t>((tone + n) * 30000);
            }
        }
        w.writeBlock(block);
    }
    w.close();
    return w.getError() == 0;
}

}  // namespace bench
