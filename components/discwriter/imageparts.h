#pragma once
// What the image recorders leave in the image folder while an image takes
// shape: "<name>.bin.part" and "<name>.cue.part" for an audio disc,
// "<name>.iso.part" for a data disc, each held open by its writer until it
// takes its name.

#include <string>

inline constexpr const char* kAudioImageName = "Audio CD";
inline constexpr const char* kDataImageName = "Data CD";

// Clears a part's name before a writer makes it: a link there is a
// leftover (no writer makes one) and goes, a file goes when its writer has
// ended, and a part a running writer holds stays.
void ClearAbandonedPart(const std::string& path);

// The same for every part name in folder, and an append to the data image
// that a killed writer cut short is taken back; one that a running writer
// holds is left alone. The start calls it, so that what a killed writer
// left does not wait for the next write.
void RemoveAbandonedImageParts(const std::string& folder);
