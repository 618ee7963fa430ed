#include "components/player/audioplayer.h"

#include "components/player/pcmoutput.h"
#include "components/player/modulepcmoutput.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// More than this many requests in one pump means the caller's blocks are
// tiny; the next pump asks again, so the loop never runs away.
constexpr int kMaxRequestsPerPump = 8;
constexpr int kMaxRate = 384000;
constexpr int kMaxChannels = 32;

AudioPlayer::OutputFactory& installedFactory() {
    static AudioPlayer::OutputFactory factory;
    return factory;
}

std::unique_ptr<PcmOutput> makeOutput() {
    if (const auto& factory = installedFactory()) return factory();
    return std::make_unique<ModulePcmOutput>();
}

// A position on a loudness scale (0..1) as the linear gain a device wants:
// the same curve Qt's multimedia library converts by.
float linearGain(float position) {
    if (position > 0.99f) return 1.0f;
    constexpr float kLog100 = 4.60517018599f;
    return -std::log(1.0f - std::max(0.0f, position)) / kLog100;
}

int peakOf(int16_t sample) { return std::min(32767, std::abs(static_cast<int>(sample))); }

}  // namespace

AudioPlayer::AudioPlayer(QObject* parent) : AudioPlayer(makeOutput(), parent) {}

AudioPlayer::AudioPlayer(std::unique_ptr<PcmOutput> output, QObject* parent)
    : QObject(parent), output_(std::move(output)) {
    connect(output_.get(), &PcmOutput::pump, this, &AudioPlayer::pumpOutput);
    applyGain();
}

AudioPlayer::~AudioPlayer() {
    ++generation_;
    output_->close();
}

void AudioPlayer::setOutputFactory(OutputFactory factory) { installedFactory() = std::move(factory); }

void AudioPlayer::setFormat(int sampleRate, int channels) { setFormat(sampleRate, 16, channels); }

void AudioPlayer::setFormat(int sampleRate, int bitsPerSample, int channels) {
    stop();
    const bool valid = bitsPerSample == 16 && sampleRate > 0 && sampleRate <= kMaxRate && channels > 0 &&
                       channels <= kMaxChannels;
    if (valid) {
        rate_ = sampleRate;
        channels_ = channels;
    }
    formatError_ = valid ? AudioErrorNone : AudioErrorUnsupported;
    error_ = formatError_;
}

int AudioPlayer::msToSamples(int ms) const {
    const int64_t frames = static_cast<int64_t>(ms) * rate_ / 1000;
    return static_cast<int>(std::clamp<int64_t>(frames, INT_MIN, INT_MAX));
}

int64_t AudioPlayer::samplesToMs(int64_t frames) const { return frames * 1000 / rate_; }

void AudioPlayer::play() {
    if (playing_) {
        error_ = AudioErrorNone;
        return;
    }
    if (formatError_ != AudioErrorNone) {
        error_ = formatError_;
        return;
    }
    error_ = output_->open(rate_, channels_);
    if (error_ != AudioErrorNone) return;
    applyGain();

    const uint64_t generation = ++generation_;
    playing_ = true;
    position_ = 0;
    writtenSamples_ = 0;
    nextTimerMs_ = kTimerMs;
    levelSample_ = 0;
    peakLeft_ = peakRight_ = 0;
    // The caller queues its first blocks right after play() returns; the
    // first pump runs as soon as it is back in the event loop, so the device
    // gets them without waiting for the pump period.
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == generation_) pumpOutput();
        },
        Qt::QueuedConnection);
}

void AudioPlayer::stop() {
    if (playing_) {
        position_ = playedSamples() / channels_;
        output_->close();
        playing_ = false;
    }
    ++generation_;
    dropQueue();
}

void AudioPlayer::loadArray(const AudioBlock& block) {
    if (endMarked_) return;
    if (block.empty()) {
        endMarked_ = true;
        // A stream that ends inside a frame is completed with silence, so the
        // device is only ever given whole frames.
        const int64_t partial = queuedSamples_ % channels_;
        if (partial != 0 && !queue_.empty()) {
            queue_.back().block.samples.resize(queue_.back().block.samples.size() + (channels_ - partial), 0);
            queuedSamples_ += channels_ - partial;
            queue_.back().endSample = queuedSamples_;
        }
        return;
    }
    queuedSamples_ += block.size();
    queue_.push_back({block, queuedSamples_});
}

int64_t AudioPlayer::getPosition() const { return playing_ ? playedSamples() / channels_ : position_; }

void AudioPlayer::setVolume(int volume) {
    volume_ = std::clamp(volume, 0, 65535);
    applyGain();
}

void AudioPlayer::setMute(bool mute) {
    mute_ = mute;
    applyGain();
}

void AudioPlayer::applyGain() {
    // The volume is a position on a loudness scale, as a volume control is
    // expected to behave; the device wants a linear gain.
    const float position = static_cast<float>(volume_) / 65535.0f;
    const float gain = mute_ ? 0.0f : linearGain(position);
    output_->setVolume(gain);
}

int64_t AudioPlayer::playedSamples() const {
    return std::min(output_->playedFrames() * channels_, writtenSamples_);
}

void AudioPlayer::pumpOutput() {
    if (!playing_ || !output_->isOpen()) return;
    const uint64_t generation = generation_;

    writeToDevice();
    const int64_t played = playedSamples();
    measureLevels(played);
    while (!queue_.empty() && queue_.front().endSample <= played) {
        queue_.pop_front();
        emit onEndArrayPlay();
        if (generation != generation_) return;
    }
    if (!requestBlocks(generation)) return;
    writeToDevice();

    const int64_t elapsed = output_->elapsedMs();
    if (elapsed >= nextTimerMs_) {
        nextTimerMs_ += kTimerMs;
        if (nextTimerMs_ <= elapsed) nextTimerMs_ = elapsed + kTimerMs;
        const int left = peakLeft_, right = peakRight_;
        peakLeft_ = peakRight_ = 0;
        emit onTimer(played / channels_, left, right);
        if (generation != generation_) return;
    }

    if (endMarked_ && queue_.empty()) finishPlay();
}

void AudioPlayer::writeToDevice() {
    int64_t room = output_->bytesFree() / static_cast<int64_t>(sizeof(int16_t));
    room -= room % channels_;
    if (room <= 0 || writtenSamples_ >= queuedSamples_) return;

    // Gather across block boundaries: a block may end inside a frame.
    std::vector<int16_t> chunk;
    chunk.reserve(static_cast<size_t>(std::min(room, queuedSamples_ - writtenSamples_)));
    for (const Queued& q : queue_) {
        if (static_cast<int64_t>(chunk.size()) >= room) break;
        const int64_t start = q.endSample - q.block.size();
        const int64_t from = std::max<int64_t>(writtenSamples_ + static_cast<int64_t>(chunk.size()), start);
        if (from >= q.endSample) continue;
        const int64_t count = std::min(q.endSample - from, room - static_cast<int64_t>(chunk.size()));
        const int16_t* src = q.block.samples.data() + (from - start);
        chunk.insert(chunk.end(), src, src + count);
    }
    chunk.resize(chunk.size() - chunk.size() % static_cast<size_t>(channels_));
    if (chunk.empty()) return;
    const int64_t taken = output_->write(reinterpret_cast<const char*>(chunk.data()),
                                         static_cast<int64_t>(chunk.size() * sizeof(int16_t)));
    writtenSamples_ += taken / static_cast<int64_t>(sizeof(int16_t));
}

void AudioPlayer::measureLevels(int64_t upToSample) {
    for (const Queued& q : queue_) {
        if (levelSample_ >= upToSample) break;
        const int64_t start = q.endSample - q.block.size();
        const int64_t from = std::max(levelSample_, start);
        const int64_t to = std::min(upToSample, q.endSample);
        for (int64_t i = from; i < to; ++i) {
            const int peak = peakOf(q.block.samples[static_cast<size_t>(i - start)]);
            const int channel = static_cast<int>(i % channels_);
            if (channel == 0 || channels_ == 1) peakLeft_ = std::max(peakLeft_, peak);
            if (channel == 1 || channels_ == 1) peakRight_ = std::max(peakRight_, peak);
        }
        levelSample_ = std::max(levelSample_, to);
    }
}

bool AudioPlayer::requestBlocks(uint64_t generation) {
    const int64_t target = static_cast<int64_t>(rate_) * channels_ * kAheadMs / 1000;
    for (int i = 0; i < kMaxRequestsPerPump && !endMarked_; ++i) {
        if (queuedSamples_ - playedSamples() >= target) break;
        const int64_t before = queuedSamples_;
        emit onRequestOnLoadArray();
        if (generation != generation_) return false;
        if (queuedSamples_ == before) break;  // the caller has nothing more for now
    }
    return true;
}

void AudioPlayer::finishPlay() {
    position_ = playedSamples() / channels_;
    output_->finish();
    playing_ = false;
    ++generation_;
    dropQueue();
    emit onEndPlay();
}

void AudioPlayer::dropQueue() {
    queue_.clear();
    queuedSamples_ = 0;
    writtenSamples_ = 0;
    endMarked_ = false;
    levelSample_ = 0;
    peakLeft_ = peakRight_ = 0;
}
