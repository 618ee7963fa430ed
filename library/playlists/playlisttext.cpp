#include "playlisttext.h"

#include <cstdint>

#include "platform/posixfile.h"
#include "platform/utf8.h"

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes keep their C1 code
// points, as the system's own conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (unsigned char b : bytes) {
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            continue;
        }
        const uint32_t cp = b < 0xA0 ? kCp1252High[b - 0x80] : b;
        if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    return out;
}

bool isWindowsAbsolute(std::string_view path) {
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
    return path.starts_with("\\\\");
}

}  // namespace

int ForEachPlaylistLine(std::string_view bytes, const std::function<void(std::string_view)>& onLine) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::string decoded;
    std::string_view text = bytes;
    if (!IsValidUtf8(bytes)) {
        decoded = cp1252ToUtf8(bytes);
        text = decoded;
    }
    int overlong = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find_first_of("\r\n", pos);
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        const std::string_view line = text.substr(pos, stop - pos);
        if (line.size() > kMaxPlaylistLine)
            ++overlong;
        else
            onLine(line);
        pos = stop;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    return overlong;
}

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i], b = prefix[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

std::string PlaylistFolderOf(std::string_view playlistPath) {
    const auto slash = playlistPath.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(playlistPath.substr(0, slash));
}

std::string ResolveEntryPath(std::string_view folder, std::string_view path) {
    if (folder.empty() || path.starts_with('/') || isWindowsAbsolute(path)) return std::string(path);
    while (path.starts_with("./")) path.remove_prefix(2);
    std::string out(folder);
    if (!out.ends_with('/')) out.push_back('/');
    out.append(path);
    return out;
}

std::string OneLineName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

const PlaylistRow* FindPathWithLineBreak(const std::vector<PlaylistRow>& rows) {
    for (const auto& row : rows)
        if (row.path.find_first_of("\r\n") != std::string::npos) return &row;
    return nullptr;
}

PlaylistReadResult ReadPlaylistBytes(const std::string& fileName, std::string* bytes) {
    PlaylistReadResult result;
    if (!ReadWholeFile(fileName, bytes)) {
        result.ok = false;
        result.error = "Cannot open file " + fileName;
    }
    return result;
}
