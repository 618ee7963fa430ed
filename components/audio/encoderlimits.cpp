#include "components/audio/encoderlimits.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace audio {

namespace {

constexpr std::array<int, 9> kMp3Rates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// Every WMA profile the windows offer. The three "VBR" profiles are encoded
// at the constant bitrate their names show; the encoder has no VBR mode.
constexpr std::array<WmaProfile, 18> kWmaProfiles = {{
    {17, 8000, 1, 6, 0},    {18, 22050, 1, 20, 0},  {19, 22050, 2, 20, 0},  {20, 32000, 2, 32, 0},
    {21, 32000, 2, 48, 0},  {22, 44100, 2, 64, 0},  {23, 44100, 2, 96, 0},  {24, 44100, 2, 128, 0},
    {42, 22050, 1, 20, 0},  {43, 22050, 2, 20, 0},  {44, 32000, 2, 32, 0},  {45, 44100, 2, 48, 0},
    {46, 44100, 2, 64, 0},  {47, 44100, 2, 96, 0},  {48, 44100, 2, 128, 0}, {49, 44100, 2, 64, 0},
    {50, 44100, 2, 64, 0},  {51, 44100, 2, 64, 0},
}};

}  // namespace

bool isMp3SampleRate(int rate) {
    return std::find(kMp3Rates.begin(), kMp3Rates.end(), rate) != kMp3Rates.end();
}

int nearestMp3SampleRate(int rate) {
    int best = kMp3Rates.front();
    for (int r : kMp3Rates)
        if (std::abs(r - rate) <= std::abs(best - rate)) best = r;
    return best;
}

int minMp3Bitrate(int mp3Rate) { return mp3Rate >= 32000 ? 32 : 8; }

int maxMp3Bitrate(int mp3Rate) {
    if (mp3Rate >= 32000) return 320;
    if (mp3Rate >= 16000) return 160;
    return 64;
}

bool isLegalMp3Format(int rate, int kbps) {
    return isMp3SampleRate(rate) && kbps >= minMp3Bitrate(rate) && kbps <= maxMp3Bitrate(rate);
}

int clampMp3Bitrate(int mp3Rate, int kbps) {
    return std::clamp(kbps, minMp3Bitrate(mp3Rate), maxMp3Bitrate(mp3Rate));
}

std::optional<WmaProfile> wmaProfile(int id) {
    for (WmaProfile p : kWmaProfiles) {
        if (p.id == id) {
            p.kbps = std::max(p.nominalKbps, kWmaMinimumKbps);
            return p;
        }
    }
    return std::nullopt;
}

}  // namespace audio
