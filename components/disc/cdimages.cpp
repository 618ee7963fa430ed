#include "components/disc/cdimages.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "components/disc/cddbtext.h"
#include "platform/paths.h"
#include "platform/posixfile.h"
#include "platform/utf8.h"

namespace {

// A cue of a whole disc is a few kilobytes; anything far larger is not one.
constexpr std::size_t kCueSizeLimit = 256 * 1024;

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// The first word of text and the rest after the blanks that follow it.
std::pair<std::string_view, std::string_view> firstWord(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && !isBlank(text[i])) ++i;
    return {text.substr(0, i), trim(text.substr(i))};
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Text that is valid UTF-8 is taken as such; anything else is Latin-1, as
// older rippers (and our own image writer) write it.
std::string asUtf8(std::string_view bytes) { return IsValidUtf8(bytes) ? std::string(bytes) : latin1ToUtf8(bytes); }

// mm:ss:ff as a sector count; -1 when malformed.
long msfSectors(std::string_view text) {
    long parts[3] = {0, 0, 0};
    std::size_t part = 0, digits = 0;
    for (const char c : text) {
        if (c == ':' && digits > 0 && part < 2) {
            ++part;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 3) {
            parts[part] = parts[part] * 10 + (c - '0');
            ++digits;
        } else {
            return -1;
        }
    }
    if (part != 2 || digits == 0 || parts[1] > 59 || parts[2] > 74) return -1;
    return (parts[0] * 60 + parts[1]) * 75 + parts[2];
}

// A number of one or two digits; -1 otherwise.
int smallNumber(std::string_view text) {
    if (text.empty() || text.size() > 2) return -1;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// A quoted value runs to the last quote of the line, so a title that holds
// quotes of its own comes whole; an unquoted one is the rest of the line.
bool quotedValue(std::string_view rest, std::string* value, std::string_view* tail) {
    if (!rest.empty() && rest.front() == '"') {
        const auto close = rest.rfind('"');
        if (close == 0) return false;
        *value = std::string(rest.substr(1, close - 1));
        *tail = trim(rest.substr(close + 1));
        return true;
    }
    *value = std::string(rest);
    *tail = {};
    return true;
}

// Keywords that carry nothing the rip uses and name no file.
bool ignoredKeyword(const std::string& keyword) {
    static const char* const kIgnored[] = {"REM",     "CATALOG", "ISRC",    "FLAGS",    "SONGWRITER",
                                           "COMPOSER", "ARRANGER", "MESSAGE", "DISC_ID", "GENRE",
                                           "UPC_EAN",  "TOC_INFO1", "TOC_INFO2", "SIZE_INFO", "PREGAP",
                                           "POSTGAP"};
    for (const char* k : kIgnored)
        if (keyword == k) return true;
    return false;
}

// The cue's own base name with ".bin", in UTF-8, in capitals: what its
// FILE line must name, case aside.
std::string expectedBinKey(const std::string& cuePath) {
    std::string name = baseName(cuePath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return upper(asUtf8(name) + ".bin");
}

struct CueRead {
    std::string reason;
    std::string text;
};

CueRead readCue(const std::string& cuePath) {
    CueRead read;
    // Opened without blocking and kept only when it is a regular file: a
    // FIFO under a cue's name would hold the caller for good.
    if (!ReadRegularFile(cuePath, kCueSizeLimit, &read.text)) {
        read.reason = errno == EFBIG ? "too large for a cue sheet" : FileReadErrorText(errno);
        read.text.clear();
    }
    return read;
}

// The entry of folder that is the cue's .bin: the name the FILE line gives
// when it is there, else the one name that differs from it in case alone.
std::string findBin(const std::string& folder, const std::string& fileName, std::string* reason) {
    struct stat st {};
    if (::lstat(JoinPath(folder, fileName).c_str(), &st) == 0) return fileName;
    const std::string key = upper(fileName);
    std::vector<std::string> found;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(dir))
            if (upper(asUtf8(e->d_name)) == key) found.emplace_back(e->d_name);
        ::closedir(dir);
    }
    if (found.size() == 1) return found.front();
    *reason = found.empty() ? "missing " + fileName : "several files are named " + fileName + " but for case";
    return {};
}

}  // namespace

std::string CdImageFolder() {
    const char* env = std::getenv("TUNEVALE_CD_IMAGES");
    if (env && *env) return env;
    return JoinPath(DataRoot(), "cdimages");
}

std::string ParseCdCueSheet(std::string_view bytes, CdCueSheet* sheet) {
    *sheet = {};
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (bytes.find('\0') != std::string_view::npos) return "not a text file";
    const std::string text = asUtf8(bytes);
    int files = 0;
    bool trackHasIndex = true;
    long lastIndex = -1;
    std::size_t at = 0;
    while (at < text.size()) {
        // Lines end in LF, CR LF or a lone CR.
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = trim(std::string_view(text).substr(at, end - at));
        at = end + 1;
        if (line.empty()) continue;
        const auto [word, rest] = firstWord(line);
        const std::string keyword = upper(word);
        if (keyword == "FILE") {
            if (++files > 1) return "more than one FILE line";
            std::string name;
            std::string_view type;
            if (!quotedValue(rest, &name, &type)) return "unterminated FILE name";
            // An unquoted name may hold blanks: the type is the last word.
            if (rest.empty() || rest.front() != '"') {
                const auto blank = rest.find_last_of(" \t");
                name = std::string(blank == std::string_view::npos ? rest : trim(rest.substr(0, blank)));
                type = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
            }
            if (upper(type) != "BINARY") return "FILE type " + std::string(Utf8Cut(type, 40)) + " is not BINARY";
            if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
                return "FILE does not name a file beside the cue";
            sheet->fileName = name;
        } else if (keyword == "TRACK") {
            if (files == 0) return "TRACK before FILE";
            if (!trackHasIndex) return "a track without INDEX 01";
            const auto [numberText, typeText] = firstWord(rest);
            const int number = smallNumber(numberText);
            if (number < 1) return "track number " + std::string(Utf8Cut(numberText, 40)) + " is not 1 to 99";
            if (!sheet->tracks.empty() && number != sheet->tracks.back().number + 1)
                return "track numbers do not follow each other";
            if (upper(trim(typeText)) != "AUDIO") return "track " + std::to_string(number) + " is not an audio track";
            sheet->tracks.push_back({number, 0, {}, {}});
            trackHasIndex = false;
        } else if (keyword == "INDEX") {
            const auto [numberText, timeText] = firstWord(rest);
            const int number = smallNumber(numberText);
            const long time = msfSectors(timeText);
            if (number < 0 || time < 0) return "malformed INDEX";
            if (number != 1) continue;
            if (sheet->tracks.empty() || trackHasIndex) return "INDEX 01 outside a track or repeated";
            if (time <= lastIndex) return "INDEX 01 times not strictly increasing";
            lastIndex = time;
            sheet->tracks.back().lsn = static_cast<int32_t>(time);
            trackHasIndex = true;
        } else if (keyword == "TITLE" || keyword == "PERFORMER") {
            std::string value;
            std::string_view tail;
            if (!quotedValue(rest, &value, &tail)) return "unterminated " + keyword;
            value = CleanCddbText(value);
            const bool title = keyword == "TITLE";
            if (sheet->tracks.empty())
                (title ? sheet->title : sheet->performer) = value;
            else
                (title ? sheet->tracks.back().title : sheet->tracks.back().performer) = value;
        } else if (keyword == "CDTEXTFILE") {
            return "names a CD-TEXT file: nothing is read but the .bin";
        } else if (!ignoredKeyword(keyword)) {
            return "unknown keyword " + std::string(Utf8Cut(word, 40));
        }
    }
    if (files != 1 || sheet->tracks.empty() || !trackHasIndex) return "no complete track list";
    return {};
}

CdImageCheck CheckCdImage(const std::string& cuePath) {
    CdImageCheck check;
    const CueRead cue = readCue(cuePath);
    if (!cue.reason.empty()) {
        check.reason = cue.reason;
        return check;
    }
    check.reason = ParseCdCueSheet(cue.text, &check.sheet);
    if (!check.reason.empty()) return check;
    if (upper(check.sheet.fileName) != expectedBinKey(cuePath)) {
        check.reason = "FILE does not name the cue's own name with .bin";
        return check;
    }
    const std::string folder = ParentFolder(cuePath);
    const std::string binName = findBin(folder, check.sheet.fileName, &check.reason);
    if (binName.empty()) return check;
    check.binPath = JoinPath(folder, binName);
    auto bin = std::make_shared<PosixFile>(OpenRegularFile(check.binPath, O_RDONLY | O_CLOEXEC));
    uint64_t size = 0;
    if (!bin->isOpen() || !bin->size(&size)) {
        check.reason = binName + ": " + FileReadErrorText(bin->isOpen() ? errno : bin->openError());
        return check;
    }
    if (size == 0) {
        check.reason = binName + " is empty";
        return check;
    }
    if (size / CdImageSectorBytes > static_cast<uint64_t>(CdImageMaxSectors)) {
        check.reason = binName + " is longer than a CD";
        return check;
    }
    if (size % CdImageSectorBytes != 0) {
        check.reason = binName + " does not hold whole sectors";
        return check;
    }
    check.leadout = static_cast<int32_t>(size / CdImageSectorBytes);
    if (check.sheet.tracks.back().lsn >= check.leadout) {
        check.reason = "track " + std::to_string(check.sheet.tracks.back().number) + " starts past the end of " +
                       binName;
        return check;
    }
    check.bin = std::move(bin);
    check.ok = true;
    return check;
}

std::vector<CdImageEntry> ListCdImages(const std::string& folder, std::vector<std::string>* rejected) {
    std::vector<CdImageEntry> out;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return out;
    std::vector<std::string> cues;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() > 4 && upper(name.substr(name.size() - 4)) == ".CUE" && name.front() != '.')
            cues.push_back(JoinPath(folder, name));
    }
    ::closedir(dir);
    std::sort(cues.begin(), cues.end());
    for (const auto& cue : cues) {
        CdImageCheck check = CheckCdImage(cue);
        if (check.ok)
            out.push_back({cue, check.binPath});
        else if (rejected)
            rejected->push_back(cue + ": " + check.reason);
    }
    return out;
}

std::string MountPointIn(const std::string& mountinfo, unsigned major, unsigned minor) {
    const std::string id = std::to_string(major) + ":" + std::to_string(minor);
    std::istringstream lines(mountinfo);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string mountId, parentId, device, root, point;
        if (!(fields >> mountId >> parentId >> device >> root >> point) || device != id) continue;
        std::string decoded;
        for (std::size_t i = 0; i < point.size(); ++i) {
            if (point[i] == '\\' && i + 3 < point.size()) {
                const std::string octal = point.substr(i + 1, 3);
                if (octal.size() == 3 && octal.find_first_not_of("01234567") == std::string::npos) {
                    decoded += static_cast<char>(std::stoi(octal, nullptr, 8));
                    i += 3;
                    continue;
                }
            }
            decoded += point[i];
        }
        return decoded;
    }
    return {};
}

std::string MountPointOf(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return {};
    std::ifstream in("/proc/self/mountinfo");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return MountPointIn(text, major(st.st_rdev), minor(st.st_rdev));
}
