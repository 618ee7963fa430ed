#pragma once
// Writes blocks to an AudioFile on a thread of its own, in the order they
// were queued, so that a caller on the GUI thread never waits for an
// encoder. The file is created and configured by the caller first; while
// the writer lives, only the writer touches it, and after finish() it is
// the caller's again (to close). A failed write is remembered and reported
// by error(); the blocks after it are dropped, as the file would refuse
// them anyway.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "components/audio/audioblock.h"

class AudioFile;

class BackgroundWriter {
public:
    explicit BackgroundWriter(AudioFile& file);
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    void write(AudioBlock block);
    // The file's error of the first write that failed; 0 while all went well.
    int error() const { return error_.load(); }
    // Waits until every queued block is written and ends the thread.
    void finish();

private:
    void run();

    AudioFile& file_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<AudioBlock> queue_;
    bool finishing_ = false;
    std::atomic<int> error_{0};
    std::thread thread_;
};
