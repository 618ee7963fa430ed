// The cut and combine jobs against the ffmpeg command line doing the same:
// a cut of 28.8 s from the middle of a sixty-minute MP3 and WAV (bars at 500
// and 508 per mille), re-encoded in the source's format, and ten
// three-minute MP3s joined into one MP3 and one OGG. Both sides run as whole
// processes (ours loads the same codec libraries and runs the very job the
// window starts), alternating, best of three. A cut must seek: its time is
// also shown for 28.8 s out of a five-minute MP3 (bars at 500 and 596),
// which should cost the same.

#include <unistd.h>

#include <QObject>
#include <QStringList>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/benchmusic.h"
#include "bench/support/benchsupport.h"
#include "components/audio/audiofile.h"
#include "tools/combinejob.h"
#include "tools/cutjob.h"


namespace {

constexpr int kRate = 44100;

double runChild(const std::vector<std::string>& argv) {
    bench::ProcessOptions options;
    options.timeoutSeconds = 1800;
    const bench::ProcessRun run = bench::RunProcess(argv, options);
    return run.ok ? run.seconds : -1;
}

struct Quiet : QObject, JobHandler {
    bool askYesNo(const QString&, const QString&) override { return true; }
    void tell(const QString& title, const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
};

// The child's side: the job the window would start, on this thread.
int runJob(ToolJob& job) {
    bool endStep = false;
    QObject::connect(&job, &ToolJob::ended, [&](bool e) { endStep = e; });
    job.run();
    return endStep ? 0 : 2;
}

int cutChild(const std::string& source, int start, int end, const std::string& folder) {
    Quiet quiet;
    CutJob job({QString::fromStdString(source), start, end, QString::fromStdString(folder)}, &quiet, &quiet);
    return runJob(job);
}

int combineChild(const std::string& format, const std::string& folder, char** sources, int count) {
    Quiet quiet;
    CombineSettings s;
    for (int i = 0; i < count; ++i) s.sources << QString::fromLocal8Bit(sources[i]);
    s.outputFolder = QString::fromStdString(folder);
    s.fileName = QStringLiteral("joined");
    s.format = format == "ogg" ? CombineFormat::Ogg : CombineFormat::Mp3;
    CombineJob job(s, &quiet, &quiet);
    return runJob(job);
}

struct Pair {
    double ours = -1, theirs = -1;
};

// Alternates, keeps the best of each; the outputs are removed between runs
// so that no run meets an existing file.
Pair bestOf(const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
            const std::vector<std::string>& outputs, int runs = 3) {
    Pair best;
    for (int i = 0; i < runs; ++i) {
        for (const auto& o : outputs) std::filesystem::remove(o);
        const double a = runChild(ours);
        const double b = runChild(theirs);
        if (a < 0 || b < 0) return {};
        if (best.ours < 0 || a < best.ours) best.ours = a;
        if (best.theirs < 0 || b < best.theirs) best.theirs = b;
    }
    return best;
}

bool report(const char* name, const Pair& p) {
    if (p.ours < 0 || p.theirs < 0) {
        std::printf("%-34s FAILED\n", name);
        return false;
    }
    std::printf("%-34s ours %7.3f s   ffmpeg %7.3f s   ratio %.3f\n", name, p.ours, p.theirs, p.ours / p.theirs);
    return true;
}

std::vector<std::string> ffmpeg(std::vector<std::string> args) {
    std::vector<std::string> a = {"ffmpeg", "-v", "quiet", "-nostdin", "-y", "-threads", "1"};
    a.insert(a.end(), args.begin(), args.end());
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--cut") == 0)
        return cutChild(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    if (argc >= 5 && std::strcmp(argv[1], "--combine") == 0) return combineChild(argv[2], argv[3], argv + 4, argc - 4);

    const std::string exe = bench::ProgramPath();
    if (exe.empty()) return 1;
    const bench::TempFolder folder("bench_cutcombine");
    const std::string& dir = folder.path();
    bool ok = true;

    // Sources. The range in seconds that the bars give on each file: our
    // cut takes it from the file's length, ffmpeg is told the same times.
    for (const char* name : {"hour.mp3", "hour.wav", "five.mp3"})
        if (!bench::WriteMusic(dir + "/" + name, name[0] == 'h' ? 60 : 5, 1)) return 1;
    std::vector<std::string> parts;
    for (int i = 0; i < 10; ++i) {
        parts.push_back(dir + "/part" + std::to_string(i) + ".mp3");
        if (!bench::WriteMusic(parts.back(), 3, i + 2)) return 1;
    }
    const auto seconds = [&](const std::string& file, int start, int end) {
        AudioFile r;
        r.open(file);
        const int64_t from = CutFrameAt(start, r.getLength());
        char text[2][32];
        std::snprintf(text[0], sizeof text[0], "%.6f", static_cast<double>(from) / kRate);
        std::snprintf(text[1], sizeof text[1], "%.6f", static_cast<double>(CutFrameAt(end, r.getLength()) - from) / kRate);
        return std::pair<std::string, std::string>(text[0], text[1]);
    };

    std::printf("whole processes, best of 3 alternating runs; ratio = ours / ffmpeg (-threads 1)\n");
    const std::string out = dir + "/out";
    std::filesystem::create_directory(out);
    struct CutCase {
        const char* name;
        const char* file;
        int start, end;
        std::vector<std::string> codec;
    };
    const CutCase cuts[] = {
        {"cut 28.8 s of 60 min MP3", "hour.mp3", 500, 508, {"-c:a", "libmp3lame", "-b:a", "192k"}},
        {"cut 28.8 s of 5 min MP3", "five.mp3", 500, 596, {"-c:a", "libmp3lame", "-b:a", "192k"}},
        {"cut 28.8 s of 60 min WAV", "hour.wav", 500, 508, {"-c:a", "pcm_s16le"}},
    };
    for (const CutCase& c : cuts) {
        const std::string source = dir + "/" + c.file;
        const auto [from, span] = seconds(source, c.start, c.end);
        std::vector<std::string> theirs = {"-ss", from, "-t", span, "-i", source};
        theirs.insert(theirs.end(), c.codec.begin(), c.codec.end());
        theirs.push_back(dir + "/ff_" + c.file);
        ok = report(c.name, bestOf({exe, "--cut", source, std::to_string(c.start), std::to_string(c.end), out}, ffmpeg(theirs),
                                   {out + "/cut" + c.file, dir + "/ff_" + c.file})) &&
             ok;
    }

    {
        FILE* list = std::fopen((dir + "/list.txt").c_str(), "w");
        for (const auto& p : parts) std::fprintf(list, "file '%s'\n", p.c_str());
        std::fclose(list);
    }
    // The combine's default settings: 44.1 kHz stereo (not joint) 128 kbit/s
    // MP3, and 44.1 kHz stereo Vorbis at an average 128 kbit/s.
    const struct {
        const char* name;
        const char* format;
        std::vector<std::string> codec;
    } joins[] = {
        {"combine 10 x 3 min MP3 -> MP3", "mp3", {"-c:a", "libmp3lame", "-b:a", "128k", "-joint_stereo", "0"}},
        {"combine 10 x 3 min MP3 -> OGG", "ogg", {"-c:a", "libvorbis", "-b:a", "128k"}},
    };
    for (const auto& j : joins) {
        std::vector<std::string> ours = {exe, "--combine", j.format, out};
        ours.insert(ours.end(), parts.begin(), parts.end());
        std::vector<std::string> theirs = {"-f", "concat", "-safe", "0", "-i", dir + "/list.txt"};
        theirs.insert(theirs.end(), j.codec.begin(), j.codec.end());
        const std::string theirOut = dir + "/ff_joined." + j.format;
        theirs.push_back(theirOut);
        ok = report(j.name, bestOf(ours, ffmpeg(theirs), {out + "/joined." + j.format, theirOut})) && ok;
    }

    return ok ? 0 : 1;
}
