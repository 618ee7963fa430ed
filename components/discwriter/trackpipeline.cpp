#include "components/discwriter/trackpipeline.h"

#include <algorithm>

#include "components/discwriter/cdaudiosource.h"

TrackPipeline::TrackPipeline(std::vector<std::string> paths, int threads, std::size_t bufferedBytes)
    : paths_(std::move(paths)), bufferedBytes_(bufferedBytes), tracks_(paths_.size()) {
    if (threads <= 0) threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
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
            if (tracks_[index].dropped) {
                tracks_[index].opened = tracks_[index].done = true;
                continue;
            }
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
                track.failed = track.done = track.openFailed = true;
                track.error = error;
            }
        }
        changed_.notify_all();
        if (!opened) continue;
        for (;;) {
            const bool ok = source.read(pcm, &error);
            std::unique_lock lock(mutex_);
            Track& track = tracks_[index];
            if (track.dropped) break;
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
            changed_.wait(lock, [&] { return stop_ || track.dropped || track.bytes < bufferedBytes_; });
            if (stop_) return;
            if (track.dropped) break;
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

bool TrackPipeline::opened(std::size_t index, int64_t* frames, std::string* error) {
    std::unique_lock lock(mutex_);
    Track& track = tracks_.at(index);
    changed_.wait(lock, [&] { return track.opened; });
    if (track.openFailed) {
        *error = track.error;
        return false;
    }
    *frames = track.estimatedFrames;
    return true;
}

void TrackPipeline::drop(std::size_t index) {
    {
        std::lock_guard lock(mutex_);
        Track& track = tracks_.at(index);
        track.dropped = true;
        track.chunks.clear();
        track.bytes = 0;
    }
    changed_.notify_all();
}
