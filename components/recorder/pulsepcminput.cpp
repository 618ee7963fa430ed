#include "components/recorder/pulsepcminput.h"

#include "components/audio/audioblock.h"

#include <pulse/pulseaudio.h>

#include <QElapsedTimer>

#include <cstring>

struct PulsePcmInput::Shared {
    pa_threaded_mainloop* loop = nullptr;
    // Captured bytes not yet read; guarded by the loop's lock.
    std::vector<char> captured;
    bool streamFailed = false;
    // Answers of the query in progress.
    std::vector<InputSource> sources;
    std::string defaultSource;
    bool done = false;
    bool success = false;
};

namespace {

using Shared = PulsePcmInput::Shared;

void Wake(Shared* shared) { pa_threaded_mainloop_signal(shared->loop, 0); }

void OnContextState(pa_context*, void* data) { Wake(static_cast<Shared*>(data)); }

void OnStreamState(pa_stream* stream, void* data) {
    auto* shared = static_cast<Shared*>(data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) shared->streamFailed = true;
    Wake(shared);
}

void OnRead(pa_stream* stream, size_t, void* data) {
    auto* shared = static_cast<Shared*>(data);
    const void* bytes = nullptr;
    size_t size = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &bytes, &size) < 0) {
            shared->streamFailed = true;
            return;
        }
        if (size == 0) break;
        if (bytes) {
            const char* b = static_cast<const char*>(bytes);
            shared->captured.insert(shared->captured.end(), b, b + size);
        } else {
            // A hole: audio the server lost. Silence of the same length
            // keeps the recording's time right.
            shared->captured.resize(shared->captured.size() + size, 0);
        }
        pa_stream_drop(stream);
    }
}

void OnSource(pa_context*, const pa_source_info* info, int eol, void* data) {
    auto* shared = static_cast<Shared*>(data);
    if (eol != 0) {
        shared->success = eol > 0;
        shared->done = true;
        Wake(shared);
        return;
    }
    InputSource s;
    s.name = info->name ? info->name : "";
    s.description = info->description ? info->description : s.name;
    s.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
    s.channels = info->channel_map.channels;
    s.volume = pa_cvolume_avg(&info->volume);
    for (uint32_t i = 0; i < info->n_ports; ++i) {
        const pa_source_port_info* port = info->ports[i];
        s.ports.push_back({port->name ? port->name : "", port->description ? port->description : "",
                           port->available != PA_PORT_AVAILABLE_NO});
    }
    if (info->active_port && info->active_port->name) s.activePort = info->active_port->name;
    shared->sources.push_back(std::move(s));
}

void OnServer(pa_context*, const pa_server_info* info, void* data) {
    auto* shared = static_cast<Shared*>(data);
    shared->defaultSource = info && info->default_source_name ? info->default_source_name : "";
    shared->success = true;
    shared->done = true;
    Wake(shared);
}

void OnSuccess(pa_context*, int success, void* data) {
    auto* shared = static_cast<Shared*>(data);
    shared->success = success != 0;
    shared->done = true;
    Wake(shared);
}

// Waits, with the loop locked, until the operation has answered.
bool Await(Shared* shared, pa_operation* op) {
    if (!op) return false;
    while (!shared->done && pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(shared->loop);
    pa_operation_unref(op);
    return shared->done && shared->success;
}

class Locked {
public:
    explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

}  // namespace

PulsePcmInput::PulsePcmInput(QObject* parent) : PcmInput(parent) {
    pumpTimer_.setTimerType(Qt::PreciseTimer);
    pumpTimer_.setInterval(kPumpMs);
    connect(&pumpTimer_, &QTimer::timeout, this, &PcmInput::pump);
}

PulsePcmInput::~PulsePcmInput() {
    close();
    disconnectServer();
}

bool PulsePcmInput::connectServer() {
    if (context_) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) return true;
        // The server went away: its stream went with it.
        close();
        disconnectServer();
    }
    if (!loop_) {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
            if (loop_) pa_threaded_mainloop_free(loop_);
            loop_ = nullptr;
            return false;
        }
        shared_ = new Shared;
        shared_->loop = loop_;
    }
    Locked lock(loop_);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Tunevale recorder");
    if (!context_) return false;
    pa_context_set_state_callback(context_, OnContextState, shared_);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
        pa_context_unref(context_);
        context_ = nullptr;
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) return true;
        if (!PA_CONTEXT_IS_GOOD(state) || waited.elapsed() > kConnectTimeoutMs) break;
        pa_threaded_mainloop_wait(loop_);
    }
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
    return false;
}

void PulsePcmInput::disconnectServer() {
    if (loop_) {
        {
            Locked lock(loop_);
            if (context_) {
                pa_context_set_state_callback(context_, nullptr, nullptr);
                pa_context_disconnect(context_);
                pa_context_unref(context_);
                context_ = nullptr;
            }
        }
    }
    if (loop_ && !context_ && !stream_) {
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        delete shared_;
        shared_ = nullptr;
    }
}

std::vector<InputSource> PulsePcmInput::sources() {
    if (!connectServer()) return {};
    Locked lock(loop_);
    shared_->sources.clear();
    shared_->done = shared_->success = false;
    if (!Await(shared_, pa_context_get_source_info_list(context_, OnSource, shared_))) return {};
    return std::move(shared_->sources);
}

std::string PulsePcmInput::defaultSource() {
    if (!connectServer()) return {};
    Locked lock(loop_);
    shared_->done = shared_->success = false;
    if (!Await(shared_, pa_context_get_server_info(context_, OnServer, shared_))) return {};
    return shared_->defaultSource;
}

bool PulsePcmInput::setSourceVolume(const std::string& source, uint32_t volume) {
    int channels = 2;
    for (const InputSource& s : sources()) {
        if (s.name == source) channels = s.channels;
    }
    if (!context_) return false;
    Locked lock(loop_);
    pa_cvolume cv;
    pa_cvolume_set(&cv, static_cast<unsigned>(channels), static_cast<pa_volume_t>(volume));
    shared_->done = shared_->success = false;
    return Await(shared_, pa_context_set_source_volume_by_name(context_, source.c_str(), &cv, OnSuccess, shared_));
}

bool PulsePcmInput::setSourcePort(const std::string& source, const std::string& port) {
    if (!connectServer()) return false;
    Locked lock(loop_);
    shared_->done = shared_->success = false;
    return Await(shared_,
                 pa_context_set_source_port_by_name(context_, source.c_str(), port.c_str(), OnSuccess, shared_));
}

int PulsePcmInput::open(const std::string& source, int sampleRate, int channels) {
    close();
    if (!connectServer()) return AudioErrorNoDevice;
    Locked lock(loop_);
    pa_sample_spec sampleFormat;
    sampleFormat.format = PA_SAMPLE_S16NE;
    sampleFormat.rate = static_cast<uint32_t>(sampleRate);
    sampleFormat.channels = static_cast<uint8_t>(channels);
    if (!pa_sample_spec_valid(&sampleFormat)) return AudioErrorUnsupported;
    pa_stream* stream = pa_stream_new(context_, "Recording", &sampleFormat, nullptr);
    if (!stream) return AudioErrorDeviceOpen;
    shared_->captured.clear();
    shared_->streamFailed = false;
    pa_stream_set_state_callback(stream, OnStreamState, shared_);
    pa_stream_set_read_callback(stream, OnRead, shared_);
    pa_buffer_attr attr;
    std::memset(&attr, 0xff, sizeof attr);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentMs * 1000ULL, &sampleFormat));
    if (pa_stream_connect_record(stream, source.empty() ? nullptr : source.c_str(), &attr,
                                 PA_STREAM_ADJUST_LATENCY) < 0) {
        pa_stream_unref(stream);
        return AudioErrorDeviceOpen;
    }
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) break;
        if (!PA_STREAM_IS_GOOD(state)) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_read_callback(stream, nullptr, nullptr);
            pa_stream_unref(stream);
            shared_->streamFailed = false;
            return AudioErrorDeviceOpen;
        }
        pa_threaded_mainloop_wait(loop_);
    }
    stream_ = stream;
    pumpTimer_.start();
    return AudioErrorNone;
}

void PulsePcmInput::close() {
    pumpTimer_.stop();
    if (!stream_) return;
    Locked lock(loop_);
    // What the server has already handed over stays in captured, for the
    // last read.
    OnRead(stream_, 0, shared_);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

void PulsePcmInput::read(std::vector<int16_t>& samples) {
    if (!shared_) return;
    std::vector<char> bytes;
    {
        Locked lock(loop_);
        bytes.swap(shared_->captured);
        // Whole samples only; an odd byte waits for its partner.
        if (bytes.size() % 2 != 0) {
            shared_->captured.push_back(bytes.back());
            bytes.pop_back();
        }
    }
    if (bytes.empty()) return;
    const size_t old = samples.size();
    samples.resize(old + bytes.size() / 2);
    std::memcpy(samples.data() + old, bytes.data(), bytes.size());
}

bool PulsePcmInput::failed() const {
    if (!shared_ || !stream_) return false;
    Locked lock(loop_);
    return shared_->streamFailed;
}
