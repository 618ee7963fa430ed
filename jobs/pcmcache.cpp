#include "jobs/pcmcache.h"

#include <fcntl.h>

#include <algorithm>

bool PcmCache::open(const std::string& folder, int channels, int64_t maxBytes) {
    file_ = PosixFile(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    channels_ = std::max(channels, 1);
    maxBytes_ = maxBytes;
    samples_ = readSamples_ = 0;
    failed_ = readFailed_ = false;
    return file_.isOpen();
}

bool PcmCache::append(const AudioBlock& block) {
    if (!usable()) return false;
    const int64_t bytes = block.byteCount();
    if ((samples_ * 2) + bytes > maxBytes_ ||
        !file_.writeAt(static_cast<uint64_t>(samples_) * 2,
                       {reinterpret_cast<const uint8_t*>(block.samples.data()), static_cast<size_t>(bytes)})) {
        failed_ = true;
        file_.close();
        return false;
    }
    samples_ += block.size();
    return true;
}

AudioBlock PcmCache::read(int64_t samples) {
    AudioBlock block;
    const int64_t whole = std::max<int64_t>(samples - samples % channels_, channels_);
    const int64_t wanted = std::min(whole, samples_ - readSamples_);
    if (!usable() || wanted <= 0) return block;
    block.samples.resize(static_cast<size_t>(wanted));
    if (!file_.readAll(static_cast<uint64_t>(readSamples_) * 2,
                       {reinterpret_cast<uint8_t*>(block.samples.data()), static_cast<size_t>(wanted) * 2})) {
        readFailed_ = true;
        return {};
    }
    readSamples_ += wanted;
    return block;
}
