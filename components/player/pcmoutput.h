#pragma once
// Where the player's samples go: interleaved signed 16-bit frames, written in
// push mode. The output owns the pacing: while open it emits pump() on a short
// period, and the player moves data and raises its events only from there.

#include <QObject>

#include <cstdint>

class PcmOutput : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~PcmOutput() override = default;

    // Opens the device and starts the pump. Returns 0 or an AudioError code;
    // after a failure the output stays closed.
    virtual int open(int sampleRate, int channels) = 0;
    // Stops at once and drops what the device still holds. No pump() follows.
    virtual void close() = 0;
    // Ends a stream that has drained: no pump() follows, but what the server
    // has already taken from it is still heard.
    virtual void finish() { close(); }
    virtual bool isOpen() const = 0;

    // Bytes the device takes now without blocking (whole frames).
    virtual int64_t bytesFree() const = 0;
    // Takes up to bytesFree() bytes; returns how many it took.
    virtual int64_t write(const char* data, int64_t bytes) = 0;
    // Frames the listener has heard since open(): what was written minus
    // what the device still holds. Never above what was written, never
    // going backwards.
    virtual int64_t playedFrames() const = 0;
    // The output's own clock since open(), in milliseconds.
    virtual int64_t elapsedMs() const = 0;
    // Linear gain 0..1.
    virtual void setVolume(double gain) = 0;

signals:
    void pump();
};
