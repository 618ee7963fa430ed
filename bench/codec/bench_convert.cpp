// The converter windows' job against the ffmpeg command line, whole
// processes against whole processes, in alternating rounds; every figure is
// the median of the rounds with their range, and a ratio's range is that of
// the per-round ratios (ours / theirs: below 1 we are faster). Our outputs
// are on the disk when the job ends, so every ffmpeg output is synced after
// it, inside its time. Sources are tagged, and the MP3s carry a 500 KB
// front cover, as a collection's files do; ffmpeg takes their audio alone
// ("-map 0:a"), as ours does, and copies the tags, as ours does.
//
// Batch: 10 one-minute files (5 WAV, 5 MP3 192k) to each target by one
// ConversionJob with the windows' default settings, beside ffmpeg run once
// per file (its start-up paid ten times) and beside one ffmpeg process
// converting the whole batch; one thread each. Then what normalize adds.
// Single files: MP3 -> WAV of 1, 3 and 60 minutes, and WAV -> MP3/OGG/WMA
// of 3 minutes, one job of one file against one ffmpeg run. Then our peak
// memory on a 1-minute and a 60-minute file (normalize and fade on), and
// how long a Stop takes to end a running batch.
//
// bench_convert [batch|single|memory|stop]... runs the parts named (all of
// them unless told).

#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/support/benchsupport.h"
#include "bench/support/covers.h"
#include "components/audio/audiofile.h"
#include "tools/conversionjob.h"


namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
constexpr int kBatchFiles = 10;

struct Child {
    double seconds = 0;
    long peakKb = 0;
    bool ok = false;
};

Child spawn(const std::vector<std::string>& argv) {
    bench::ProcessOptions options;
    options.timeoutSeconds = 1800;
    const bench::ProcessRun run = bench::RunProcess(argv, options);
    return {run.seconds, run.peakKb, run.ok};
}

// Tones with vibrato over filtered noise: the encoders work as on a record.
int makeWav(const std::string& path, int minutes) {
    constexpr int rate = 44100;
    AudioFile w;
    w.setWavFormat(rate, 2, 16);
    if (!w.create(path)) return 1;
    std::mt19937 gen(1);
    std::normal_distribution<double> noise(0, 0.05);
    AudioBlock minute;
    minute.samples.resize(static_cast<size_t>(60 * rate * 2));
    double lowL = 0, lowR = 0;
    for (int i = 0; i < 60 * rate; ++i) {
        const double t = static_cast<double>(i) / rate;
        lowL = 0.97 * lowL + noise(gen);
        lowR = 0.97 * lowR + noise(gen);
        const double tones = 0.15 * std::sin(2 * M_PI * 220 * t + 3 * std::sin(2 * M_PI * 5 * t)) +
                             0.1 * std::sin(2 * M_PI * 330 * t) + 0.05 * std::sin(2 * M_PI * 1760 * t);
        minute.samples[static_cast<size_t>(2 * i)] = static_cast<int16_t>(std::clamp(tones + 0.1 * lowL, -1.0, 1.0) * 20000);
        minute.samples[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(std::clamp(tones + 0.1 * lowR, -1.0, 1.0) * 20000);
    }
    for (int m = 0; m < minutes; ++m) w.writeBlock(minute);
    w.close();
    return w.getError() == 0 ? 0 : 1;
}

// The windows' "Defalut" formats.
ConversionSettings settingsFor(const std::string& target, bool normalize, bool fade, const std::string& out) {
    ConversionSettings s;
    s.target = target == "mp3" ? TargetFormat::Mp3
               : target == "ogg" ? TargetFormat::Ogg
               : target == "wma" ? TargetFormat::Wma
                                 : TargetFormat::Wav;
    s.outputFolder = QString::fromStdString(out);
    s.normalize = normalize;
    s.fade = fade;
    s.mp3.sampleRate = 44100;
    s.mp3.bitrate = 128;
    s.mp3.channelMode = 2;
    s.oggKbps = 128;
    s.wmaProfile = 24;
    return s;
}

class Answers : public QObject, public JobHandler {
public:
    bool askYesNo(const QString&, const QString&) override { return true; }
    void tell(const QString&, const QString&) override { failed = true; }
    bool failed = false;
};

// One batch, as a window runs it: the job on a thread of its own. With
// stopAfterMs it is stopped then, and the time to its end is printed.
int batch(int argc, char** argv, const std::string& target, const std::string& options, const std::string& out,
          const QStringList& sources, int stopAfterMs) {
    QCoreApplication app(argc, argv);
    Answers answers;
    ConversionJob job(settingsFor(target, options.find('n') != std::string::npos, options.find('f') != std::string::npos, out),
                      sources, &answers, &answers);
    QStringList states;
    QObject::connect(&job, &ToolJob::itemState, &app, [&](int, const QString& s) { states << s; });
    Clock::time_point stopped;
    QObject::connect(&job, &ToolJob::ended, &app, [&] {
        if (stopAfterMs > 0)
            std::printf("%.3f\n", std::chrono::duration<double>(Clock::now() - stopped).count());
        QCoreApplication::quit();
    });
    if (stopAfterMs > 0)
        QTimer::singleShot(stopAfterMs, &app, [&] {
            stopped = Clock::now();
            job.stop();
        });
    QThread* thread = QThread::create([&job] { job.run(); });
    thread->start();
    QCoreApplication::exec();
    thread->wait();
    delete thread;
    if (stopAfterMs > 0) return 0;
    return !answers.failed && states.count("finish") == sources.size() ? 0 : 1;
}

std::vector<std::string> ffmpegArgs(const std::string& in, const std::string& target, const std::string& out) {
    // The first eleven are the command, its input and the audio taken; the
    // rest is the output's.
    std::vector<std::string> a = {"ffmpeg", "-v", "quiet", "-nostdin", "-y", "-threads", "1", "-i", in, "-map", "0:a",
                                  "-ar", "44100", "-ac", "2"};
    if (target == "mp3") a.insert(a.end(), {"-c:a", "libmp3lame", "-b:a", "128k", "-joint_stereo", "0"});
    if (target == "ogg") a.insert(a.end(), {"-c:a", "libvorbis", "-b:a", "128k"});
    if (target == "wma") a.insert(a.end(), {"-c:a", "wmav2", "-b:a", "128k"});
    if (target == "wav") a.insert(a.end(), {"-c:a", "pcm_s16le"});
    a.push_back(out);
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--make-wav") == 0) return makeWav(argv[2], std::atoi(argv[3]));
    if (argc >= 7 && std::strcmp(argv[1], "--batch") == 0) {
        QStringList sources;
        for (int i = 6; i < argc; ++i) sources << QString::fromLocal8Bit(argv[i]);
        return batch(argc, argv, argv[2], argv[3], argv[4], sources, std::atoi(argv[5]));
    }

    const std::vector<std::string> parts(argv + 1, argv + argc);
    auto wanted = [&](const std::string& part) {
        return parts.empty() || std::find(parts.begin(), parts.end(), part) != parts.end();
    };
    const std::string exe = bench::ProgramPath();
    if (exe.empty()) return 1;
    const bench::TempFolder folder("bench_convert");
    const std::string& dir = folder.path();
    // Tagged sources, as music is: both sides copy the tags.
    const std::vector<std::string> tags = {"-metadata", "title=A Song", "-metadata", "artist=Someone",
                                           "-metadata", "album=A Record"};
    auto ffmpegTo = [&](const std::string& in, std::vector<std::string> codec, const std::string& out) {
        std::vector<std::string> a = {"ffmpeg", "-v", "quiet", "-nostdin", "-y", "-i", in};
        a.insert(a.end(), tags.begin(), tags.end());
        a.insert(a.end(), codec.begin(), codec.end());
        a.push_back(out);
        return spawn(a).ok;
    };
    const std::string hour = dir + "/hour.wav";
    for (int minutes : {1, 3, 60}) {
        const std::string plain = dir + "/plain" + std::to_string(minutes) + ".wav";
        const std::string name = dir + "/source" + std::to_string(minutes);
        if (!spawn({exe, "--make-wav", plain, std::to_string(minutes)}).ok ||
            !ffmpegTo(plain, {"-c:a", "pcm_s16le"}, name + ".wav") ||
            !ffmpegTo(name + ".wav", {"-c:a", "libmp3lame", "-b:a", "192k"}, name + ".mp3") ||
            !bench::AddCover(name + ".mp3"))
            return 1;
        fs::remove(plain);
    }
    fs::rename(dir + "/source60.wav", hour);
    const std::string wav = dir + "/source1.wav";
    fs::create_directories(dir + "/in");
    std::vector<std::string> sources;
    for (int i = 0; i < kBatchFiles / 2; ++i)
        for (const char* ext : {"wav", "mp3"}) {
            const std::string to = dir + "/in/song" + std::to_string(i) + "-" + ext + "." + ext;
            fs::copy_file(dir + "/source1." + ext, to);
            sources.push_back(to);
        }

    // options: "-" none, "n" normalize, "nf" normalize and fade.
    auto ourBatch = [&](const std::string& target, const std::string& options, const std::string& out,
                        int stopAfterMs = 0) {
        fs::remove_all(out);
        fs::create_directories(out);
        std::vector<std::string> a = {exe, "--batch", target, options, out, std::to_string(stopAfterMs)};
        a.insert(a.end(), sources.begin(), sources.end());
        return a;
    };
    auto outputOf = [&](const std::string& folder, const std::string& source, const std::string& target) {
        return folder + "/" + fs::path(source).stem().string() + "." + target;
    };
    // ffmpeg's work on some sources, the outputs synced after it.
    auto ffmpegRun = [&](const std::vector<std::string>& argv, const std::vector<std::string>& outputs) {
        const Child c = spawn(argv);
        return Child{c.seconds + bench::SyncFiles(outputs), c.peakKb, c.ok};
    };
    bool ok = true;

    if (wanted("batch")) {
        std::printf("Batch: %d tagged one-minute 44.1 kHz stereo files (%d WAV, %d MP3 192k with a 500 KB cover) to "
                    "each target at 44.1 kHz stereo 128 kbit/s; %d alternating rounds; seconds, median [range]\n",
                    kBatchFiles, kBatchFiles / 2, kBatchFiles / 2, kRounds);
        for (const std::string target : {"mp3", "ogg", "wma", "wav"}) {
            std::vector<double> ours, normalized, perFile, oneProcess;
            bool good = true;
            const std::string ff = dir + "/ff";
            auto ffmpegEach = [&] {
                fs::remove_all(ff);
                fs::create_directories(ff);
                const auto start = std::chrono::steady_clock::now();
                for (const std::string& s : sources) {
                    const std::string out = outputOf(ff, s, target);
                    good = ffmpegRun(ffmpegArgs(s, target, out), {out}).ok && good;
                }
                perFile.push_back(bench::SecondsSince(start));
            };
            auto ffmpegBatch = [&] {
                fs::remove_all(ff);
                fs::create_directories(ff);
                std::vector<std::string> a = {"ffmpeg", "-v", "quiet", "-nostdin", "-y", "-threads", "1"};
                for (const std::string& s : sources) a.insert(a.end(), {"-i", s});
                std::vector<std::string> outputs;
                for (std::size_t i = 0; i < sources.size(); ++i) {
                    outputs.push_back(outputOf(ff, sources[i], target));
                    const std::vector<std::string> one = ffmpegArgs(sources[i], target, outputs.back());
                    // The output options of one run (after its input), the
                    // input's audio and tags mapped to it.
                    a.insert(a.end(), {"-map", std::to_string(i) + ":a", "-map_metadata", std::to_string(i)});
                    a.insert(a.end(), one.begin() + 11, one.end());
                }
                const Child c = ffmpegRun(a, outputs);
                good = c.ok && good;
                oneProcess.push_back(c.seconds);
            };
            bench::InTurns(kRounds, [&] {
                const Child o = spawn(ourBatch(target, "-", dir + "/ours"));
                const Child z = spawn(ourBatch(target, "n", dir + "/ours"));
                good = o.ok && z.ok && good;
                ours.push_back(o.seconds);
                normalized.push_back(z.seconds);
            }, [&] {
                ffmpegEach();
                ffmpegBatch();
            });
            if (!good) {
                std::printf("  to %s: FAILED\n", target.c_str());
                ok = false;
                continue;
            }
            std::printf("  to %-4s ours %s   ffmpeg per file %s (ratio %s)   ffmpeg one process %s (ratio %s)\n",
                        target.c_str(), bench::Figure(ours, 1, 2).c_str(), bench::Figure(perFile, 1, 2).c_str(),
                        bench::RatioFigure(ours, perFile, 3).c_str(), bench::Figure(oneProcess, 1, 2).c_str(),
                        bench::RatioFigure(ours, oneProcess, 3).c_str());
            std::printf("          ours with normalize %s, over ours without %s\n",
                        bench::Figure(normalized, 1, 2).c_str(), bench::RatioFigure(normalized, ours, 3).c_str());
        }
    }

    if (wanted("single")) {
        std::printf("Single files, one job of one file against one ffmpeg run (its output synced after it); "
                    "%d alternating rounds; seconds, median [range]\n",
                    kRounds);
        struct Single {
            const char* name;
            std::string source, target;
        };
        const Single singles[] = {{"MP3 -> WAV, 1 min", dir + "/source1.mp3", "wav"},
                                  {"MP3 -> WAV, 3 min", dir + "/source3.mp3", "wav"},
                                  {"MP3 -> WAV, 60 min", dir + "/source60.mp3", "wav"},
                                  {"WAV -> MP3, 3 min", dir + "/source3.wav", "mp3"},
                                  {"WAV -> OGG, 3 min", dir + "/source3.wav", "ogg"},
                                  {"WAV -> WMA, 3 min", dir + "/source3.wav", "wma"}};
        for (const Single& one : singles) {
            std::vector<double> ours, theirs;
            bool good = true;
            std::vector<std::string> argv = ourBatch(one.target, "-", dir + "/single");
            argv.resize(6);
            argv.push_back(one.source);
            const std::string theirOut = dir + "/ff_single." + one.target;
            auto runOurs = [&] {
                fs::remove_all(dir + "/single");
                fs::create_directories(dir + "/single");
                const Child c = spawn(argv);
                good = c.ok && good;
                ours.push_back(c.seconds);
            };
            auto runTheirs = [&] {
                fs::remove(theirOut);
                const Child c = ffmpegRun(ffmpegArgs(one.source, one.target, theirOut), {theirOut});
                good = c.ok && good;
                theirs.push_back(c.seconds);
            };
            runOurs(), runTheirs();  // unmeasured: libraries and source in the cache
            ours.clear(), theirs.clear();
            bench::InTurns(kRounds, runOurs, runTheirs);
            if (!good) {
                std::printf("  %-20s FAILED\n", one.name);
                ok = false;
                continue;
            }
            std::printf("  %-20s ours %s   ffmpeg + fsync %s   ratio %s%s\n", one.name, bench::Figure(ours).c_str(),
                        bench::Figure(theirs).c_str(), bench::RatioFigure(ours, theirs, 3).c_str(),
                        one.target == "wav" ? " (goal 1.0)" : "");
        }
    }

    // Memory must not grow with the file.
    for (const std::string target : {"mp3", "wav"}) {
        auto one = [&](const std::string& file) {
            std::vector<std::string> a = ourBatch(target, "nf", dir + "/mem", 0);
            a.resize(6);
            a.push_back(file);
            return spawn(a);
        };
        if (!wanted("memory")) break;
        const Child m1 = one(wav), m60 = one(hour);
        std::printf("peak memory, one file to %s with normalize and fade: 1 min %ld KiB, 60 min %ld KiB (%s)\n",
                    target.c_str(), m1.peakKb, m60.peakKb, m1.ok && m60.ok ? "ok" : "FAILED");
        ok = ok && m1.ok && m60.ok;
    }

    // Stop while a 60-minute file is encoded: from the call to the batch's
    // end arriving on the GUI thread.
    for (const std::string target : {"mp3", "ogg"}) {
        if (!wanted("stop")) break;
        std::vector<std::string> a = ourBatch(target, "n", dir + "/stop", 2000);
        a.resize(6);
        a.push_back(hour);
        const std::string command = [&] {
            std::string c;
            for (const auto& s : a) c += "'" + s + "' ";
            return c;
        }();
        FILE* p = popen(command.c_str(), "r");
        double latency = -1;
        if (p) {
            if (std::fscanf(p, "%lf", &latency) != 1) latency = -1;
            pclose(p);
        }
        std::printf("stop 2 s into a 60-minute file to %s with normalize: the batch ended %.3f s after Stop\n",
                    target.c_str(), latency);
        ok = ok && latency >= 0;
    }

    return ok ? 0 : 1;
}
