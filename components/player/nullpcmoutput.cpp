#include "components/player/nullpcmoutput.h"

#include "components/audio/audioblock.h"
#include "components/player/virtualclock.h"

#include <algorithm>

NullPcmOutput::NullPcmOutput(VirtualClock* clock, int bufferMs, QObject* parent)
    : PcmOutput(parent), clock_(clock), bufferMs_(bufferMs) {
    connect(clock, &VirtualClock::ticked, this, &NullPcmOutput::onTick);
}

int NullPcmOutput::open(int sampleRate, int channels) {
    if (openError_ != 0) return openError_;
    if (!clock_) return AudioErrorNoDevice;
    rate_ = sampleRate;
    channels_ = channels;
    openedAt_ = lastTick_ = clock_->nowMs();
    played_ = 0;
    written_.clear();
    open_ = true;
    ++openCount_;
    return AudioErrorNone;
}

void NullPcmOutput::close() { open_ = false; }

int64_t NullPcmOutput::bytesFree() const {
    if (!open_) return 0;
    const int64_t capacity = framesAt(bufferMs_);
    const int64_t held = static_cast<int64_t>(written_.size()) / channels_ - played_;
    return std::max<int64_t>(0, capacity - held) * channels_ * static_cast<int64_t>(sizeof(int16_t));
}

int64_t NullPcmOutput::write(const char* data, int64_t bytes) {
    if (!open_) return 0;
    const int64_t frameBytes = channels_ * static_cast<int64_t>(sizeof(int16_t));
    const int64_t take = std::min(bytes, bytesFree()) / frameBytes * frameBytes;
    const auto* samples = reinterpret_cast<const int16_t*>(data);
    written_.insert(written_.end(), samples, samples + take / static_cast<int64_t>(sizeof(int16_t)));
    return take;
}

int64_t NullPcmOutput::elapsedMs() const { return open_ && clock_ ? clock_->nowMs() - openedAt_ : 0; }

void NullPcmOutput::onTick() {
    if (!open_) return;
    // The device plays on whether or not it has data: time spent starved is
    // silence, it is not made up for later.
    const int64_t now = clock_->nowMs();
    const int64_t due = framesAt(now - openedAt_) - framesAt(lastTick_ - openedAt_);
    lastTick_ = now;
    const int64_t writtenFrames = static_cast<int64_t>(written_.size()) / channels_;
    played_ = std::min(writtenFrames, played_ + due);
    emit pump();
}
