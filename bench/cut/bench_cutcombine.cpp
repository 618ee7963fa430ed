// The cut and combine jobs against the ffmpeg command line doing the same:
// a cut of 28.8 s from the middle of a sixty-minute MP3 and WAV (bars at 500
// and 508 per mille), re-encoded in the source's format, and ten
// three-minute MP3s joined into one MP3 and one OGG. Every MP3 source
// carries a 500 KB front cover, as a collection's files do; ffmpeg is told
// to take the audio alone, as ours does. Both sides run as whole processes
// (ours loads the same codec libraries and runs the very job the window
// starts) in alternating rounds; ours is on the disk when it ends, so
// ffmpeg's output is synced after it, inside its time. Each figure is the
// median of the rounds with their range. A cut must seek: its time is also
// shown for 28.8 s out of a five-minute MP3 (bars at 500 and 596), which
// should cost the same.

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
#include "bench/support/covers.h"
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

constexpr int kRounds = 5;

struct Pair {
    std::vector<double> ours, theirs;
    bool ok = true;
};

// Alternating rounds; the outputs are removed between runs so that no run
// meets an existing file, and theirOutput is synced inside their time.
Pair alternate(const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
               const std::vector<std::string>& outputs, const std::string& theirOutput) {
    Pair pair;
    auto one = [&](const std::vector<std::string>& argv, std::vector<double>& into, bool sync) {
        const double seconds = runChild(argv);
        if (seconds < 0) pair.ok = false;
        into.push_back(seconds + (sync ? bench::SyncFiles({theirOutput}) : 0));
    };
    bench::InTurns(kRounds, [&] {
        for (const auto& o : outputs) std::filesystem::remove(o);
        one(ours, pair.ours, false);
    }, [&] {
        for (const auto& o : outputs) std::filesystem::remove(o);
        one(theirs, pair.theirs, true);
    });
    return pair;
}

bool report(const char* name, const Pair& p) {
    if (!p.ok) {
        std::printf("%-34s FAILED\n", name);
        return false;
    }
    std::printf("%-34s ours %s s   ffmpeg + sync %s s   ratio %s\n", name, bench::Figure(p.ours).c_str(),
                bench::Figure(p.theirs).c_str(), bench::RatioFigure(p.ours, p.theirs, 3).c_str());
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
        if (!bench::WriteMusic(dir + "/" + name, name[0] == 'h' ? 60 : 5, 1) || !bench::AddCover(dir + "/" + name))
            return 1;
    std::vector<std::string> parts;
    for (int i = 0; i < 10; ++i) {
        parts.push_back(dir + "/part" + std::to_string(i) + ".mp3");
        if (!bench::WriteMusic(parts.back(), 3, i + 2) || !bench::AddCover(parts.back())) return 1;
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

    std::printf("MP3 sources with 500 KB covers; whole processes, %d alternating rounds; median [range]; "
                "ratio = ours / (ffmpeg -threads 1, then an fsync of its output)\n",
                kRounds);
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
        std::vector<std::string> theirs = {"-ss", from, "-t", span, "-i", source, "-map", "0:a"};
        theirs.insert(theirs.end(), c.codec.begin(), c.codec.end());
        theirs.push_back(dir + "/ff_" + c.file);
        ok = report(c.name, alternate({exe, "--cut", source, std::to_string(c.start), std::to_string(c.end), out},
                                      ffmpeg(theirs), {out + "/cut" + c.file, dir + "/ff_" + c.file},
                                      dir + "/ff_" + c.file)) &&
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
        std::vector<std::string> theirs = {"-f", "concat", "-safe", "0", "-i", dir + "/list.txt", "-map", "0:a"};
        theirs.insert(theirs.end(), j.codec.begin(), j.codec.end());
        const std::string theirOut = dir + "/ff_joined." + j.format;
        theirs.push_back(theirOut);
        ok = report(j.name, alternate(ours, ffmpeg(theirs), {out + "/joined." + j.format, theirOut}, theirOut)) && ok;
    }

    return ok ? 0 : 1;
}
