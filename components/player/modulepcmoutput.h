#pragma once
// The sound server's output as the program makes it. QtPcmOutput lives in a
// module of its own, libtunevale_soundout.so beside the program, because Qt's
// multimedia library and the sound server's client libraries it brings cost
// every start the loader's work though a start plays nothing. This output
// stands in for it and loads the module when the output is first needed:
// when a stream opens, or a moment after the output is made, when the real
// one connects the stream that keeps the server's latency short.
//
// Without the module every open fails as it does without a device; why is
// written to standard error and to the program's error log, once.

#include "components/player/pcmoutput.h"

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/lazylibrary.h"

// The module at one path, loaded once.
class SoundOutModule {
public:
    explicit SoundOutModule(std::string path);
    SoundOutModule(const SoundOutModule&) = delete;
    SoundOutModule& operator=(const SoundOutModule&) = delete;

    // The module beside the running program.
    static SoundOutModule& besideProgram();

    // A new output from the module, or null when it cannot be loaded.
    std::unique_ptr<PcmOutput> create(int holdAfterMs);
    // "Cannot load <path>: <the loader's reason>" once loading failed.
    QString problem() const { return QString::fromStdString(library_.problem()); }

    // Where a failure to load is written besides standard error.
    using ErrorLog = std::function<void(const QString& message, const QString& className)>;
    static void setErrorLog(ErrorLog log);

private:
    std::string path_;
    LazyLibrary library_;
    std::once_flag reported_;
};

class ModulePcmOutput : public PcmOutput {
    Q_OBJECT

public:
    explicit ModulePcmOutput(SoundOutModule& module = SoundOutModule::besideProgram(), QObject* parent = nullptr);
    ~ModulePcmOutput() override;

    int open(int sampleRate, int channels) override;
    void close() override;
    void finish() override;
    bool isOpen() const override { return real_ && real_->isOpen(); }
    int64_t bytesFree() const override { return real_ ? real_->bytesFree() : 0; }
    int64_t write(const char* data, int64_t bytes) override { return real_ ? real_->write(data, bytes) : 0; }
    int64_t playedFrames() const override { return real_ ? real_->playedFrames() : 0; }
    int64_t elapsedMs() const override { return real_ ? real_->elapsedMs() : 0; }
    void setVolume(double gain) override;

private:
    // The real output, made on the first call; null without the module.
    PcmOutput* real(int holdAfterMs);

    SoundOutModule& module_;
    std::unique_ptr<PcmOutput> real_;
    bool tried_ = false;
    double gain_ = 1.0;
};
