#include "components/discwriter/trackpipeline.h"

#include <algorithm>

#include "components/discwriter/cdaudiosource.h"

int DefaultDecoderThreads() { return int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)); }

TrackPipeline::TrackPipeline(std::vector<std::string> paths, int threads, std::size_t bufferedBytes)
    : paths_(std::move(paths)), bufferedBytes_(bufferedBytes), tracks_(paths_.size()) {
    if (threads <= 0) threads = DefaultDecoderThreads();
    threads = std::min<int>(threads, int(paths_.size()));
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { decode(); });
}

TrackPipeline::~TrackPipeline() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void TrackPipeline::decode() {
    std::vector<int16_t> pcm;
    for (;;) {
        std::size_t index;
        {
            std::lock_guard lock(mutex_);
            if (stop_ || nextTrack_ >= tracks_.size()) return;
            index = nextTrack_++;
        }
        CdAudioSource source;
        std::string error;
        const bool opened = source.open(paths_[index], &error);
        {
            std::lock_guard lock(mutex_);
            Track& track = tracks_[index];
            track.opened = true;
            track.estimatedFrames = opened ? source.estimatedFrames() : 0;
            if (!opened) {
                track.failed = track.done = true;
                track.error = error;
            }
        }
        changed_.notify_all();
        if (!opened) continue;
        for (;;) {
            const bool ok = source.read(pcm, &error);
            std::unique_lock lock(mutex_);
            Track& track = tracks_[index];
            if (!ok || pcm.empty()) {
                track.done = true;
                track.failed = !ok;
                track.error = error;
                lock.unlock();
                changed_.notify_all();
                break;
            }
            track.bytes += pcm.size() * sizeof(int16_t);
            track.chunks.push_back(std::move(pcm));
            pcm = {};
            changed_.notify_all();
            changed_.wait(lock, [&] { return stop_ || track.bytes < bufferedBytes_; });
            if (stop_) return;
        }
    }
}

bool TrackPipeline::read(std::size_t index, std::vector<int16_t>& out, std::string* error) {
    std::unique_lock lock(mutex_);
    Track& track = tracks_.at(index);
    changed_.wait(lock, [&] { return !track.chunks.empty() || track.done; });
    if (!track.chunks.empty()) {
        out = std::move(track.chunks.front());
        track.chunks.pop_front();
        track.bytes -= out.size() * sizeof(int16_t);
        lock.unlock();
        changed_.notify_all();
        return true;
    }
    out.clear();
    if (track.failed) {
        *error = track.error;
        return false;
    }
    return true;
}

int64_t TrackPipeline::estimatedFrames(std::size_t index) {
    std::unique_lock lock(mutex_);
    Track& track = tracks_.at(index);
    changed_.wait(lock, [&] { return track.opened; });
    return track.estimatedFrames;
}
