#include "disc/cdfilelist.h"

#include <cerrno>

#include <sys/stat.h>

#include "platform/atomicfile.h"
#include "platform/posixfile.h"

std::vector<std::string> ParseCdFileList(std::string_view bytes) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.size() <= CdFileListMaxLine && line.find('\0') == std::string_view::npos)
            paths.emplace_back(line);
        start = end + 1;
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ++start;
    }
    return paths;
}

std::string RenderCdFileList(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& path : paths) {
        if (path.empty() || path.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) continue;
        text += path;
        text += "\r\n";
    }
    return text;
}

bool ReadCdFileList(const std::string& file, std::vector<std::string>* paths, std::string* error) {
    paths->clear();
    std::string bytes;
    if (!ReadRegularFile(file, CdFileListMaxBytes, &bytes)) {
        if (error) *error = FileReadErrorText(errno);
        return false;
    }
    *paths = ParseCdFileList(bytes);
    return true;
}

bool WriteCdFileList(const std::string& file, const std::vector<std::string>& paths, std::string* error) {
    const AtomicWriteResult result = WriteFileAtomically(file, RenderCdFileList(paths));
    if (!result && error) *error = result.error;
    return result.ok;
}

std::string CdFileListName(std::string_view chosen) {
    const std::size_t slash = chosen.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = chosen.rfind('.');
    std::string name(chosen);
    // A name's leading dot makes it hidden; it starts no extension.
    if (dot != std::string_view::npos && dot > nameStart) name.resize(dot);
    return name + ".cfl";
}

ListedEntryKind InspectListedEntry(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return ListedEntryKind::Missing;
    if (S_ISREG(st.st_mode)) return ListedEntryKind::RegularFile;
    if (S_ISDIR(st.st_mode)) return ListedEntryKind::Folder;
    return ListedEntryKind::Special;
}
