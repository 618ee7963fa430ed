#pragma once
// An output without a device: it plays in real time on a VirtualClock, keeps
// everything written to it for inspection, and can be told to fail on open.
// Its buffer holds bufferMs of audio, like the sound server's stream.

#include "components/player/pcmoutput.h"

#include <QPointer>

#include <cstdint>
#include <vector>

class VirtualClock;

class NullPcmOutput : public PcmOutput {
    Q_OBJECT

public:
    explicit NullPcmOutput(VirtualClock* clock, int bufferMs = 250, QObject* parent = nullptr);

    int open(int sampleRate, int channels) override;
    void close() override;
    bool isOpen() const override { return open_; }
    int64_t bytesFree() const override;
    int64_t write(const char* data, int64_t bytes) override;
    int64_t playedFrames() const override { return played_; }
    int64_t elapsedMs() const override;
    void setVolume(double gain) override { gain_ = gain; }

    // For tests.
    void setOpenError(int error) { openError_ = error; }
    double gain() const { return gain_; }
    int openCount() const { return openCount_; }
    int sampleRate() const { return rate_; }
    int channels() const { return channels_; }
    // Every sample written since the last open().
    const std::vector<int16_t>& written() const { return written_; }

private:
    void onTick();
    int64_t framesAt(int64_t ms) const { return ms * rate_ / 1000; }

    QPointer<VirtualClock> clock_;
    int bufferMs_;
    bool open_ = false;
    int openError_ = 0;
    int openCount_ = 0;
    int rate_ = 0;
    int channels_ = 0;
    int64_t openedAt_ = 0;
    int64_t lastTick_ = 0;
    int64_t played_ = 0;
    double gain_ = 1.0;
    std::vector<int16_t> written_;
};
