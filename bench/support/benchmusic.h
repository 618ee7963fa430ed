#pragma once
// Test audio for the benchmarks that encode, decode or write audio.

#include <string>

namespace bench {

// Minutes of something like music (a chord with vibrato and a beat over
// noise, 44.1 kHz stereo), written through our writer in the format the
// name says; seed varies the pitch and the noise.
bool WriteMusic(const std::string& path, int minutes, int seed);

}  // namespace bench
