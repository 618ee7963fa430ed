// Recording from the sound server to MP3 and to OGG: the CPU time of the
// recorder (capture, filters, silence handling, encoding and writing, as
// the recorder window runs them on its GUI thread) per recorded second,
// beside parecord piped into lame or oggenc recording the same source for
// the same time with the same encoder settings. Also: frames recorded
// against the time recorded (none may be lost), and the longest the GUI
// thread was kept from its event loop.
//
// The source is music-like sound played into the null sink "ci_out" and
// recorded back from "ci_in"; `make bench` starts that server. Each run
// records TUNEVALE_BENCH_RECORD_SECONDS (default 20) seconds; both sides
// keep the server's latency at about 20 ms, so that a stop leaves nothing
// behind at the server and the frames can be counted against the time.

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/support/benchsupport.h"
#include "components/audio/audiofile.h"
#include "components/audio/backgroundwriter.h"
#include "components/recorder/linerecorder.h"

extern char** environ;

namespace {

constexpr int kRate = 44100;
constexpr int kRounds = 5;

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

pid_t Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    return posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) == 0 ? pid : -1;
}

// Chords that change every half second, over a little noise: it keeps an
// encoder as busy as music does.
void WriteSource(const std::string& path, int seconds) {
    AudioFile w;
    w.setWavFormat(kRate, 2, 16);
    w.create(path);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> noise(-0.02, 0.02);
    const double notes[] = {220, 246.9, 261.6, 293.7, 329.6, 349.2, 392, 440, 493.9, 523.3};
    for (int s = 0; s < seconds * 2; ++s) {
        const double a = notes[random() % 10], b = notes[random() % 10] * 1.5, c = notes[random() % 10] * 2;
        AudioBlock block;
        for (int i = 0; i < kRate / 2; ++i) {
            const double t = static_cast<double>(s * kRate / 2 + i) / kRate;
            const double v = 0.25 * std::sin(2 * M_PI * a * t) + 0.15 * std::sin(2 * M_PI * b * t) +
                             0.1 * std::sin(2 * M_PI * c * t + 1);
            block.samples.push_back(static_cast<int16_t>(std::lround((v + noise(random)) * 32767)));
            block.samples.push_back(static_cast<int16_t>(std::lround((v * 0.8 + noise(random)) * 32767)));
        }
        w.writeBlock(block);
    }
    w.close();
}

int64_t DecodedFrames(const std::string& path) {
    AudioFile r;
    if (!r.open(path)) return -1;
    int64_t frames = 0;
    for (AudioBlock b = r.readBlock(kRate * 2); !b.empty(); b = r.readBlock(kRate * 2)) frames += b.frames(r.getChannels());
    return frames;
}

// Times every event the GUI thread handles: the longest is the longest the
// window would have been kept from repainting and answering the user.
class TimedApplication : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0) {
            const bool handled = QCoreApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        const auto t = std::chrono::steady_clock::now();
        const bool handled = QCoreApplication::notify(receiver, event);
        longestMs = std::max(longestMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count());
        --depth_;
        return handled;
    }
    static inline double longestMs = 0;

private:
    int depth_ = 0;
};

struct Ours {
    double cpu = 0;
    double seconds = 0;  // wall time between start and stop
    int64_t frames = 0;  // kept by the recorder
    int64_t fileFrames = 0;
    double longestHandlerMs = 0;
    double longestGapMs = 0;  // the longest event handled
};

Ours RecordOurs(bool ogg, const std::string& out, int seconds) {
    AudioFile writer;
    if (ogg) {
        writer.setOggFormat(44100, 2, 128, 0, 320, 300);
    } else {
        Mp3EncoderSettings e;  // the recorder's defaults: 44100 Hz, stereo, 128 kbit/s
        e.sampleRate = 44100;
        e.bitrate = 128;
        e.channelMode = 2;
        writer.setMp3Format(e.sampleRate, e.bitrate, e.channelMode);
        writer.setMp3Encoder(e);
    }
    writer.setKeepIncomplete(true);
    Ours r;
    if (!writer.create(out)) return r;
    LineRecorder recorder;
    // As the recorder window sets it up by default.
    recorder.silenceDetection = true;
    recorder.autoGain = true;
    recorder.setFormat(writer.getPcmSampleRate(), writer.getPcmChannels());
    recorder.setBlockSize(recorder.msToSamples(600));
    // As the window does: the blocks are encoded on a writer thread.
    auto background = std::make_unique<BackgroundWriter>(writer);
    QObject::connect(&recorder, &LineRecorder::onEndArrayRecord, [&](int) {
        const auto t = std::chrono::steady_clock::now();
        background->write(recorder.getRecordedArray());
        r.longestHandlerMs = std::max(
            r.longestHandlerMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count());
    });
    TimedApplication::longestMs = 0;

    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    recorder.start();
    if (recorder.getError() != 0) {
        std::printf("the recorder could not start (error %d)\n", recorder.getError());
        return r;
    }
    QTimer::singleShot(seconds * 1000, [&] {
        recorder.stop();
        r.seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    r.longestGapMs = TimedApplication::longestMs;
    for (AudioBlock b = recorder.getRecordedArray(); !b.empty(); b = recorder.getRecordedArray())
        background->write(std::move(b));
    background->finish();
    background.reset();
    writer.close();
    r.cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
    r.frames = recorder.getPosition();
    r.fileFrames = DecodedFrames(out);
    return r;
}

double RecordPeer(bool ogg, const std::string& out, int seconds, int64_t* frames) {
    const std::string capture = "timeout -s INT " + std::to_string(seconds) +
                                " parecord --device=ci_in --latency-msec=20 --raw --format=s16le --rate=44100 --channels=2";
    const std::string encode = ogg ? "oggenc -Q -r -R 44100 -C 2 -B 16 -b 128 -M 320 -o '" + out + "' -"
                                   : "lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -b 128 -m s - '" +
                                         out + "'";
    const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
    const pid_t pid = Spawn({"sh", "-c", capture + " | " + encode});
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    const double cpu = CpuSeconds(RUSAGE_CHILDREN) - cpu0;
    *frames = DecodedFrames(out);
    return cpu;
}

}  // namespace

int main(int argc, char** argv) {
    TimedApplication app(argc, argv);
    if (!std::getenv("PULSE_SERVER")) {
        std::printf("needs the sound server of `make bench` (scripts/with-sound-server)\n");
        return 1;
    }
    const char* env = std::getenv("TUNEVALE_BENCH_RECORD_SECONDS");
    const int seconds = env ? std::max(2, std::atoi(env)) : 8;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("bench-recorder-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string source = (dir / "source.wav").string();
    // Long enough for all the runs, with room for starting each.
    WriteSource(source, seconds * 4 * kRounds + 20);
    const pid_t player = Spawn({"paplay", "--device=ci_out", "--latency-msec=50", source});
    usleep(1500 * 1000);  // the null sink holds a fresh stream back for a while

    std::printf("recording %d s per run from ci_in, the source playing into ci_out; %d alternating runs per side, median [range]\n",
                seconds, kRounds);
    bool ok = true;
    for (bool ogg : {false, true}) {
        const char* kind = ogg ? "OGG 44100 Hz stereo 128 kbit/s" : "MP3 44100 Hz stereo 128 kbit/s";
        std::vector<double> oursPerSecond, peerPerSecond;
        Ours ours;
        int64_t peerFrames = 0;
        // Ours and theirs take turns, so that a busy moment of the machine
        // does not fall on one side only.
        for (int round = 0; round < kRounds; ++round) {
            ours = RecordOurs(ogg, (dir / (ogg ? "ours.ogg" : "ours.mp3")).string(), seconds);
            oursPerSecond.push_back(ours.cpu / (static_cast<double>(ours.fileFrames) / kRate) * 1000);
            const double peer = RecordPeer(ogg, (dir / (ogg ? "peer.ogg" : "peer.mp3")).string(), seconds, &peerFrames);
            peerPerSecond.push_back(peer / (static_cast<double>(peerFrames) / kRate) * 1000);
            ok = ok && ours.fileFrames > 0 && peerFrames > 0;
        }
        const auto expected = static_cast<int64_t>(ours.seconds * kRate);
        std::printf("%s\n", kind);
        std::printf("  CPU per recorded second: ours %s ms, parecord | %s %s ms, ratio %s (goal <= 1.10)\n",
                    bench::Figure(oursPerSecond, 1, 1).c_str(), ogg ? "oggenc" : "lame",
                    bench::Figure(peerPerSecond, 1, 1).c_str(), bench::RatioFigure(oursPerSecond, peerPerSecond).c_str());
        std::printf("  frames (last run): recorded %lld in %.2f s of recording (%lld expected, one block is %d), "
                    "file %lld; peer's file %lld\n",
                    static_cast<long long>(ours.frames), ours.seconds, static_cast<long long>(expected), kRate * 6 / 10,
                    static_cast<long long>(ours.fileFrames), static_cast<long long>(peerFrames));
        std::printf("  GUI thread (last run): longest block handler %.1f ms, longest event %.1f ms (goal <= 16)\n",
                    ours.longestHandlerMs, ours.longestGapMs);
    }
    if (player > 0) {
        kill(player, SIGTERM);
        waitpid(player, nullptr, 0);
    }
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
