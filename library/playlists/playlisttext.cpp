#include "playlisttext.h"

#include "platform/posixfile.h"
#include "platform/utf8.h"
#include "tags/textcodec.h"

namespace {

bool isWindowsAbsolute(std::string_view path) {
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
    return path.starts_with("\\\\");
}

}  // namespace

int ForEachPlaylistLine(std::string_view bytes, const std::function<void(std::string_view)>& onLine) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    // The whole file decides how it is read, but lines are decoded one at a
    // time: a second copy of a large list would double what reading it costs.
    const bool windows1252 = !IsValidUtf8(bytes);
    std::string decoded;
    int overlong = 0;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t end = bytes.find_first_of("\r\n", pos);
        const size_t stop = end == std::string_view::npos ? bytes.size() : end;
        std::string_view line = bytes.substr(pos, stop - pos);
        if (windows1252) {
            decoded = tags::Windows1252ToUtf8(line);
            line = decoded;
        }
        if (line.size() > kMaxPlaylistLine)
            ++overlong;
        else
            onLine(line);
        pos = stop;
        if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
    return overlong;
}

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && tags::EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
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

bool RefuseEntryWithNul(std::string_view path, PlaylistReadResult& result) {
    if (path.find('\0') == std::string_view::npos) return false;
    ++result.skipped;
    std::string shown;
    for (char c : path) {
        if (c == '\0') shown += "\xEF\xBF\xBD";
        else shown += c;
    }
    result.refused.push_back(std::move(shown));
    return true;
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
    if (!ReadRegularFile(fileName, kMaxPlaylistFileBytes, bytes)) {
        result.ok = false;
        result.error = "Cannot open file " + fileName;
    }
    return result;
}
