#pragma once
// The sound server's default output through QAudioSink in push mode. A
// precise timer pumps every 10 ms; the sink's buffer is kept short so that a
// stop is heard at once and the played count stays close to what is heard.
//
// It is built into a module of its own, libtunevale_soundout.so, with Qt's
// multimedia library; the program reaches it through ModulePcmOutput and
// tunevale_soundout_create() below, tests and benches may link it.

#include "components/player/pcmoutput.h"

#include <QElapsedTimer>
#include <QTimer>

#include <memory>

class QAudioSink;
class QIODevice;

class QtPcmOutput : public PcmOutput {
    Q_OBJECT

public:
    // The paused stream that keeps the server's latency short is connected
    // holdAfterMs after the output is made.
    explicit QtPcmOutput(QObject* parent = nullptr, int holdAfterMs = kHoldAfterMs);
    ~QtPcmOutput() override;

    int open(int sampleRate, int channels) override;
    void close() override;
    void finish() override;
    bool isOpen() const override { return io_ != nullptr; }
    int64_t bytesFree() const override;
    int64_t write(const char* data, int64_t bytes) override;
    int64_t playedFrames() const override;
    int64_t elapsedMs() const override;
    void setVolume(double gain) override;

    static constexpr int kBufferMs = 250;
    static constexpr int kPumpMs = 10;
    // How long a finished stream stays connected: longer than the sink's own
    // latency, so that its last frames are heard.
    static constexpr int kRetireMs = 1000;
    // How long after an output is made the paused stream that keeps the
    // server's latency short is connected, unless a play comes first: long
    // enough for the window being built to be painted.
    static constexpr int kHoldAfterMs = 200;

private:
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    QTimer pumpTimer_;
    QElapsedTimer clock_;
    mutable QElapsedTimer emptySince_;
    int frameBytes_ = 4;
    int64_t writtenFrames_ = 0;
    mutable int64_t playedFloor_ = 0;
    double gain_ = 1.0;
};

// The module's entry point: a new QtPcmOutput, owned by the caller.
extern "C" PcmOutput* tunevale_soundout_create(int holdAfterMs);
