#include "components/recorder/nullpcminput.h"

#include "components/audio/audioblock.h"
#include "components/player/virtualclock.h"

#include <cmath>

NullPcmInput::NullPcmInput(VirtualClock* clock, QObject* parent) : PcmInput(parent), clock_(clock) {
    connect(clock, &VirtualClock::ticked, this, &NullPcmInput::onTick);
    setSources({{"null", "Null Input", false, {}, {}, 2, 65536}}, "null");
    generator_ = [](int64_t frame, int, int rate) {
        return static_cast<int16_t>(std::lround(8192 * std::sin(2 * M_PI * 440.0 * static_cast<double>(frame) / rate)));
    };
}

void NullPcmInput::setSources(std::vector<InputSource> sources, std::string defaultSource) {
    sources_ = std::move(sources);
    defaultSource_ = std::move(defaultSource);
}

bool NullPcmInput::setSourceVolume(const std::string& source, uint32_t volume) {
    for (InputSource& s : sources_) {
        if (s.name == source) {
            s.volume = volume;
            return true;
        }
    }
    return false;
}

bool NullPcmInput::setSourcePort(const std::string& source, const std::string& port) {
    for (InputSource& s : sources_) {
        if (s.name == source) {
            s.activePort = port;
            return true;
        }
    }
    return false;
}

int NullPcmInput::open(const std::string& source, int sampleRate, int channels) {
    if (openError_ != 0) return openError_;
    if (!clock_ || sources_.empty()) return AudioErrorNoDevice;
    openedSource_ = source;
    rate_ = sampleRate;
    channels_ = channels;
    openedAt_ = clock_->nowMs();
    captured_ = 0;
    failed_ = false;
    open_ = true;
    return AudioErrorNone;
}

void NullPcmInput::read(std::vector<int16_t>& samples) {
    if (!open_ || failed_ || !clock_) return;
    const int64_t due = framesAt(clock_->nowMs() - openedAt_);
    for (; captured_ < due; ++captured_) {
        for (int c = 0; c < channels_; ++c) samples.push_back(generator_(captured_, c, rate_));
    }
}

void NullPcmInput::onTick() {
    if (open_) emit pump();
}
