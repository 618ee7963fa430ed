// Conversion speed of AudioFile's read and write loops against the command
// line encoders with the same settings on the same file, and the loop's peak
// memory on a one-minute and a sixty-minute file.
//
// Every job, ours and theirs, runs as a child process, so that each peak
// memory figure is the job's own; the parent stays small because that
// figure includes what a child inherits before exec. Runs of ours and theirs
// alternate and the best of five counts. Our time is given twice: the loop
// alone (what a conversion costs inside the running program) and the whole
// process (with loading the codec libraries, which the command line tools
// pay too); the ratio is taken on the loop.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "components/audio/audiofile.h"

extern char** environ;

namespace {

constexpr int kRate = 44100;
constexpr int kBlockSamples = 2 * kRate * 2;  // two seconds of stereo

struct RunResult {
    double seconds = 0;      // the whole process
    double loopSeconds = 0;  // ours: the conversion loop alone
    long peakKb = 0;
    bool ok = false;
};

RunResult runChild(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return {};
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return {};
    RunResult r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakKb = usage.ru_maxrss;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

double readSeconds(const std::string& path) {
    double v = 0;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        if (std::fscanf(f, "%lf", &v) != 1) v = 0;
        std::fclose(f);
    }
    return v;
}

// Alternates runs of ours and theirs; keeps the best time of each.
void bestOfBoth(const std::vector<std::string>& oursArgv, const std::string& timeFile,
                const std::vector<std::string>& theirArgv, RunResult& ours, RunResult& theirs, int runs = 5) {
    ours = theirs = {};
    for (int i = 0; i < runs; ++i) {
        RunResult o = runChild(oursArgv);
        o.loopSeconds = readSeconds(timeFile);
        RunResult t = runChild(theirArgv);
        if (!o.ok || !t.ok) {
            ours.ok = o.ok;
            theirs.ok = t.ok;
            return;
        }
        if (!ours.ok || o.loopSeconds < ours.loopSeconds) {
            ours.loopSeconds = o.loopSeconds;
            ours.ok = true;
        }
        if (ours.seconds == 0 || o.seconds < ours.seconds) ours.seconds = o.seconds;
        if (!theirs.ok || t.seconds < theirs.seconds) {
            theirs.seconds = t.seconds;
            theirs.ok = true;
        }
        ours.peakKb = std::max(ours.peakKb, o.peakKb);
        theirs.peakKb = std::max(theirs.peakKb, t.peakKb);
    }
}

// Something like music: a few tones with vibrato over filtered noise, so the
// encoders work as they would on a record, not on a pure sine.
void writeSource(const std::string& path, int minutes) {
    AudioFile w;
    w.setWavFormat(kRate, 2, 16);
    if (!w.create(path)) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        std::exit(1);
    }
    std::mt19937 gen(1);
    std::normal_distribution<double> noise(0, 0.05);
    AudioBlock minute;
    minute.samples.resize(static_cast<size_t>(60 * kRate * 2));
    double lowL = 0, lowR = 0;
    for (int i = 0; i < 60 * kRate; ++i) {
        double t = static_cast<double>(i) / kRate;
        lowL = 0.97 * lowL + noise(gen);
        lowR = 0.97 * lowR + noise(gen);
        double tones = 0.15 * std::sin(2 * M_PI * 220 * t + 3 * std::sin(2 * M_PI * 5 * t)) +
                       0.1 * std::sin(2 * M_PI * 330 * t) + 0.05 * std::sin(2 * M_PI * 1760 * t * (1 + 0.01 * std::sin(t)));
        minute.samples[static_cast<size_t>(2 * i)] = static_cast<int16_t>(std::clamp(tones + 0.1 * lowL, -1.0, 1.0) * 30000);
        minute.samples[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(std::clamp(tones + 0.1 * lowR, -1.0, 1.0) * 30000);
    }
    for (int m = 0; m < minutes; ++m) w.writeBlock(minute);
    w.close();
    if (w.getError() != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// The child's side: one conversion loop as the converter windows run it.
int convert(const std::string& job, const std::string& in, const std::string& out, const std::string& timeFile) {
    const auto start = std::chrono::steady_clock::now();
    AudioFile reader, writer;
    if (!reader.open(in, 0, 1)) return 2;
    reader.seek(0, 3);
    if (job == "mp3") {
        if (!writer.setMp3Format(kRate, 192, 3)) return 3;
    } else if (job == "ogg") {
        writer.setOggFormat(kRate, 2, 160, 0, 0, 500);
    } else if (job == "wma") {
        if (!writer.setWmaFormat(24)) return 3;
    } else {
        writer.setWavFormat(reader.getPcmSampleRate(), reader.getPcmChannels(), 16);
    }
    if (!writer.create(out, 0)) return 4;
    writer.setInputFormat(reader.getPcmSampleRate(), reader.getPcmChannels());
    for (;;) {
        AudioBlock block = reader.readBlock(kBlockSamples);
        if (reader.getError() != 0) return 5;
        if (block.empty()) break;
        writer.writeBlock(block);
        if (writer.getError() != 0) return 6;
    }
    reader.close();
    writer.close();
    if (writer.getError() != 0) return 7;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (FILE* f = std::fopen(timeFile.c_str(), "w")) {
        std::fprintf(f, "%.6f\n", seconds);
        std::fclose(f);
    }
    return 0;
}

bool report(const char* name, const RunResult& ours, const RunResult& theirs, const char* theirName) {
    if (!ours.ok || !theirs.ok) {
        std::printf("%-20s failed (ours %s, %s %s)\n", name, ours.ok ? "ok" : "FAILED", theirName,
                    theirs.ok ? "ok" : "FAILED");
        return false;
    }
    std::printf("%-20s ours loop %.3f s (process %.3f s)  %-6s %.3f s  ratio %.3f (process %.3f)  "
                "peak memory ours %ld KiB, %s %ld KiB\n",
                name, ours.loopSeconds, ours.seconds, theirName, theirs.seconds, ours.loopSeconds / theirs.seconds,
                ours.seconds / theirs.seconds, ours.peakKb, theirName, theirs.peakKb);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--convert") == 0) return convert(argv[2], argv[3], argv[4], argv[5]);
    if (argc == 4 && std::strcmp(argv[1], "--make-source") == 0) {
        writeSource(argv[2], std::atoi(argv[3]));
        return 0;
    }

    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return 1;
    exe[n] = '\0';
    char dirTemplate[] = "/tmp/bench_codec.XXXXXX";
    if (!mkdtemp(dirTemplate)) return 1;
    const std::string dir = dirTemplate;
    const std::string wav = dir + "/minute.wav";
    const std::string timeFile = dir + "/loop.time";
    if (!runChild({exe, "--make-source", wav, "1"}).ok) return 1;

    std::printf("60 s stereo 44.1 kHz WAV, blocks of 2 s; best of 5 alternating runs; ratio = our loop / their process\n");
    bool ok = true;
    auto compare = [&](const char* name, const char* job, const std::string& in, const std::string& out,
                       const std::vector<std::string>& theirs, const char* theirName) {
        RunResult o, t;
        bestOfBoth({exe, "--convert", job, in, out, timeFile}, timeFile, theirs, o, t);
        ok = report(name, o, t, theirName) && ok;
    };
    auto ffmpeg = [&](const std::string& in, const std::vector<std::string>& codec, const std::string& out) {
        std::vector<std::string> a = {"ffmpeg", "-v", "quiet", "-nostdin", "-y", "-threads", "1", "-i", in};
        a.insert(a.end(), codec.begin(), codec.end());
        a.push_back(out);
        return a;
    };

    const std::string ourMp3 = dir + "/ours.mp3";
    compare("WAV -> MP3 CBR 192", "mp3", wav, ourMp3, ffmpeg(wav, {"-c:a", "libmp3lame", "-b:a", "192k"}, dir + "/ff.mp3"),
            "ffmpeg");
    compare("WAV -> MP3 CBR 192", "mp3", wav, ourMp3, {"lame", "--quiet", "-b", "192", wav, dir + "/lame.mp3"}, "lame");
    compare("WAV -> OGG 160", "ogg", wav, dir + "/ours.ogg", ffmpeg(wav, {"-c:a", "libvorbis", "-b:a", "160k"}, dir + "/ff.ogg"),
            "ffmpeg");
    compare("WAV -> WMA 128", "wma", wav, dir + "/ours.wma", ffmpeg(wav, {"-c:a", "wmav2", "-b:a", "128k"}, dir + "/ff.wma"),
            "ffmpeg");
    compare("MP3 -> WAV", "wav", ourMp3, dir + "/ours.wav", ffmpeg(ourMp3, {"-c:a", "pcm_s16le"}, dir + "/ff.wav"), "ffmpeg");

    // Memory must not grow with the file: the same loop on sixty minutes.
    const std::string hour = dir + "/hour.wav";
    if (!runChild({exe, "--make-source", hour, "60"}).ok) return 1;
    RunResult shortRun = runChild({exe, "--convert", "wma", wav, dir + "/m1.wma", timeFile});
    RunResult longRun = runChild({exe, "--convert", "wma", hour, dir + "/m60.wma", timeFile});
    std::printf("peak memory of the WAV -> WMA loop: 1 min %ld KiB, 60 min %ld KiB (%s); 60 min took %.1f s\n",
                shortRun.peakKb, longRun.peakKb, shortRun.ok && longRun.ok ? "ok" : "FAILED", longRun.seconds);
    ok = ok && shortRun.ok && longRun.ok;

    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
