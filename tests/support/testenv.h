#pragma once
// Every test binary runs in a private home: the data root, the config folder
// and the XDG folders point into a fresh temporary folder, so no test reads or
// writes the user's library or settings and tests never see each other's files.

#include <functional>
#include <optional>
#include <string>

namespace testenv {

// Makes the temporary root and exports TUNEVALE_HOME, TUNEVALE_CONFIG_DIR,
// XDG_DATA_HOME, XDG_CONFIG_HOME and HOME. Called by the test mains before
// anything else runs.
void setUp();
// Removes the temporary root (unless TUNEVALE_KEEP_TEST_DIR is set).
void tearDown();

// The temporary root of this test binary.
const std::string& root();
// A fresh, empty folder under the root for one test.
std::string makeTempDir(const std::string& hint = "t");
// The source tree (for scripts and checked-in test inputs).
std::string sourceDir();

// A text quoted for a shell command line.
std::string shellQuote(const std::string& text);
// Encodes a 440 Hz stereo tone of the given length into path with ffmpeg,
// the codec and container chosen by ffmpegArgs; false when ffmpeg failed.
bool encodeTone(const std::string& path, double seconds, const std::string& ffmpegArgs);

// Runs a shell command line, returns its exit status (-1 when it could not run).
int run(const std::string& commandLine);
// Runs a command line and returns what it printed on standard output.
std::string capture(const std::string& commandLine, int* status = nullptr);

// Runs body in a forked child and returns its exit status (body's result, 99
// for an exception, 100 + the signal when killed). A fileSizeLimit above 0
// makes writes beyond it fail, as on a full disk, even for root; the child
// ignores SIGXFSZ then unless keepFileSizeSignal, which leaves the signal
// as the process has it, to show what the program itself does.
int inChild(const std::function<int()>& body, unsigned long fileSizeLimit = 0, bool keepFileSizeSignal = false);

// Sets an environment variable (or removes it, for nullptr) until the end of
// the scope, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Whole-file helpers for test data.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

}  // namespace testenv
