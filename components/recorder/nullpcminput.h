#pragma once
// An input without a server: it captures in real time on a VirtualClock
// what a generator gives (by default a 440 Hz tone at -12 dBFS), lists the
// sources it is told to, keeps their volumes and ports, and can be told to
// fail on open or to break off while capturing.

#include "components/recorder/pcminput.h"

#include <QPointer>

#include <functional>

class VirtualClock;

class NullPcmInput : public PcmInput {
    Q_OBJECT

public:
    // The sample of one channel at a frame since open().
    using Generator = std::function<int16_t(int64_t frame, int channel, int sampleRate)>;

    explicit NullPcmInput(VirtualClock* clock, QObject* parent = nullptr);

    std::vector<InputSource> sources() override { return sources_; }
    std::string defaultSource() override { return defaultSource_; }
    bool setSourceVolume(const std::string& source, uint32_t volume) override;
    bool setSourcePort(const std::string& source, const std::string& port) override;

    int open(const std::string& source, int sampleRate, int channels) override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void read(std::vector<int16_t>& samples) override;
    bool failed() const override { return failed_; }

    // For tests.
    void setSources(std::vector<InputSource> sources, std::string defaultSource);
    void setGenerator(Generator generator) { generator_ = std::move(generator); }
    void setOpenError(int error) { openError_ = error; }
    void breakOff() { failed_ = true; }
    const std::string& openedSource() const { return openedSource_; }
    int sampleRate() const { return rate_; }
    int channels() const { return channels_; }

private:
    void onTick();
    int64_t framesAt(int64_t ms) const { return ms * rate_ / 1000; }

    QPointer<VirtualClock> clock_;
    std::vector<InputSource> sources_;
    std::string defaultSource_;
    Generator generator_;
    int openError_ = 0;
    bool open_ = false;
    bool failed_ = false;
    std::string openedSource_;
    int rate_ = 44100, channels_ = 2;
    int64_t openedAt_ = 0;
    int64_t captured_ = 0;  // frames handed out since open()
};
