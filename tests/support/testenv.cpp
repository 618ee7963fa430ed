#include "testenv.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <csignal>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testenv {
namespace {
std::string g_root;
int g_counter = 0;
}  // namespace

void setUp() {
    std::string tmpl = (fs::temp_directory_path() / "tunevale-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create the test folder");
    g_root = tmpl;
    const std::pair<const char*, const char*> dirs[] = {
        {"TUNEVALE_HOME", "data"},          {"TUNEVALE_CONFIG_DIR", "config"},
        {"XDG_DATA_HOME", "xdg-data"},      {"XDG_CONFIG_HOME", "xdg-config"},
        {"HOME", "home"},
    };
    for (const auto& [var, sub] : dirs) {
        fs::path p = fs::path(g_root) / sub;
        fs::create_directories(p);
        setenv(var, p.c_str(), 1);
    }
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void tearDown() {
    if (g_root.empty() || getenv("TUNEVALE_KEEP_TEST_DIR")) return;
    std::error_code ec;
    fs::remove_all(g_root, ec);
}

const std::string& root() { return g_root; }

std::string makeTempDir(const std::string& hint) {
    fs::path p = fs::path(g_root) / "tmp" / (hint + "-" + std::to_string(++g_counter));
    fs::create_directories(p);
    return p.string();
}

std::string sourceDir() {
    if (const char* s = getenv("TUNEVALE_SOURCE_DIR")) return s;
    return TUNEVALE_SOURCE_DIR_FALLBACK;
}

std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool encodeTone(const std::string& path, double seconds, const std::string& ffmpegArgs) {
    return run("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
               " -ac 2 " + ffmpegArgs + " " + shellQuote(path)) == 0;
}

int inChild(const std::function<int()>& body, unsigned long fileSizeLimit, bool keepFileSizeSignal) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (fileSizeLimit > 0) {
            if (!keepFileSizeSignal) ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        int rc = 99;
        try {
            rc = body();
        } catch (...) {
        }
        ::_exit(rc);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

int run(const std::string& commandLine) {
    int status = std::system(commandLine.c_str());
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string capture(const std::string& commandLine, int* status) {
    std::string out;
    FILE* p = popen(commandLine.c_str(), "r");
    if (!p) {
        if (status) *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = pclose(p);
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (old_) setenv(name_.c_str(), old_->c_str(), 1);
    else unsetenv(name_.c_str());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace testenv
