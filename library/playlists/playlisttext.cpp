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
    std::string decoded;
    std::string_view text = bytes;
    if (!IsValidUtf8(bytes)) {
        decoded = tags::Windows1252ToUtf8(bytes);
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
