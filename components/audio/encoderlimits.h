#pragma once
// What the encoders accept: the MPEG audio rate/bitrate rules and the WMA
// profile table. Pure functions, shared by the writer and its tests.

#include <optional>
#include <string>

namespace audio {

// MPEG audio sample rates (MPEG-1, 2 and 2.5).
bool isMp3SampleRate(int rate);
// The MPEG rate nearest to any rate (ties go to the higher one).
int nearestMp3SampleRate(int rate);
// The bitrate range of the MPEG version a rate belongs to, in kbit/s:
// MPEG-1 32..320, MPEG-2 8..160, MPEG-2.5 8..64.
int minMp3Bitrate(int mp3Rate);
int maxMp3Bitrate(int mp3Rate);
// True when MPEG audio allows the pair (rate must be an MPEG rate).
bool isLegalMp3Format(int rate, int kbps);
int clampMp3Bitrate(int mp3Rate, int kbps);

enum class Mp3ChannelMode { Mono = 1, Stereo = 2, JointStereo = 3, ForcedJointStereo = 4, DualChannel = 5 };

struct WmaProfile {
    int id = 0;
    int sampleRate = 0;
    int channels = 0;
    int nominalKbps = 0;  // what the profile's name promises
    int kbps = 0;         // what is encoded: never below the encoder's minimum
};
inline constexpr int kWmaMinimumKbps = 24;
std::optional<WmaProfile> wmaProfile(int id);

}  // namespace audio
