#include "tags/audiokind.h"

#include "tags/textcodec.h"

AudioKind AudioKindOfPath(std::string_view path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string_view::npos || path[dot] != '.') return AudioKind::None;
    const std::string ext = tags::AsciiLower(path.substr(dot + 1));
    if (ext == "wav") return AudioKind::Wav;
    if (ext == "mp3") return AudioKind::Mp3;
    if (ext == "ogg") return AudioKind::Ogg;
    if (ext == "wma") return AudioKind::Wma;
    return AudioKind::None;
}
