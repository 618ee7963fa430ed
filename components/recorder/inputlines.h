#pragma once
// The recorder's input lines: what the sound server offers, in the shape of
// a mixer's recording lines. Every input source is a line, or one line per
// port when it has several (a card's microphone and line-in jacks), so that
// choosing a line chooses the jack; the monitors of the outputs ("what you
// hear") come after the inputs. At most kMaxLines lines are offered.

#include <cstddef>
#include <string>
#include <vector>

#include "components/recorder/pcminput.h"

struct InputLine {
    std::string name;    // shown to the user
    std::string source;  // the server's source to record from
    std::string port;    // the port to make active; empty when the source has no choice
    bool usable = true;
};

inline constexpr size_t kMaxLines = 8;

std::vector<InputLine> InputLinesOf(const std::vector<InputSource>& sources);

// A mixer-style volume (0..65535) and the server's scale (65536 is full).
uint32_t ServerVolume(int lineVolume);
int LineVolume(uint32_t serverVolume);
