// Writing a sixty-minute audio CD image against its two floors. From MP3
// sources (twelve five-minute files), beside the ffmpeg command line
// decoding the same files, in the same order, to one raw PCM file:
// - the audio CD writer window with its default settings, which first
//   decodes the list into its cache of CD-quality WAVs and then writes the
//   image from them: at most 1.0 times ffmpeg's time;
// - the image recorder taking the MP3s as they are (the window's road with
//   the cache off): at most 1.05 times.
// From WAV sources of the same music, the rate at which the .bin is written
// beside dd writing as many bytes to the same disk (both flushed to disk at
// the end): at least 0.8 times dd's rate. Both sides run as whole
// processes, in turns, five times; medians with their ranges, and the
// ratios of each round's pair.

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTableWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/support/benchmusic.h"
#include "bench/support/benchsupport.h"
#include "components/discwriter/audiodiscwriter.h"
#include "disc/cdaudioburner.h"
#include "platform/fakes.h"

namespace {

constexpr int kTracks = 12;
constexpr int kMinutes = 5;

// The child's side: the writer as the window drives it, to an image.
int writeChild(const std::string& folder, char** tracks, int count) {
    int argc = 1;
    char name[] = "bench_audioimage";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    AudioDiscWriter writer;
    writer.setDrivesListed(false);
    writer.setImageFolder(QString::fromStdString(folder));
    writer.initialize();
    writer.setDeviceIndex(1);
    for (int i = 0; i < count; ++i) writer.addTrack(QString::fromLocal8Bit(tracks[i]));
    int result = 2;
    QObject::connect(&writer, &DiscRecorder::onError, [&](int) {
        std::fprintf(stderr, "%s\n", qPrintable(writer.lastErrorText()));
        result = 3;
        app.quit();
    });
    QObject::connect(&writer, &DiscRecorder::onOperationProgress, [&](int percent) {
        if (writer.currentOperation() == DiscRecorder::FinalizeOperation && percent == 100) {
            result = 0;
            app.quit();
        }
    });
    writer.refresh();
    writer.write();
    if (result == 3) return result;
    app.exec();
    return result;
}

// The child's side of the default road: the window, its list filled
// through its Add dialog, its Write CD, until it tells the burn is complete.
int windowChild(const std::string& folder, char** tracks, int count) {
    int argc = 1;
    char name[] = "bench_audioimage";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    Tfm_cdaudioburner window;
    auto* writer = new AudioDiscWriter;
    writer->setDrivesListed(false);
    writer->setImageFolder(QString::fromStdString(folder));
    window.setWriter(writer);
    window.FormShow();
    QStringList files;
    for (int i = 0; i < count; ++i) files << QString::fromLocal8Bit(tracks[i]);
    dialogs.chooseNext(files);
    window.btn_fileClick();
    if (window.lv->rowCount() != count) {
        std::fprintf(stderr, "the list holds %d of %d files\n", window.lv->rowCount(), count);
        return 3;
    }
    window.btn_writeClick();
    while (window.ConversionRunning() || window.IsWriting) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (boxes.texts() != QStringList{QStringLiteral("Complete the CD Burn progress!")}) {
        std::fprintf(stderr, "%s\n", qPrintable(boxes.texts().join(QLatin1Char('\n'))));
        return 3;
    }
    return 0;
}

// The children's settings and data folder, among the bench's own files.
std::string g_config;

double runChild(const std::vector<std::string>& argv) {
    bench::ProcessOptions options;
    const std::string& config = g_config;
    options.environment = {"QT_QPA_PLATFORM=offscreen", "TUNEVALE_CONFIG_DIR=" + config, "TUNEVALE_HOME=" + config};
    options.timeoutSeconds = 1800;
    const bench::ProcessRun run = bench::RunProcess(argv, options);
    return run.ok ? run.seconds : -1;
}

struct Medians {
    double ours = -1, theirs = -1;
    std::vector<double> oursRuns, theirRuns;  // seconds, a round each
};

Medians inTurns(const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
                const std::vector<std::string>& outputs, int rounds = 5) {
    std::vector<double> a, b;
    bool failed = false;
    const auto clean = [&] {
        for (const auto& o : outputs) std::filesystem::remove(o);
    };
    bench::InTurns(
        rounds,
        [&] {
            clean();
            const double s = runChild(ours);
            failed |= s < 0;
            a.push_back(s);
        },
        [&] {
            clean();
            const double s = runChild(theirs);
            failed |= s < 0;
            b.push_back(s);
        });
    clean();
    if (failed) return {};
    return {bench::SpreadOf(a).median, bench::SpreadOf(b).median, a, b};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--write") == 0) return writeChild(argv[2], argv + 3, argc - 3);
    if (argc >= 4 && std::strcmp(argv[1], "--window") == 0) return windowChild(argv[2], argv + 3, argc - 3);

    const std::string exe = bench::ProgramPath();
    if (exe.empty()) return 1;
    const bench::TempFolder folder("bench_audioimage");
    g_config = folder / "config";
    std::filesystem::create_directories(g_config);
    const std::string& dir = folder.path();
    const std::string images = folder / "images";
    std::filesystem::create_directories(images);

    std::vector<std::string> mp3s, wavs;
    for (int t = 0; t < kTracks; ++t) {
        mp3s.push_back(folder / ("track" + std::to_string(t) + ".mp3"));
        wavs.push_back(folder / ("track" + std::to_string(t) + ".wav"));
        if (!bench::WriteMusic(mp3s.back(), kMinutes, t) || !bench::WriteMusic(wavs.back(), kMinutes, t)) {
            std::printf("could not make the sources\n");
            return 1;
        }
    }
    const std::string bin = images + "/Audio CD.bin", cue = images + "/Audio CD.cue";
    bool ok = true;

    // MP3: our image against ffmpeg decoding the same list to raw PCM, by
    // the window's default road (the cache) and straight from the files.
    {
        const std::string list = folder / "list.txt";
        std::ofstream out(list);
        for (const auto& m : mp3s) out << "file '" << m << "'\n";
        out.close();
        const std::string raw = dir + "/ffmpeg.raw";
        const std::vector<std::string> theirs{"ffmpeg", "-v", "quiet", "-nostdin", "-y", "-f", "concat", "-safe", "0",
                                              "-i", list, "-f", "s16le", "-ar", "44100", "-ac", "2", raw};
        const struct {
            const char* label;
            const char* mode;
            double most;
        } roads[] = {{"60-minute image from MP3, window, cache on (default)", "--window", 1.0},
                     {"60-minute image from MP3, cache off                 ", "--write", 1.05}};
        for (const auto& road : roads) {
            std::vector<std::string> ours{exe, road.mode, images};
            ours.insert(ours.end(), mp3s.begin(), mp3s.end());
            const Medians m = inTurns(ours, theirs, {bin, cue, raw});
            if (m.ours < 0) {
                std::printf("%s   FAILED\n", road.label);
                ok = false;
                continue;
            }
            // Each round's pair gives a ratio; the verdict is on their median.
            std::vector<double> ratios;
            for (size_t i = 0; i < m.oursRuns.size(); ++i) ratios.push_back(m.oursRuns[i] / m.theirRuns[i]);
            const double ratio = bench::SpreadOf(ratios).median;
            std::printf("%s   ours %s s   ffmpeg to raw %s s   ratio %s (at most %.2f) %s\n", road.label,
                        bench::Figure(m.oursRuns).c_str(), bench::Figure(m.theirRuns).c_str(),
                        bench::Figure(ratios).c_str(), road.most, ratio <= road.most ? "ok" : "SLOW");
        }
    }

    // WAV: the image's write rate against dd writing as many bytes.
    {
        std::vector<std::string> ours{exe, "--write", images};
        ours.insert(ours.end(), wavs.begin(), wavs.end());
        // One run to learn the .bin's size, which dd then writes.
        std::filesystem::remove(bin);
        std::filesystem::remove(cue);
        if (runChild(ours) < 0) {
            std::printf("60-minute image from WAV     FAILED\n");
            return 1;
        }
        const auto bytes = std::filesystem::file_size(bin);
        const std::string ddOut = images + "/dd.out";
        const std::vector<std::string> dd{"dd", "if=/dev/zero", "of=" + ddOut, "bs=1M",
                                          "count=" + std::to_string(bytes >> 20), "conv=fsync", "status=none"};
        const Medians m = inTurns(ours, dd, {bin, cue, ddOut});
        if (m.ours < 0) {
            std::printf("60-minute image from WAV     FAILED\n");
            ok = false;
        } else {
            const double mb = double(bytes) / 1e6, ddMb = double((bytes >> 20) << 20) / 1e6;
            const double ratio = (mb / m.ours) / (ddMb / m.theirs);
            std::printf("60-minute image from WAV     ours %7.1f MB/s   dd %7.1f MB/s (medians; seconds ours %s, dd %s)   "
                        "ratio %.3f (at least 0.8) %s\n",
                        mb / m.ours, ddMb / m.theirs, bench::Figure(m.oursRuns).c_str(),
                        bench::Figure(m.theirRuns).c_str(), ratio, ratio >= 0.8 ? "ok" : "SLOW");
        }
    }
    return ok ? 0 : 1;
}
