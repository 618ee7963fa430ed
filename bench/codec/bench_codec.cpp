// Conversion speed against the command line encoders with the same settings
// on the same file, both sides timed alike: as whole processes, from the
// spawn to the reap. Ours is "convertfile", which runs the converter
// windows' loop; theirs is ffmpeg (one thread) or lame. The runs alternate,
// and each figure is the median of the rounds with their range. Warm:
// the source is in the page cache; "source dropped": it alone is dropped
// from the cache (the programs stay in it) before every run of
// either side. The ratio is our time over theirs: below 1 we are faster.
//
// Then the loop's peak memory on a one-minute and a sixty-minute file.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/support/benchsupport.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr int kWarmRounds = 9;
constexpr int kColdRounds = 5;

// Something like music: a few tones with vibrato over filtered noise, so the
// encoders work as they would on a record, not on a pure sine. One minute is
// made a second at a time and repeated; written here, not through our
// writer, so that this process stays small: a child's peak memory counts
// what its parent was before the exec.
bool writeSource(const std::string& path, int minutes) {
    const uint32_t dataBytes = static_cast<uint32_t>(minutes) * 60 * kRate * 4;
    std::string header = "RIFF";
    auto le = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) header += static_cast<char>((v >> (8 * i)) & 0xff);
    };
    le(36 + dataBytes, 4);
    header += "WAVEfmt ";
    le(16, 4), le(1, 2), le(2, 2), le(kRate, 4), le(kRate * 4, 4), le(4, 2), le(16, 2);
    header += "data";
    le(dataBytes, 4);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    std::fwrite(header.data(), 1, header.size(), out);
    std::mt19937 gen(1);
    std::normal_distribution<double> noise(0, 0.05);
    std::vector<int16_t> second(static_cast<size_t>(2 * kRate));
    double lowL = 0, lowR = 0;
    for (int s = 0; s < 60; ++s) {
        for (int j = 0; j < kRate; ++j) {
            const double t = static_cast<double>(s * kRate + j) / kRate;
            lowL = 0.97 * lowL + noise(gen);
            lowR = 0.97 * lowR + noise(gen);
            const double tones = 0.15 * std::sin(2 * M_PI * 220 * t + 3 * std::sin(2 * M_PI * 5 * t)) +
                                 0.1 * std::sin(2 * M_PI * 330 * t) +
                                 0.05 * std::sin(2 * M_PI * 1760 * t * (1 + 0.01 * std::sin(t)));
            second[static_cast<size_t>(2 * j)] = static_cast<int16_t>(std::clamp(tones + 0.1 * lowL, -1.0, 1.0) * 30000);
            second[static_cast<size_t>(2 * j + 1)] = static_cast<int16_t>(std::clamp(tones + 0.1 * lowR, -1.0, 1.0) * 30000);
        }
        std::fwrite(second.data(), sizeof(int16_t), second.size(), out);
    }
    std::fflush(out);
    const long minuteEnd = std::ftell(out);
    std::vector<char> chunk(1 << 16);
    for (int m = 1; m < minutes; ++m) {
        std::FILE* in = std::fopen(path.c_str(), "rb");
        std::fseek(in, static_cast<long>(header.size()), SEEK_SET);
        for (long left = minuteEnd - static_cast<long>(header.size()); left > 0;) {
            const size_t n = std::fread(chunk.data(), 1, std::min<size_t>(chunk.size(), static_cast<size_t>(left)), in);
            if (n == 0) break;
            std::fwrite(chunk.data(), 1, n, out);
            left -= static_cast<long>(n);
        }
        std::fclose(in);
    }
    return std::fclose(out) == 0;
}

struct Side {
    std::vector<double> seconds, cpu;
    long peakKb = 0;
    bool ok = true;
    double loop = 1e9;  // ours: the loop alone, best run

    void add(const bench::ProcessRun& run) {
        ok = ok && run.ok;
        seconds.push_back(run.seconds);
        cpu.push_back(run.cpuSeconds);
        peakKb = std::max(peakKb, run.peakKb);
        if (!run.firstLine.empty()) loop = std::min(loop, std::atof(run.firstLine.c_str()));
    }
};

// Both commands in turns; cold drops the source from the cache before each.
void measure(const std::vector<std::string>& ours, const std::vector<std::string>& theirs, const std::string& source,
             bool cold, Side& o, Side& t) {
    bench::ProcessOptions options;
    options.awaitLine = true;
    bench::ProcessOptions plain;
    auto run = [&](const std::vector<std::string>& argv, const bench::ProcessOptions& how, Side& side) {
        if (cold) bench::DropFromCache(source);
        side.add(bench::RunProcess(argv, how));
    };
    if (!cold) {  // one unmeasured run each: libraries and source in the cache
        bench::RunProcess(ours, options);
        bench::RunProcess(theirs, plain);
    }
    bench::InTurns(cold ? kColdRounds : kWarmRounds, [&] { run(ours, options, o); }, [&] { run(theirs, plain, t); });
}

bool report(const std::string& name, const std::string& theirName, const std::vector<std::string>& ours,
            const std::vector<std::string>& theirs, const std::string& source, const std::string& ourOut,
            const std::string& theirOut) {
    std::printf("%s, against %s\n", name.c_str(), theirName.c_str());
    bool ok = true;
    for (bool cold : {false, true}) {
        if (cold && !bench::ColdCacheWorks()) {
            std::printf("  cold: not measurable here (the page cache keeps dropped files)\n");
            continue;
        }
        Side o, t;
        measure(ours, theirs, source, cold, o, t);
        if (!o.ok || !t.ok) {
            std::printf("  %s: FAILED (ours %s, %s %s)\n", cold ? "source dropped" : "warm", o.ok ? "ok" : "failed",
                        theirName.c_str(), t.ok ? "ok" : "failed");
            ok = false;
            continue;
        }
        std::printf("  %s: ours %s s (loop alone, least %.3f)  %s %s s  ratio %s (cpu %s)\n",
                    cold ? "source dropped" : "warm", bench::Figure(o.seconds).c_str(), o.loop, theirName.c_str(),
                    bench::Figure(t.seconds).c_str(), bench::RatioFigure(o.seconds, t.seconds, 3).c_str(),
                    bench::RatioFigure(o.cpu, t.cpu, 3).c_str());
        if (!cold)
            std::printf("        peak memory ours %ld KiB, %s %ld KiB; output ours %.0f KB, %s %.0f KB\n", o.peakKb,
                        theirName.c_str(), t.peakKb, fs::file_size(ourOut) / 1e3, theirName.c_str(),
                        fs::file_size(theirOut) / 1e3);
    }
    return ok;
}

}  // namespace

int main() {
    const std::string convert = bench::ProgramFolder() + "/convertfile";
    bench::TempFolder dir("bench_codec");
    const std::string wav = dir / "minute.wav";
    if (!writeSource(wav, 1)) return 1;

    std::printf("60 s stereo 44.1 kHz WAV; whole processes, %d warm and %d cold runs each in turns; "
                "median [range]; ratio = our time / theirs (the loop alone, no tags and no fsync)\n",
                kWarmRounds, kColdRounds);
    auto ffmpeg = [&](const std::string& in, const std::vector<std::string>& codec, const std::string& out) {
        std::vector<std::string> a = {"ffmpeg", "-v", "quiet", "-nostdin", "-y", "-threads", "1", "-i", in};
        a.insert(a.end(), codec.begin(), codec.end());
        a.insert(a.end(), {"-threads", "1", out});
        return a;
    };
    auto ours = [&](const char* job, const std::string& in, const std::string& out) {
        return std::vector<std::string>{convert, job, in, out};
    };

    bool ok = true;
    const std::string ourMp3 = dir / "ours.mp3", ffMp3 = dir / "ff.mp3", lameMp3 = dir / "lame.mp3";
    ok = report("WAV -> MP3 CBR 192", "ffmpeg", ours("mp3", wav, ourMp3),
                ffmpeg(wav, {"-c:a", "libmp3lame", "-b:a", "192k"}, ffMp3), wav, ourMp3, ffMp3) && ok;
    ok = report("WAV -> MP3 CBR 192", "lame", ours("mp3", wav, ourMp3), {"lame", "--quiet", "-b", "192", wav, lameMp3},
                wav, ourMp3, lameMp3) && ok;
    const std::string ourOgg = dir / "ours.ogg", ffOgg = dir / "ff.ogg";
    ok = report("WAV -> OGG 160", "ffmpeg", ours("ogg", wav, ourOgg),
                ffmpeg(wav, {"-c:a", "libvorbis", "-b:a", "160k"}, ffOgg), wav, ourOgg, ffOgg) && ok;
    const std::string ourWma = dir / "ours.wma", ffWma = dir / "ff.wma";
    ok = report("WAV -> WMA 128", "ffmpeg", ours("wma", wav, ourWma), ffmpeg(wav, {"-c:a", "wmav2", "-b:a", "128k"}, ffWma),
                wav, ourWma, ffWma) && ok;
    const std::string ourWav = dir / "ours.wav", ffWav = dir / "ff.wav";
    ok = report("MP3 -> WAV", "ffmpeg", ours("wav", ourMp3, ourWav), ffmpeg(ourMp3, {"-c:a", "pcm_s16le"}, ffWav), ourMp3,
                ourWav, ffWav) && ok;

    // Memory must not grow with the file: the same loop on sixty minutes.
    const std::string hour = dir / "hour.wav";
    if (!writeSource(hour, 60)) return 1;
    const bench::ProcessRun shortRun = bench::RunProcess(ours("wma", wav, dir / "m1.wma"));
    const bench::ProcessRun longRun = bench::RunProcess(ours("wma", hour, dir / "m60.wma"));
    std::printf("peak memory of the WAV -> WMA loop: 1 min %ld KiB, 60 min %ld KiB (%s); 60 min took %.1f s\n",
                shortRun.peakKb, longRun.peakKb, shortRun.ok && longRun.ok ? "ok" : "FAILED", longRun.seconds);
    return ok && shortRun.ok && longRun.ok ? 0 : 1;
}
