#include "components/audio/backgroundwriter.h"

#include "components/audio/audiofile.h"

BackgroundWriter::BackgroundWriter(AudioFile& file) : file_(file), thread_([this] { run(); }) {}

BackgroundWriter::~BackgroundWriter() { finish(); }

void BackgroundWriter::write(AudioBlock block) {
    if (block.empty()) return;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(block));
    }
    wake_.notify_one();
}

void BackgroundWriter::finish() {
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void BackgroundWriter::run() {
    for (;;) {
        AudioBlock block;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return finishing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            block = std::move(queue_.front());
            queue_.pop_front();
        }
        if (error_.load() != 0) continue;
        file_.writeBlock(block);
        if (file_.getError() != 0) error_.store(file_.getError());
    }
}
