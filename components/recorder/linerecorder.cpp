#include "components/recorder/linerecorder.h"

#include "components/recorder/pcminput.h"
#include "components/recorder/pulsepcminput.h"

#include <algorithm>

namespace {

LineRecorder::InputFactory& Factory() {
    static LineRecorder::InputFactory factory;
    return factory;
}

std::unique_ptr<PcmInput> MakeInput() {
    if (Factory()) return Factory()();
    return std::make_unique<PulsePcmInput>();
}

}  // namespace

void LineRecorder::setInputFactory(InputFactory factory) { Factory() = std::move(factory); }

LineRecorder::LineRecorder(QObject* parent) : LineRecorder(MakeInput(), parent) {}

LineRecorder::LineRecorder(std::unique_ptr<PcmInput> input, QObject* parent)
    : QObject(parent), input_(std::move(input)) {
    input_->setParent(nullptr);
    connect(input_.get(), &PcmInput::pump, this, &LineRecorder::pumpInput);
}

LineRecorder::~LineRecorder() {
    if (recording_) input_->close();
}

// ---- devices and lines ------------------------------------------------------

void LineRecorder::readLines() {
    const std::vector<InputSource> sources = input_->sources();
    lines_ = InputLinesOf(sources);
    // A port line is the record source only while its port is the active
    // one; remember which ones are.
    activePorts_.clear();
    for (const InputSource& s : sources) activePorts_.emplace_back(s.name, s.activePort);
    defaultSource_ = lines_.empty() ? std::string() : input_->defaultSource();
    if (line_ > lineCount()) line_ = 0;
}

int LineRecorder::deviceCount() {
    readLines();
    return lines_.empty() ? 0 : 1;
}

void LineRecorder::setDevice(int device) {
    device_ = device;
    if (device_ != 1) {
        lines_.clear();
        line_ = 0;
    } else if (lines_.empty()) {
        readLines();
    }
}

void LineRecorder::setLine(int line) { line_ = line >= 1 && line <= lineCount() ? line : 0; }

const InputLine* LineRecorder::currentLine() const {
    return line_ >= 1 && line_ <= lineCount() ? &lines_[static_cast<size_t>(line_ - 1)] : nullptr;
}

QString LineRecorder::lineName() const {
    const InputLine* l = currentLine();
    return l ? QString::fromStdString(l->name) : QString();
}

bool LineRecorder::lineUsable() const {
    const InputLine* l = currentLine();
    return l && l->usable;
}

bool LineRecorder::lineSourceUsable() const { return lineUsable(); }

int LineRecorder::lineVolume() {
    const InputLine* l = currentLine();
    if (!l) return 0;
    for (const InputSource& s : input_->sources()) {
        if (s.name == l->source) return LineVolume(s.volume);
    }
    return 0;
}

void LineRecorder::setLineVolume(int volume) {
    if (const InputLine* l = currentLine()) input_->setSourceVolume(l->source, ServerVolume(volume));
}

bool LineRecorder::recordSource() const {
    const InputLine* l = currentLine();
    if (!l) return false;
    const std::string& source = chosenSource_.empty() ? defaultSource_ : chosenSource_;
    if (l->source != source) return false;
    if (l->port.empty()) return true;
    const auto active = std::find_if(activePorts_.begin(), activePorts_.end(),
                                     [&](const auto& p) { return p.first == l->source; });
    return active != activePorts_.end() && active->second == l->port;
}

void LineRecorder::setRecordSource(bool on) {
    const InputLine* l = currentLine();
    if (!l) return;
    if (!on) {
        if (recordSource()) chosenSource_.clear();
        return;
    }
    chosenSource_ = l->source;
    if (!l->port.empty() && input_->setSourcePort(l->source, l->port)) {
        for (auto& [source, port] : activePorts_) {
            if (source == l->source) port = l->port;
        }
    }
}

// ---- format -------------------------------------------------------------------

int LineRecorder::msToSamples(int ms) const { return static_cast<int>(static_cast<int64_t>(ms) * rate_ / 1000); }

int64_t LineRecorder::samplesToMs(int64_t frames) const { return frames * 1000 / rate_; }

void LineRecorder::setBlockSize(int frames) { blockSize_ = std::max(1, frames); }

void LineRecorder::setFormat(int sampleRate, int channels) {
    if (sampleRate < 1000 || sampleRate > 192000 || channels < 1 || channels > 8) {
        error_ = AudioErrorUnsupported;
        return;
    }
    rate_ = sampleRate;
    channels_ = channels;
    error_ = AudioErrorNone;
}

// ---- recording ----------------------------------------------------------------

void LineRecorder::start() {
    if (recording_) return;
    error_ = input_->open(chosenSource_, rate_, channels_);
    if (error_ != AudioErrorNone) return;
    filters_.configure(rate_, channels_, {notchFilter, notchFrequency}, {highFilter, highFilterFrequency},
                       {lowFilter, lowFilterFrequency});
    gateOn_ = silenceDetection;
    if (gateOn_) gate_.configure(rate_, channels_, attackTime, attackLevel, releaseTime, releaseLevel);
    gainOn_ = autoGain;
    if (gainOn_) gain_.configure(rate_, channels_, autoGainMin, autoGainMax, autoGainStep);
    raw_.clear();
    position_ = 0;
    capturedFrames_ = 0;
    nextTimerFrame_ = msToSamples(kTimerMs);
    recording_ = true;
    ++generation_;
}

void LineRecorder::stop() {
    if (!recording_) return;
    // Closing hands over what the server had already captured.
    input_->close();
    takeCaptured();
    if (gateOn_) {
        const size_t before = kept_.size();
        gate_.flush(kept_);
        keep(before);
    }
    cutBlocks(true);
    recording_ = false;
    ++generation_;
}

void LineRecorder::takeCaptured() {
    input_->read(raw_);
    const size_t channels = static_cast<size_t>(channels_);
    const size_t usable = raw_.size() / channels * channels;
    if (usable == 0) return;
    const auto frames = static_cast<int64_t>(usable / channels);
    filters_.process(raw_.data(), frames);
    capturedFrames_ += frames;
    const size_t before = kept_.size();
    if (gateOn_) gate_.process(raw_.data(), frames, kept_);
    else kept_.insert(kept_.end(), raw_.begin(), raw_.begin() + static_cast<long>(usable));
    raw_.erase(raw_.begin(), raw_.begin() + static_cast<long>(usable));
    keep(before);
}

// Counts, and levels, what has just been appended to kept_ from before on.
void LineRecorder::keep(size_t before) {
    const auto frames = static_cast<int64_t>((kept_.size() - before) / static_cast<size_t>(channels_));
    if (frames == 0) return;
    if (gainOn_) gain_.process(kept_.data() + before, frames);
    position_ += frames;
}

int LineRecorder::cutBlocks(bool all) {
    const size_t blockSamples = static_cast<size_t>(blockSize_) * static_cast<size_t>(channels_);
    size_t used = 0;
    int made = 0;
    while (kept_.size() - used >= blockSamples || (all && used < kept_.size())) {
        const size_t n = std::min(blockSamples, kept_.size() - used);
        ready_.emplace_back(std::vector<int16_t>(kept_.begin() + static_cast<long>(used),
                                                 kept_.begin() + static_cast<long>(used + n)));
        used += n;
        ++made;
    }
    kept_.erase(kept_.begin(), kept_.begin() + static_cast<long>(used));
    return made;
}

void LineRecorder::pumpInput() {
    if (!recording_) return;
    const uint64_t generation = generation_;
    takeCaptured();
    if (input_->failed()) {
        // Whatever came before the break is kept; the caller hears of the
        // failure through the error on the next event.
        input_->close();
        cutBlocks(true);
        recording_ = false;
        ++generation_;
        error_ = AudioErrorDeviceOpen;
        emit onEndArrayRecord(readyBlocks());
        return;
    }
    for (int made = cutBlocks(false); made > 0; --made) {
        emit onEndArrayRecord(readyBlocks());
        if (generation != generation_) return;
    }
    if (capturedFrames_ >= nextTimerFrame_) {
        const int64_t step = std::max(1, msToSamples(kTimerMs));
        while (capturedFrames_ >= nextTimerFrame_) nextTimerFrame_ += step;
        emit onTimer();
    }
}

AudioBlock LineRecorder::getRecordedArray() {
    if (ready_.empty()) return {};
    AudioBlock block = std::move(ready_.front());
    ready_.pop_front();
    return block;
}
