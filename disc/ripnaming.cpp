#include "disc/ripnaming.h"

#include "platform/paths.h"
#include "platform/texthelpers.h"
#include "platform/utf8.h"

namespace {

constexpr std::size_t kNameBytes = 255;

std::string twoDigits(int n) { return n < 10 ? "0" + std::to_string(n) : std::to_string(n); }

}  // namespace

std::string CleanPathPart(std::string_view text, std::string_view fallback, std::size_t maxBytes) {
    std::string kept;
    for (unsigned char c : RemoveInvalidFileNameChars(text))
        if (c >= 0x20 && c != 0x7f) kept += static_cast<char>(c);
    std::size_t start = kept.find_first_not_of(" .");
    // A part made of dots and blanks only names nothing we may create.
    if (start == std::string::npos) return std::string(fallback);
    kept.erase(0, start);
    std::string cut(Utf8Cut(kept, maxBytes));
    while (!cut.empty() && cut.back() == ' ') cut.pop_back();
    return cut.empty() ? std::string(fallback) : cut;
}

RipTarget RipOutputPath(int rule, const std::string& outputFolder, const std::string& title, const std::string& artist,
                        const std::string& album, int track, const std::string& extension) {
    if (rule < 0 || rule > 6) rule = 0;
    const std::string trackFallback = "Track " + twoDigits(track);
    const std::string t = CleanPathPart(title, trackFallback);
    const std::string a = CleanPathPart(artist, "Unknown Artist");
    const std::string b = CleanPathPart(album, "Unknown Album");
    RipTarget target;
    const std::string base = WithTrailingSeparator(outputFolder);
    target.folders.push_back(base);
    std::string folder = base;
    if (rule >= 3) {
        folder = WithTrailingSeparator(JoinPath(base, a));
        target.folders.push_back(folder);
    }
    if (rule >= 5) {
        folder = WithTrailingSeparator(JoinPath(folder, b));
        target.folders.push_back(folder);
    }
    std::string name;
    switch (rule) {
    case 1: name = t + "-" + a; break;
    case 2: name = t + "-" + a + "-" + b; break;
    case 4:
    case 6: name = std::to_string(track) + "-" + t; break;
    default: name = t; break;
    }
    // The whole name with its extension stays within what a file system
    // takes; the cut keeps whole characters.
    name = std::string(Utf8Cut(name, kNameBytes - extension.size()));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.empty()) name = trackFallback;
    target.folder = folder;
    target.path = folder + name + extension;
    return target;
}
