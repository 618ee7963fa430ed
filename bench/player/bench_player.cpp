// How soon a tone played through the player is heard on the sound server, and
// how soon its end of play comes, beside the same tone written straight into
// a bare QAudioSink in the same run. The tone is recorded back from the
// monitor of the server's sink; `make bench` starts that server.

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "bench/support/benchsupport.h"
#include "components/player/audioplayer.h"
#include "components/player/qtpcmoutput.h"

namespace {

constexpr int kRate = 44100;
constexpr int kAmplitude = 12000;

QElapsedTimer g_clock;

// The real output, with the moments the device first took and first played
// audio noted on the way through.
class TimedOutput : public PcmOutput {
public:
    TimedOutput() { connect(&real_, &PcmOutput::pump, this, &PcmOutput::pump); }
    int open(int rate, int channels) override { return real_.open(rate, channels); }
    void close() override { real_.close(); }
    void finish() override { real_.finish(); }
    bool isOpen() const override { return real_.isOpen(); }
    int64_t bytesFree() const override { return real_.bytesFree(); }
    int64_t write(const char* data, int64_t bytes) override {
        const int64_t taken = real_.write(data, bytes);
        if (taken > 0 && firstWriteMs < 0) firstWriteMs = g_clock.elapsed();
        return taken;
    }
    int64_t playedFrames() const override {
        const int64_t played = real_.playedFrames();
        if (played > 0 && firstPlayedMs < 0) firstPlayedMs = g_clock.elapsed();
        return played;
    }
    int64_t elapsedMs() const override { return real_.elapsedMs(); }
    void setVolume(double gain) override { real_.setVolume(gain); }

    int64_t firstWriteMs = -1;
    mutable int64_t firstPlayedMs = -1;

private:
    QtPcmOutput real_;
};

std::vector<int16_t> stereoTone(int ms, int amplitude) {
    std::vector<int16_t> s;
    for (int i = 0; i < kRate * ms / 1000; ++i) {
        const auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * 440.0 * i / kRate)));
        s.push_back(v);
        s.push_back(v);
    }
    return s;
}

// Runs the event loop until done() or the limit.
void waitFor(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Run {
    int64_t firstWriteMs = -1, firstPlayedMs = -1, heardMs = -1, endMs = -1;
};

// Plays samples through the player fed as the windows feed it; times from play().
Run playThroughPlayer(const std::vector<int16_t>& source, int64_t& heardAt) {
    auto out = std::make_unique<TimedOutput>();
    TimedOutput* timed = out.get();
    AudioPlayer player(std::move(out));
    size_t readPos = 0;
    int ends = 0;
    int64_t endAt = -1;
    player.setFormat(kRate, 2);
    const size_t blockSamples = static_cast<size_t>(player.msToSamples(200));
    auto feed = [&] {
        const size_t n = std::min(source.size() - readPos, blockSamples);
        player.loadArray(AudioBlock(std::vector<int16_t>(source.begin() + static_cast<long>(readPos),
                                                         source.begin() + static_cast<long>(readPos + n))));
        readPos += n;
    };
    QObject::connect(&player, &AudioPlayer::onRequestOnLoadArray, feed);
    QObject::connect(&player, &AudioPlayer::onEndArrayPlay, feed);
    QObject::connect(&player, &AudioPlayer::onEndPlay, [&] {
        ++ends;
        endAt = g_clock.elapsed();
    });
    heardAt = -1;
    const int64_t playAt = g_clock.elapsed();
    player.play();
    feed();
    feed();
    waitFor([&] { return ends > 0; }, 8000);
    waitFor([&] { return false; }, 400);  // the last frames reach the recording
    auto since = [playAt](int64_t at) { return at < 0 ? -1 : at - playAt; };
    return {since(timed->firstWriteMs), since(timed->firstPlayedMs), since(heardAt), since(endAt)};
}

// The same samples written straight into a QAudioSink in push mode, topped up
// every 10 ms; the end is when the sink has gone idle.
Run playThroughBareSink(const QAudioDevice& device, const QAudioFormat& format, const std::vector<int16_t>& source,
                        int64_t& heardAt) {
    QAudioSink sink(device, format);
    sink.setBufferSize(kRate * 4 * QtPcmOutput::kBufferMs / 1000);  // as short as the player's output keeps it
    Run run;
    heardAt = -1;
    const int64_t startAt = g_clock.elapsed();
    QIODevice* io = sink.start();
    const char* bytes = reinterpret_cast<const char*>(source.data());
    const qint64 total = static_cast<qint64>(source.size() * sizeof(int16_t));
    qint64 done = 0;
    QTimer pump;
    pump.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pump, &QTimer::timeout, [&] {
        if (done < total) {
            const qint64 n = io->write(bytes + done, std::min<qint64>(sink.bytesFree(), total - done));
            if (n > 0 && run.firstWriteMs < 0) run.firstWriteMs = g_clock.elapsed() - startAt;
            done += std::max<qint64>(n, 0);
        }
        if (sink.processedUSecs() > 0 && run.firstPlayedMs < 0) run.firstPlayedMs = g_clock.elapsed() - startAt;
        if (done >= total && sink.state() == QAudio::IdleState && run.endMs < 0) run.endMs = g_clock.elapsed() - startAt;
    });
    pump.start(10);
    waitFor([&] { return run.endMs >= 0; }, 8000);
    waitFor([&] { return false; }, 400);
    sink.stop();
    run.heardMs = heardAt < 0 ? -1 : heardAt - startAt;
    return run;
}

void print(const char* what, const Run& r) {
    std::printf("%-10s first bytes taken %5lld ms, first frames played %5lld ms, tone heard %5lld ms, end %5lld ms\n",
                what, static_cast<long long>(r.firstWriteMs), static_cast<long long>(r.firstPlayedMs),
                static_cast<long long>(r.heardMs), static_cast<long long>(r.endMs));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QAudioDevice sinkDevice = QMediaDevices::defaultAudioOutput();
    const QAudioDevice sourceDevice = QMediaDevices::defaultAudioInput();
    if (sinkDevice.isNull() || sourceDevice.isNull()) {
        std::fprintf(stderr, "no sound server with an output and an input; run through `make bench`\n");
        return 1;
    }
    g_clock.start();
    QAudioFormat format;
    format.setSampleRate(kRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);

    // Record first, so that every tone is caught from its first frame.
    QAudioSource recorder(sourceDevice, format);
    QIODevice* capture = recorder.start();
    if (!capture) {
        std::fprintf(stderr, "cannot record from the sound server\n");
        return 1;
    }
    int64_t heardAt = -1;
    QObject::connect(capture, &QIODevice::readyRead, [&] {
        const QByteArray bytes = capture->readAll();
        const auto* s = reinterpret_cast<const int16_t*>(bytes.constData());
        for (qsizetype i = 0; heardAt < 0 && i < bytes.size() / 2; ++i)
            if (std::abs(s[i]) > kAmplitude / 2) heardAt = g_clock.elapsed();
    });
    waitFor([] { return false; }, 300);

    // A fresh server holds its first stream back for a while; that first
    // run, of silence, is shown apart and kept out of the comparison.
    const Run cold = playThroughPlayer(std::vector<int16_t>(kRate / 5 * 2, 0), heardAt);
    std::printf("first stream on a fresh server: first frames played after %lld ms\n",
                static_cast<long long>(cold.firstPlayedMs));

    // Rounds alternate, so that a change in the server's load hits both.
    const std::vector<int16_t> tone = stereoTone(1000, kAmplitude);
    const int rounds = 5;
    std::vector<double> heard[2], end[2];
    for (int round = 0; round < rounds; ++round) {
        const Run runs[2] = {playThroughPlayer(tone, heardAt), playThroughBareSink(sinkDevice, format, tone, heardAt)};
        for (int i = 0; i < 2; ++i) {
            print(i == 0 ? "player" : "bare sink", runs[i]);
            if (runs[i].heardMs < 0 || runs[i].endMs < 0) {
                std::fprintf(stderr, "round %d: the tone was not heard or never ended\n", round + 1);
                return 1;
            }
            heard[i].push_back(static_cast<double>(runs[i].heardMs));
            end[i].push_back(static_cast<double>(runs[i].endMs));
        }
    }
    std::printf("1000 ms of tone, median [range] of %d rounds: heard after %s ms against the bare sink's %s ms (x%s); "
                "end of play after %s ms against the bare sink idle after %s ms (x%s)\n",
                rounds, bench::Figure(heard[0], 1, 1).c_str(), bench::Figure(heard[1], 1, 1).c_str(),
                bench::RatioFigure(heard[0], heard[1]).c_str(), bench::Figure(end[0], 1, 1).c_str(),
                bench::Figure(end[1], 1, 1).c_str(), bench::RatioFigure(end[0], end[1]).c_str());
    recorder.stop();
    return 0;
}
