#include "platform/inifile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/atomicfile.h"
#include "platform/folderlock.h"
#include "platform/paths.h"
#include "platform/posixfile.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// One physical line: [begin, contentEnd) is the text, [contentEnd, end) its
// line break (CR LF, LF, CR or nothing at the end of the file).
struct Line {
    size_t begin = 0;
    size_t contentEnd = 0;
    size_t end = 0;
};

class LineCursor {
public:
    explicit LineCursor(std::string_view text) : text_(text) {}
    bool next(Line* line) {
        if (pos_ >= text_.size()) return false;
        line->begin = pos_;
        size_t i = pos_;
        while (i < text_.size() && text_[i] != '\n' && text_[i] != '\r') ++i;
        line->contentEnd = i;
        if (i < text_.size()) {
            if (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n')
                i += 2;
            else
                ++i;
        }
        line->end = i;
        pos_ = i;
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

enum class LineKind { Other, Section, Key };

struct Parsed {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key lines: the trimmed value
    size_t equalsAt = 0;     // key lines: offset of "=" within the line
};

Parsed ParseLine(std::string_view content) {
    Parsed p;
    std::string_view t = Trim(content);
    if (t.empty() || t.front() == ';' || t.front() == '#') return p;
    if (t.front() == '[') {
        size_t close = t.find(']');
        if (close == std::string_view::npos) return p;
        p.kind = LineKind::Section;
        p.name = Trim(t.substr(1, close - 1));
        return p;
    }
    size_t eq = content.find('=');
    if (eq == std::string_view::npos) return p;
    std::string_view key = Trim(content.substr(0, eq));
    if (key.empty()) return p;
    p.kind = LineKind::Key;
    p.name = key;
    p.value = Trim(content.substr(eq + 1));
    p.equalsAt = eq;
    return p;
}

bool EndsWithLineBreak(std::string_view text) {
    return text.empty() || text.back() == '\n' || text.back() == '\r';
}

// Where a key lives in the text, or where it would be added.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;          // when keyFound
    Parsed key;            // when keyFound
    Line lastLineOfItems;  // the first matching section's header or its last key line
};

// A section may stand in the file more than once (an edit by hand, a merge):
// its keys are those of every copy, the first occurrence of each winning,
// as other readers of such files take them. A new key goes into the first
// copy.
Location Locate(std::string_view text, std::string_view section, std::string_view key) {
    Location loc;
    LineCursor cursor(text);
    Line line;
    bool inSection = false;
    bool inFirstCopy = false;
    while (cursor.next(&line)) {
        Parsed p = ParseLine(text.substr(line.begin, line.contentEnd - line.begin));
        if (p.kind == LineKind::Section) {
            inSection = SameName(p.name, section);
            inFirstCopy = inSection && !loc.sectionFound;
            if (inFirstCopy) {
                loc.sectionFound = true;
                loc.lastLineOfItems = line;
            }
            continue;
        }
        if (!inSection || p.kind != LineKind::Key) continue;
        if (inFirstCopy) loc.lastLineOfItems = line;
        if (SameName(p.name, key)) {
            loc.keyFound = true;
            loc.keyLine = line;
            loc.key = p;
            return loc;
        }
    }
    return loc;
}

bool ParseInteger(std::string_view s, int* out) {
    s = Trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    long long v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && AsciiLower(c) >= 'a' && AsciiLower(c) <= 'f')
            d = AsciiLower(c) - 'a' + 10;
        else
            return false;
        v = v * base + d;
        // Hexadecimal may name the full 32-bit pattern ($FFFFFFFF is -1).
        if (v > (base == 16 ? 0xFFFFFFFFLL : 0x80000000LL)) return false;
    }
    if (base == 16 && v > INT_MAX) v -= 0x100000000LL;
    if (negative) v = -v;
    if (v < INT_MIN || v > INT_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key) {
    Location loc = Locate(text, section, key);
    if (!loc.keyFound) return std::nullopt;
    return std::string(loc.key.value);
}

bool IsStorableIniEntry(std::string_view section, std::string_view key, std::string_view value) {
    auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    std::string_view s = Trim(section), k = Trim(key);
    if (s.empty() || hasBreak(section) || s.find(']') != std::string_view::npos) return false;
    if (k.empty() || hasBreak(key) || k.find('=') != std::string_view::npos) return false;
    if (k.front() == ';' || k.front() == '#' || k.front() == '[') return false;
    return !hasBreak(value);
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    Location loc = Locate(text, section, key);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    if (loc.keyFound) {
        size_t valueAt = loc.keyLine.begin + loc.key.equalsAt + 1;
        out.append(text.substr(0, valueAt));
        out.append(value);
        out.append(text.substr(loc.keyLine.contentEnd));
        return out;
    }
    std::string entry = std::string(Trim(key)) + "=" + std::string(value) + "\r\n";
    if (loc.sectionFound) {
        const Line& after = loc.lastLineOfItems;
        out.append(text.substr(0, after.end));
        if (after.end == after.contentEnd) out.append("\r\n");  // it was the last, unended line
        out.append(entry);
        out.append(text.substr(after.end));
        return out;
    }
    out.append(text);
    if (!EndsWithLineBreak(text)) out.append("\r\n");
    out.append("[").append(Trim(section)).append("]\r\n");
    out.append(entry);
    return out;
}

IniFile::IniFile() : path_(SettingsFilePath()) {}

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const {
    std::string text;
    if (!ReadRegularFile(path_, kMaxSettingsFileBytes, &text)) return std::nullopt;
    return FindIniValue(text, section, key);
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const {
    if (auto v = find(section, key)) return *v;
    return std::string(def);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int def) const {
    int v;
    if (auto s = find(section, key); s && ParseInteger(*s, &v)) return v;
    return def;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    lastError_.clear();
    if (!IsStorableIniEntry(section, key, value)) {
        lastError_ = "The setting [" + std::string(section) + "] " + std::string(key) +
                     " cannot be stored: its name or value holds a character the settings file cannot keep";
        return false;
    }
    std::string folder = ParentFolder(path_);
    if (!CreateFolderPath(folder)) {
        lastError_ = "Cannot create folder " + folder;
        return false;
    }
    FolderLock lock(path_, LOCK_EX);
    std::string text;
    if (!ReadRegularFile(path_, kMaxSettingsFileBytes, &text)) {
        // Only a missing file starts empty: one that cannot be read, is too
        // large or is no file at all is not replaced by a one-line file.
        if (errno != ENOENT) {
            lastError_ = "Cannot open file " + path_;
            return false;
        }
    }
    std::string updated = SetIniValue(text, section, key, value);
    if (updated == text) return true;
    AtomicWriteResult r = WriteFileAtomically(path_, updated);
    if (!r) lastError_ = r.error;
    return r.ok;
}

bool IniFile::writeInteger(std::string_view section, std::string_view key, int value) {
    return writeString(section, key, std::to_string(value));
}

bool IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}
