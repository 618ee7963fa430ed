#include "components/discwriter/cueimage.h"

#include <cstdio>

#include "platform/utf8.h"

namespace cueimage {

std::string CdText(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const std::size_t n = DecodeUtf8Char(utf8, i, &cp);
        if (n == 0) {
            out += '?';
            ++i;
            continue;
        }
        i += n;
        if (cp < 0x20 || (cp >= 0x7f && cp < 0xa0)) continue;
        if (cp == '"') cp = '\'';
        out += cp <= 0xff ? static_cast<char>(cp) : '?';
    }
    return out;
}

std::string Msf(int64_t sector) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(sector / 4500),
                  static_cast<long long>(sector / 75 % 60), static_cast<long long>(sector % 75));
    return text;
}

std::string RenderCue(const std::string& binName, const std::vector<Track>& tracks) {
    std::string cue = "FILE \"" + CdText(binName) + "\" BINARY\r\n";
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        char number[24];
        std::snprintf(number, sizeof number, "%02zu", t + 1);
        cue += std::string("  TRACK ") + number + " AUDIO\r\n";
        const std::string title = CdText(tracks[t].title), performer = CdText(tracks[t].performer);
        if (!title.empty()) cue += "    TITLE \"" + title + "\"\r\n";
        if (!performer.empty()) cue += "    PERFORMER \"" + performer + "\"\r\n";
        cue += "    INDEX 01 " + Msf(tracks[t].firstSector) + "\r\n";
    }
    return cue;
}

}  // namespace cueimage
