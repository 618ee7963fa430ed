#include "components/player/modulepcmoutput.h"

#include "components/audio/audioblock.h"
#include "components/player/qtpcmoutput.h"

#include <QTimer>

#include <unistd.h>

#include <climits>

namespace {

std::mutex g_logMutex;
SoundOutModule::ErrorLog g_log;

std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string program(path, static_cast<size_t>(length));
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string(".") : program.substr(0, slash);
}

}  // namespace

SoundOutModule::SoundOutModule(std::string path) : path_(std::move(path)), library_(path_.c_str()) {}

SoundOutModule& SoundOutModule::besideProgram() {
    static SoundOutModule module(programFolder() + "/libtunevale_soundout.so");
    return module;
}

void SoundOutModule::setErrorLog(ErrorLog log) {
    const std::lock_guard lock(g_logMutex);
    g_log = std::move(log);
}

std::unique_ptr<PcmOutput> SoundOutModule::create(int holdAfterMs) {
    if (!library_.handle()) {
        std::call_once(reported_, [this] {
            const QString message = QStringLiteral("No sound output: %1").arg(problem());
            const std::lock_guard lock(g_logMutex);
            if (g_log) g_log(message, QStringLiteral("EModuleLoadError"));
        });
        return nullptr;
    }
    const auto create =
        reinterpret_cast<decltype(&tunevale_soundout_create)>(library_.function("tunevale_soundout_create"));
    return std::unique_ptr<PcmOutput>(create(holdAfterMs));
}

ModulePcmOutput::ModulePcmOutput(SoundOutModule& module, QObject* parent) : PcmOutput(parent), module_(module) {
    QTimer::singleShot(QtPcmOutput::kHoldAfterMs, this, [this] { real(0); });
}

ModulePcmOutput::~ModulePcmOutput() = default;

PcmOutput* ModulePcmOutput::real(int holdAfterMs) {
    if (!tried_) {
        tried_ = true;
        real_ = module_.create(holdAfterMs);
        if (real_) {
            real_->setVolume(gain_);
            connect(real_.get(), &PcmOutput::pump, this, &PcmOutput::pump);
        }
    }
    return real_.get();
}

int ModulePcmOutput::open(int sampleRate, int channels) {
    PcmOutput* const output = real(QtPcmOutput::kHoldAfterMs);
    return output ? output->open(sampleRate, channels) : AudioErrorNoDevice;
}

void ModulePcmOutput::close() {
    if (real_) real_->close();
}

void ModulePcmOutput::finish() {
    if (real_) real_->finish();
}

void ModulePcmOutput::setVolume(double gain) {
    gain_ = gain;
    if (real_) real_->setVolume(gain);
}
