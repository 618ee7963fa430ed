// The converter windows' batch against the ffmpeg command line: 20
// one-minute files (10 WAV, 10 MP3) converted to each target by one
// ConversionJob with the windows' default settings, beside ffmpeg converting
// the same files one after another, one process per file and one thread
// each. Both sides are whole processes; runs alternate and the best of
// three counts. Then what normalize adds to our batch (one more pass over
// each source for its peak), our peak memory on a
// 1-minute and a 60-minute file (normalize and fade on, the largest
// blocks), and how long a Stop takes to end a running batch.

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
#include "components/audio/audiofile.h"
#include "tools/conversionjob.h"


namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

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
    std::vector<std::string> a = {"ffmpeg", "-v", "quiet", "-nostdin", "-y", "-threads", "1", "-i", in, "-ar", "44100",
                                  "-ac", "2"};
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

    const std::string exe = bench::ProgramPath();
    if (exe.empty()) return 1;
    const bench::TempFolder folder("bench_convert");
    const std::string& dir = folder.path();
    const std::string wav = dir + "/minute.wav";
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
    if (!spawn({exe, "--make-wav", dir + "/plain.wav", "1"}).ok ||
        !ffmpegTo(dir + "/plain.wav", {"-c:a", "pcm_s16le"}, wav) ||
        !ffmpegTo(wav, {"-c:a", "libmp3lame", "-b:a", "192k"}, dir + "/minute.mp3"))
        return 1;
    fs::create_directories(dir + "/in");
    std::vector<std::string> sources;
    for (int i = 0; i < 10; ++i)
        for (const char* ext : {"wav", "mp3"}) {
            const std::string to = dir + "/in/song" + std::to_string(i) + "-" + ext + "." + ext;
            fs::copy_file(dir + "/minute." + ext, to);
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

    std::printf("20 tagged one-minute 44.1 kHz stereo files (10 WAV, 10 MP3 192k) to each target at 44.1 kHz "
                "stereo 128 kbit/s; best of 3 alternating runs\n");
    bool ok = true;
    for (const std::string target : {"mp3", "ogg", "wma", "wav"}) {
        double ours = 1e9, theirs = 1e9, normalized = 1e9;
        for (int run = 0; run < 3; ++run) {
            const Child o = spawn(ourBatch(target, "-", dir + "/ours"));
            const Child z = spawn(ourBatch(target, "n", dir + "/ours"));
            fs::remove_all(dir + "/ff");
            fs::create_directories(dir + "/ff");
            double total = 0;
            bool theirsOk = true;
            for (const std::string& s : sources) {
                const Child t = spawn(ffmpegArgs(s, target, dir + "/ff/" + fs::path(s).stem().string() + "." + target));
                total += t.seconds;
                theirsOk = theirsOk && t.ok;
            }
            if (!o.ok || !z.ok || !theirsOk) {
                std::printf("%s: FAILED (ours %s, normalized %s, ffmpeg %s)\n", target.c_str(), o.ok ? "ok" : "failed",
                            z.ok ? "ok" : "failed", theirsOk ? "ok" : "failed");
                ok = false;
                break;
            }
            ours = std::min(ours, o.seconds);
            normalized = std::min(normalized, z.seconds);
            theirs = std::min(theirs, total);
        }
        if (ours < 1e9)
            std::printf("to %-4s ours %6.2f s  ffmpeg %6.2f s  ratio %.3f   normalized %6.2f s (+%.1f %%)\n",
                        target.c_str(), ours, theirs, ours / theirs, normalized, 100.0 * (normalized / ours - 1.0));
    }

    // Memory must not grow with the file.
    const std::string hour = dir + "/hour.wav";
    if (!spawn({exe, "--make-wav", hour, "60"}).ok) return 1;
    for (const std::string target : {"mp3", "wav"}) {
        auto one = [&](const std::string& file) {
            std::vector<std::string> a = ourBatch(target, "nf", dir + "/mem", 0);
            a.resize(6);
            a.push_back(file);
            return spawn(a);
        };
        const Child m1 = one(wav), m60 = one(hour);
        std::printf("peak memory, one file to %s with normalize and fade: 1 min %ld KiB, 60 min %ld KiB (%s)\n",
                    target.c_str(), m1.peakKb, m60.peakKb, m1.ok && m60.ok ? "ok" : "FAILED");
        ok = ok && m1.ok && m60.ok;
    }

    // Stop while a 60-minute file is encoded: from the call to the batch's
    // end arriving on the GUI thread.
    for (const std::string target : {"mp3", "ogg"}) {
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
