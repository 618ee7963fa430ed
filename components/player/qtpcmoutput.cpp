#include "components/player/qtpcmoutput.h"

#include "components/audio/audioblock.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>

namespace {

// While no stream is connected, the sound server renders up to two seconds
// of silence ahead; a stream that connects then is heard only once that
// silence has played. Every play would start that late, and a stop followed
// at once by a play (a seek on the position bar) would go silent as long. A
// paused stream of ours, held while any output exists, keeps the server at a
// short latency; paused, it does not count as playing, so the server may
// still suspend its device.
class LatencyHold {
public:
    static void addUser() { ++users_; }
    static void removeUser() {
        if (--users_ > 0 || !sink_) return;
        sink_->reset();
        sink_->stop();
        delete sink_;
        sink_ = nullptr;
    }
    // Connecting to the server takes milliseconds, which a start would
    // otherwise spend before its window is painted; it is done a moment
    // after the first output is made, or when a stream is about to play if
    // that comes first.
    static void ensure() {
        if (users_ == 0 || sink_) return;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return;
        QAudioFormat format;
        format.setSampleRate(44100);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        auto sink = std::make_unique<QAudioSink>(device, format);
        sink->setBufferSize(44100 * 4 * QtPcmOutput::kBufferMs / 1000);
        if (!sink->start() || sink->error() != QAudio::NoError) return;
        sink->suspend();
        sink_ = sink.release();
    }

private:
    static inline int users_ = 0;
    static inline QAudioSink* sink_ = nullptr;
};

}  // namespace

QtPcmOutput::QtPcmOutput(QObject* parent, int holdAfterMs) : PcmOutput(parent) {
    pumpTimer_.setTimerType(Qt::PreciseTimer);
    pumpTimer_.setInterval(kPumpMs);
    connect(&pumpTimer_, &QTimer::timeout, this, &PcmOutput::pump);
    LatencyHold::addUser();
    QTimer::singleShot(holdAfterMs, this, [] { LatencyHold::ensure(); });
}

QtPcmOutput::~QtPcmOutput() {
    close();
    LatencyHold::removeUser();
}

int QtPcmOutput::open(int sampleRate, int channels) {
    close();
    LatencyHold::ensure();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return AudioErrorNoDevice;

    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) return AudioErrorUnsupported;

    frameBytes_ = channels * static_cast<int>(sizeof(int16_t));
    auto sink = std::make_unique<QAudioSink>(device, format);
    sink->setBufferSize(static_cast<qsizetype>(sampleRate) * kBufferMs / 1000 * frameBytes_);
    sink->setVolume(gain_);
    QIODevice* io = sink->start();
    if (!io || sink->error() != QAudio::NoError) return AudioErrorDeviceOpen;

    sink_ = std::move(sink);
    io_ = io;
    writtenFrames_ = 0;
    playedFloor_ = 0;
    emptySince_.invalidate();
    clock_.start();
    pumpTimer_.start();
    return AudioErrorNone;
}

void QtPcmOutput::close() {
    pumpTimer_.stop();
    if (!sink_) return;
    // reset() drops what the server still holds; stop() alone would let it
    // play out after a pause.
    sink_->reset();
    sink_->stop();
    sink_.reset();
    io_ = nullptr;
}

void QtPcmOutput::finish() {
    pumpTimer_.stop();
    if (!sink_) return;
    // The stream counts as drained once the server has mixed its last frame
    // into the sink, which plays it a little later. Removing the stream now
    // would make the server take that mix back and cut the end of the track,
    // so it stays connected, silent, for a while; a next stream may open
    // beside it meanwhile.
    playedFloor_ = writtenFrames_;
    QAudioSink* retiring = sink_.release();
    retiring->setParent(this);
    QTimer::singleShot(kRetireMs, retiring, &QObject::deleteLater);
    io_ = nullptr;
}

int64_t QtPcmOutput::bytesFree() const {
    if (!sink_) return 0;
    return sink_->bytesFree() / frameBytes_ * frameBytes_;
}

int64_t QtPcmOutput::write(const char* data, int64_t bytes) {
    if (!io_) return 0;
    const int64_t taken = io_->write(data, bytes / frameBytes_ * frameBytes_);
    if (taken <= 0) return 0;
    writtenFrames_ += taken / frameBytes_;
    return taken;
}

int64_t QtPcmOutput::playedFrames() const {
    if (!sink_) return playedFloor_;
    int64_t played;
    const int64_t room = sink_->bufferSize() - sink_->bytesFree();
    if (room > 0) emptySince_.invalidate();
    else if (!emptySince_.isValid()) emptySince_.start();
    if (sink_->state() == QAudio::IdleState || (emptySince_.isValid() && emptySince_.elapsed() >= kRetireMs / 2)) {
        // Idle in push mode means the server ran out of data: all of it was
        // heard. A buffer that has read as empty for long enough says the
        // same, should the idle state never come.
        played = writtenFrames_;
    } else {
        // The server grants room in chunks, so the room left can read as the
        // whole buffer while the end of the stream is still queued; only the
        // idle state says at once that the last frame has gone.
        played = writtenFrames_ - std::max<int64_t>(1, room / frameBytes_);
    }
    playedFloor_ = std::clamp(played, playedFloor_, writtenFrames_);
    return playedFloor_;
}

int64_t QtPcmOutput::elapsedMs() const { return sink_ ? clock_.elapsed() : 0; }

void QtPcmOutput::setVolume(double gain) {
    gain_ = gain;
    if (sink_) sink_->setVolume(gain);
}

extern "C" PcmOutput* tunevale_soundout_create(int holdAfterMs) { return new QtPcmOutput(nullptr, holdAfterMs); }
