#include "platform/paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An XDG or override variable counts only when it holds an absolute path.
std::string AbsoluteEnv(const char* name) {
    const char* v = std::getenv(name);
    if (!v || v[0] != '/') return {};
    return v;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    std::string out(folder);
    if (name.empty()) return out;
    while (!name.empty() && name.front() == '/') name.remove_prefix(1);
    if (out.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

std::string ParentFolder(std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

std::string FinalPath(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char buf[PATH_MAX];
        if (::realpath(current.c_str(), buf)) return buf;
        const ssize_t n = ::readlink(current.c_str(), buf, sizeof buf - 1);
        if (n <= 0) return current;
        const std::string to(buf, static_cast<size_t>(n));
        current = to.front() == '/' ? to : JoinPath(ParentFolder(current), to);
    }
    return path;
}

std::string WithTrailingSeparator(std::string_view folder) {
    std::string out(folder);
    if (out.empty() || out.back() != '/') out.push_back('/');
    return out;
}

std::string HomeFolder() {
    std::string home = AbsoluteEnv("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string DataRoot() {
    if (std::string v = AbsoluteEnv("TUNEVALE_HOME"); !v.empty()) return v;
    if (std::string v = AbsoluteEnv("XDG_DATA_HOME"); !v.empty()) return JoinPath(v, "tunevale");
    return JoinPath(HomeFolder(), ".local/share/tunevale");
}

std::string ConfigFolder() {
    if (std::string v = AbsoluteEnv("TUNEVALE_CONFIG_DIR"); !v.empty()) return v;
    if (std::string v = AbsoluteEnv("XDG_CONFIG_HOME"); !v.empty()) return JoinPath(v, "tunevale");
    return JoinPath(HomeFolder(), ".config/tunevale");
}

std::string SettingsFilePath() { return JoinPath(ConfigFolder(), "Tunevale.ini"); }

std::string DataFolder() { return WithTrailingSeparator(JoinPath(DataRoot(), "record")); }

std::string PlaylistFolder() { return JoinPath(DataRoot(), "playlist"); }

std::string ProgramPath() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string AssetRoot() {
    std::string bin = ParentFolder(ProgramPath());
    size_t slash = bin.find_last_of('/');
    if (slash != std::string::npos && bin.compare(slash + 1, std::string::npos, "bin") == 0) {
        std::string installed = JoinPath(ParentFolder(bin), "share/tunevale");
        if (IsFolder(installed)) return installed;
    }
    return bin;
}

bool IsWindowsPath(std::string_view value) {
    if (value.find('\\') != std::string_view::npos) return true;
    auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    return value.size() >= 2 && isLetter(value[0]) && value[1] == ':';
}

bool CreateFolder(const std::string& path) {
    if (path.empty()) return false;
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    return errno == EEXIST && IsFolder(path);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool CreateFolderPath(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    std::string parent = ParentFolder(path);
    if (parent != path && !CreateFolderPath(parent)) return false;
    return CreateFolder(path);
}
