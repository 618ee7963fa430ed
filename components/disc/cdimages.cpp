#include "components/disc/cdimages.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/paths.h"

namespace {

// A cue of a whole disc is a few kilobytes; anything far larger is not one.
constexpr std::size_t kCueSizeLimit = 256 * 1024;

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string trim(std::string s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// mm:ss:ff as a sector count; -1 when malformed.
long msfSectors(const std::string& text) {
    int m = -1, s = -1, f = -1;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d%c", &m, &s, &f, &tail) != 3) return -1;
    if (m < 0 || s < 0 || s > 59 || f < 0 || f > 74) return -1;
    return (static_cast<long>(m) * 60 + s) * 75 + f;
}

bool isRegularFile(const std::string& path, off_t* size = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (size) *size = st.st_size;
    return true;
}

}  // namespace

std::string CdImageFolder() {
    const char* env = std::getenv("TUNEVALE_CD_IMAGES");
    if (env && *env) return env;
    return JoinPath(DataRoot(), "cdimages");
}

CdImageCheck CheckCdImage(const std::string& cuePath) {
    CdImageCheck check;
    off_t size = 0;
    if (!isRegularFile(cuePath, &size)) {
        check.reason = "not a regular file";
        return check;
    }
    if (static_cast<std::size_t>(size) > kCueSizeLimit) {
        check.reason = "too large for a cue sheet";
        return check;
    }
    std::ifstream in(cuePath, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        check.reason = "starts with a byte-order mark";
        return check;
    }
    std::string name = baseName(cuePath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    const std::string expectedBin = name + ".bin";

    int files = 0, tracks = 0;
    bool trackHasIndex = true;
    long lastIndex = -1;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = trim(line);
        if (line.empty()) continue;
        const auto blank = line.find(' ');
        const std::string keyword = upper(line.substr(0, blank));
        const std::string rest = blank == std::string::npos ? std::string() : trim(line.substr(blank + 1));
        if (keyword == "FILE") {
            if (++files > 1) {
                check.reason = "more than one FILE line";
                return check;
            }
            std::string fileName;
            std::string type;
            if (!rest.empty() && rest.front() == '"') {
                const auto close = rest.find('"', 1);
                if (close == std::string::npos) {
                    check.reason = "unterminated FILE name";
                    return check;
                }
                fileName = rest.substr(1, close - 1);
                type = trim(rest.substr(close + 1));
            } else {
                const auto sp = rest.rfind(' ');
                fileName = sp == std::string::npos ? rest : rest.substr(0, sp);
                type = sp == std::string::npos ? std::string() : trim(rest.substr(sp + 1));
            }
            if (upper(type) != "BINARY") {
                check.reason = "FILE type is not BINARY";
                return check;
            }
            if (fileName != expectedBin) {
                check.reason = "FILE does not name " + expectedBin;
                return check;
            }
        } else if (keyword == "TRACK") {
            if (files == 0) {
                check.reason = "TRACK before FILE";
                return check;
            }
            if (!trackHasIndex) {
                check.reason = "a track without INDEX 01";
                return check;
            }
            if (upper(trim(rest.substr(rest.find(' ') == std::string::npos ? rest.size() : rest.find(' ')))) != "AUDIO") {
                check.reason = "not an audio track";
                return check;
            }
            ++tracks;
            trackHasIndex = false;
        } else if (keyword == "INDEX") {
            const auto sp = rest.find(' ');
            if (sp == std::string::npos) {
                check.reason = "malformed INDEX";
                return check;
            }
            const std::string number = rest.substr(0, sp);
            if (number != "01" && number != "1") continue;
            if (tracks == 0 || trackHasIndex) {
                check.reason = "INDEX 01 outside a track or repeated";
                return check;
            }
            const long at = msfSectors(trim(rest.substr(sp + 1)));
            if (at < 0 || at <= lastIndex) {
                check.reason = "INDEX 01 times not strictly increasing";
                return check;
            }
            lastIndex = at;
            trackHasIndex = true;
        }
    }
    if (files != 1 || tracks == 0 || !trackHasIndex) {
        check.reason = "no complete track list";
        return check;
    }
    const std::string folder = ParentFolder(cuePath);
    check.binPath = JoinPath(folder, expectedBin);
    if (!isRegularFile(check.binPath)) {
        check.reason = "missing " + expectedBin;
        return check;
    }
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
