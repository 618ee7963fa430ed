#pragma once
// The grabber's track as the preview plays it: the window opens the track
// on a worker (opening takes the drive, which may wait), and the playback
// session's open then finds it open and starts it from its beginning.

#include "components/disc/cdgrabber.h"

class PreviewTrack : public BlockSource {
public:
    explicit PreviewTrack(CdGrabber& grabber) : grabber_(grabber) {}

    bool open(const std::string& name) override {
        if (grabber_.trackOpen() && std::to_string(grabber_.track()) == name) return grabber_.seek(0);
        return grabber_.open(name);
    }
    bool isOpen() const override { return grabber_.isOpen(); }
    void close() override { grabber_.close(); }
    bool seek(int64_t frame) override { return grabber_.seek(frame); }
    AudioBlock readBlock(int64_t count) override { return grabber_.readBlock(count); }
    bool readFailed() const override { return grabber_.readFailed(); }
    int64_t length() const override { return grabber_.length(); }
    int pcmRate() const override { return grabber_.pcmRate(); }
    int pcmChannels() const override { return grabber_.pcmChannels(); }
    int64_t durationMs() const override { return grabber_.durationMs(); }

private:
    CdGrabber& grabber_;
};
