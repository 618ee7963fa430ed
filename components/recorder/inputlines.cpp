#include "components/recorder/inputlines.h"

#include <algorithm>
#include <cstdint>

namespace {

void AddLinesOf(const InputSource& source, std::vector<InputLine>& lines) {
    if (source.ports.size() < 2) {
        const bool usable = source.ports.empty() || source.ports.front().available;
        lines.push_back({source.description.empty() ? source.name : source.description, source.name, {}, usable});
        return;
    }
    for (const InputPort& port : source.ports) {
        const std::string& what = port.description.empty() ? port.name : port.description;
        lines.push_back({source.description + ": " + what, source.name, port.name, port.available});
    }
}

}  // namespace

std::vector<InputLine> InputLinesOf(const std::vector<InputSource>& sources) {
    std::vector<InputLine> lines;
    for (bool monitors : {false, true}) {
        for (const InputSource& source : sources) {
            if (source.monitor == monitors) AddLinesOf(source, lines);
        }
    }
    if (lines.size() > kMaxLines) lines.resize(kMaxLines);
    return lines;
}

uint32_t ServerVolume(int lineVolume) {
    // The top of the mixer scale is full volume, never a notch below it.
    const int v = std::clamp(lineVolume, 0, 65535);
    return v == 65535 ? 65536u : static_cast<uint32_t>(v);
}

int LineVolume(uint32_t serverVolume) { return static_cast<int>(std::min<uint32_t>(serverVolume, 65535u)); }
