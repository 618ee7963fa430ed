#pragma once
// Decodes a disc's tracks to CD quality on several threads while they are
// written in order: a worker takes the next track not yet taken and decodes
// it ahead into a buffer of its own, so that while one track is written the
// next ones are already being decoded. A track buffers at most a fixed
// amount ahead of the writer, so memory stays bounded whatever the tracks'
// lengths. The writer reads the tracks in order, each to its end.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How many files are decoded at once when the caller leaves it open: the
// machine's cores, at most four.
int DefaultDecoderThreads();

class TrackPipeline {
public:
    // threads: decoders at most; 0 chooses from the machine's cores.
    TrackPipeline(std::vector<std::string> paths, int threads = 0, std::size_t bufferedBytes = 32u << 20);
    // Stops the decoders and waits for them.
    ~TrackPipeline();
    TrackPipeline(const TrackPipeline&) = delete;
    TrackPipeline& operator=(const TrackPipeline&) = delete;

    // Replaces out with the next stretch of track's CD frames, empty at the
    // track's end. False with *error when the track cannot be read. Tracks
    // are read in order, each to its end.
    bool read(std::size_t track, std::vector<int16_t>& out, std::string* error);
    // The frames the track's file claims, known once its decoder opened it
    // (read waits for that).
    int64_t estimatedFrames(std::size_t track);

private:
    struct Track {
        std::deque<std::vector<int16_t>> chunks;
        std::size_t bytes = 0;
        bool opened = false, done = false, failed = false;
        int64_t estimatedFrames = 0;
        std::string error;
    };
    void decode();

    std::vector<std::string> paths_;
    std::size_t bufferedBytes_;
    std::vector<Track> tracks_;
    std::size_t nextTrack_ = 0;
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> workers_;
};
