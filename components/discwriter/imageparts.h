#pragma once
// What the image recorders leave in the image folder while an image takes
// shape: "<name>.bin.part" and "<name>.cue.part" for an audio disc,
// "<name>.iso.part" for a data disc, each held open by its writer until it
// takes its name.

#include <string>

inline constexpr const char* kAudioImageName = "Audio CD";
inline constexpr const char* kDataImageName = "Data CD";

// Removes the parts in folder whose writer has ended (killed, crashed, out
// of power); a part a running writer holds stays.
void RemoveAbandonedImageParts(const std::string& folder);
