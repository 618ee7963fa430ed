// Ripping a ten-minute cue/bin image (ten one-minute tracks of music-like
// sound), every side a whole process, in turns, median of five:
// - to WAV through our grabber and writer, beside `cd-read -m audio` of
//   libcdio-utils reading the same tracks; the outputs must be identical;
// - the drives' paranoia road on the same image in Secure mode, beside a
//   minimal paranoia reader of our own (below, --minimal);
// - to MP3 and OGG through our writer, beside that reader piped into
//   `lame` / `oggenc` with the same settings.
// Our outputs are on disk when the rip ends, so each peer's process is
// followed by an fsync of what it wrote. Ratios above 1 mean ours is faster.

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/support/benchsupport.h"
#include "components/audio/audiofile.h"
#include "components/disc/cdgrabber.h"
#include "disc/riprun.h"

namespace {

constexpr int kTracks = 10;
constexpr int kTrackSeconds = 60;

void makeImage(const std::string& folder) {
    std::ofstream bin(folder + "/ten.bin", std::ios::binary);
    std::string cue = "FILE \"ten.bin\" BINARY\r\n";
    uint32_t noise = 12345;
    int sector = 0;
    std::vector<int16_t> samples(static_cast<size_t>(kTrackSeconds) * 44100 * 2);
    for (int t = 0; t < kTracks; ++t) {
        const double base = 196.0 * (1 + 0.07 * t);
        for (size_t i = 0; i < samples.size() / 2; ++i) {
            const double s = static_cast<double>(i) / 44100;
            const double v = 0.25 * std::sin(2 * M_PI * base * s + 2 * std::sin(2 * M_PI * 5 * s)) +
                             0.1 * std::sin(2 * M_PI * base * 1.5 * s);
            for (int c = 0; c < 2; ++c) {
                noise = noise * 1664525u + 1013904223u;
                samples[2 * i + c] =
                    static_cast<int16_t>((v + 0.04 * (static_cast<double>(noise >> 8) / 8388608.0 - 1.0)) * 30000);
            }
        }
        bin.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
        char line[80];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\r\n    INDEX 01 %02d:%02d:%02d\r\n", t + 1, sector / 4500,
                      (sector / 75) % 60, sector % 75);
        cue += line;
        sector += kTrackSeconds * 75;
    }
    std::ofstream(folder + "/ten.cue", std::ios::binary) << cue;
}

struct QuietReporter : RipReporter {
    bool checkpoint() override { return true; }
    RipRowTexts rowTexts(int row) override {
        return {true, QString("track%1").arg(row + 1), QString(), QString(), QString("Other")};
    }
    bool askYesNo(const QString&, const QString&) override { return true; }
    void tell(const QString& caption, const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
    }
    void trackPercent(int) override {}
    void counter(int, int) override {}
    void rowFinished(int, bool) override {}
};

// --ours <folder> <wav|mp3|ogg|secure> <outdir>: the rip as the window's job
// runs it (secure: the drives' paranoia road in Secure mode, to WAV).
int ripOurs(const std::string& folder, const std::string& kind, const std::string& out) {
    CdGrabber grabber;
    grabber.setImageFolder(folder);
    int drive = 0;
    for (int i = 1; i <= grabber.driveCount() && !drive; ++i) {
        grabber.setDriveIndex(i);
        if (grabber.driveIsImage()) drive = i;
    }
    if (!drive || !grabber.readToc()) return 2;
    if (kind == "secure") {
        grabber.setParanoiaForImages(true);
        grabber.setGrabMode(CdGrabber::GrabSecure);
    }
    RipSettings settings;
    settings.outputFolder = out;
    OutputFormat format;
    format.kind = kind == "mp3" ? OutputKind::Mp3 : kind == "ogg" ? OutputKind::Ogg : OutputKind::Wav;
    format.wavRate = 44100;
    format.mp3.bitrate = 128;
    format.mp3.channelMode = 3;
    format.oggKbps = 128;
    QuietReporter reporter;
    const RipResult r = RipRun(grabber, settings, format, reporter).run();
    return r.done == grabber.trackCount() ? 0 : 3;
}

// --minimal <cue> <track> <out|->: paranoia in Secure mode, raw PCM out.
int minimalReader(const std::string& cue, int track, const std::string& out) {
    CdIo_t* cdio = cdio_open(cue.c_str(), DRIVER_BINCUE);
    if (!cdio) return 2;
    cdrom_drive_t* d = cdio_cddap_identify_cdio(cdio, CDDA_MESSAGE_FORGETIT, nullptr);
    if (!d) return 3;
    d->bigendianp = 0;
    if (cdio_cddap_open(d) != 0) return 4;
    cdrom_paranoia_t* p = cdio_paranoia_init(d);
    cdio_paranoia_modeset(p, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    const lsn_t first = cdio_cddap_track_firstsector(d, static_cast<track_t>(track));
    const lsn_t last = cdio_cddap_track_lastsector(d, static_cast<track_t>(track));
    cdio_paranoia_seek(p, first, SEEK_SET);
    FILE* f = out == "-" ? stdout : std::fopen(out.c_str(), "wb");
    for (lsn_t s = first; s <= last; ++s) {
        const int16_t* data = cdio_paranoia_read_limited(p, nullptr, 5);
        if (!data) return 5;
        std::fwrite(data, 1, CDIO_CD_FRAMESIZE_RAW, f);
    }
    std::fclose(f);
    cdio_paranoia_free(p);
    cdio_cddap_close_no_free_cdio(d);
    cdio_destroy(cdio);
    return 0;
}

// One process of a side, and the file it wrote when that file must be on
// disk before the step counts as done. Our outputs are flushed to disk when
// they are closed; the peers write and leave their data in the page cache,
// so a peer's process is followed by an fsync of its output, timed with it.
struct Step {
    std::vector<std::string> argv;
    std::string syncAfter;
};

double run(const Step& step) {
    bench::ProcessOptions o;
    o.timeoutSeconds = 600;
    const auto r = bench::RunProcess(step.argv, o);
    if (!r.ok) return -1;
    if (step.syncAfter.empty()) return r.seconds;
    const auto start = bench::Clock::now();
    const int fd = ::open(step.syncAfter.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    return synced ? r.seconds + bench::SecondsSince(start) : -1;
}

std::string slurp(const std::string& path, size_t skip = 0) {
    std::ifstream in(path, std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return s.size() >= skip ? s.substr(skip) : std::string();
}

// The audio of a WAV as bytes, whatever chunks its tags added.
std::string pcmOf(const std::string& path) {
    AudioFile r;
    std::string bytes;
    if (!r.open(path)) return bytes;
    for (AudioBlock b = r.readBlock(88200 * 2); !b.empty(); b = r.readBlock(88200 * 2))
        bytes.append(reinterpret_cast<const char*>(b.samples.data()), static_cast<size_t>(b.byteCount()));
    return bytes;
}

// The sides' steps in turns, rounds times; a step with no program is
// skipped. A round with a failed step counts as failed.
void compare(const char* what, int rounds, const std::function<Step(int)>& ours,
             const std::function<Step(int)>& peer, int steps) {
    std::vector<double> a, b;
    bool failed = false;
    auto side = [&](const std::function<Step(int)>& stepOf, std::vector<double>& times) {
        double total = 0;
        for (int i = 0; i < steps; ++i) {
            const Step step = stepOf(i);
            if (step.argv.empty()) continue;
            const double s = run(step);
            if (s < 0) {
                failed = true;
                std::fprintf(stderr, "%s: %s failed\n", what, step.argv[0].c_str());
                return;
            }
            total += s;
        }
        times.push_back(total);
    };
    bench::InTurns(rounds, [&] { side(ours, a); }, [&] { side(peer, b); });
    const auto sa = bench::SpreadOf(a), sb = bench::SpreadOf(b);
    std::printf("%-34s ours %.3f s [%.3f-%.3f], peer %.3f s [%.3f-%.3f] (medians [ranges] of %d): rate ratio %.2f%s\n",
                what, sa.median, sa.best, sa.worst, sb.median, sb.best, sb.worst, rounds,
                sa.median > 0 ? sb.median / sa.median : 0.0, failed ? " (RUNS FAILED)" : "");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--ours") return ripOurs(argv[2], argv[3], argv[4]);
    if (argc == 3 && std::string(argv[1]) == "--make") return makeImage(argv[2]), 0;
    if (argc == 5 && std::string(argv[1]) == "--minimal") return minimalReader(argv[2], std::atoi(argv[3]), argv[4]);

    bench::TempFolder tmp("cdrip");
    const std::string img = tmp / "img";
    std::filesystem::create_directories(img);
    makeImage(img);
    const std::string cue = img + "/ten.cue";
    for (const char* d : {"ours", "peer"}) std::filesystem::create_directories(tmp / d);
    const std::string self = bench::ProgramPath();
    const int rounds = 5;
    const int sectors = kTrackSeconds * 75;

    // Ours rips every track in one process; each step of a peer is one track.
    auto ours = [&](const std::string& kind) {
        return [&, kind](int i) { return i == 0 ? Step{{self, "--ours", img, kind, tmp / "ours"}, {}} : Step{}; };
    };

    compare("WAV vs cd-read -m audio", rounds, ours("wav"), [&](int i) {
        const std::string out = tmp / ("peer/t" + std::to_string(i + 1) + ".raw");
        return Step{{"cd-read", "-m", "audio", "-c", cue, "-s", std::to_string(i * sectors), "-n",
                     std::to_string(sectors), "-o", out, "--no-header"},
                    out};
    }, kTracks);
    bool same = true;
    for (int t = 1; t <= kTracks; ++t)
        same = same && pcmOf(tmp / ("ours/track" + std::to_string(t) + ".wav")) ==
                           slurp(tmp / ("peer/t" + std::to_string(t) + ".raw"));
    std::printf("%-34s %s\n", "WAV data identical to cd-read", same ? "yes" : "NO");

    compare("Secure paranoia vs minimal reader", rounds, ours("secure"), [&](int i) {
        const std::string out = tmp / ("peer/m" + std::to_string(i + 1) + ".raw");
        return Step{{self, "--minimal", cue, std::to_string(i + 1), out}, out};
    }, kTracks);

    const std::string q = bench::ProgramPath();
    auto piped = [&](const std::string& encoder) {
        return [&, encoder](int i) {
            const std::string out = tmp / ("peer/p" + std::to_string(i + 1));
            return Step{{"/bin/sh", "-c",
                         "'" + q + "' --minimal '" + cue + "' " + std::to_string(i + 1) + " - | " + encoder + " '" + out +
                             "'"},
                        out};
        };
    };
    compare("MP3 vs minimal reader | lame", rounds, ours("mp3"),
            piped("lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 128 --cbr - "), kTracks);
    compare("OGG vs minimal reader | oggenc", rounds, ours("ogg"),
            piped("oggenc --quiet -r -B 16 -C 2 -R 44100 -b 128 - -o "), kTracks);
    return 0;
}
