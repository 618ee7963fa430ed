#pragma once
// Where the recorder's samples come from: the sound server's sources, each
// with its ports and volume, and a capture stream of interleaved signed
// 16-bit frames from one of them. The input owns the pacing: while a stream
// is open it emits pump() on a short, steady period, and the recorder takes
// everything captured so far from there, so no frame depends on a
// notification that might not come.

#include <QObject>

#include <cstdint>
#include <string>
#include <vector>

struct InputPort {
    std::string name;
    std::string description;
    bool available = true;  // false when the server knows nothing is plugged in
};

struct InputSource {
    std::string name;         // the server's name, used to open it
    std::string description;  // what the user sees
    bool monitor = false;     // the sound of an output, not an input
    std::vector<InputPort> ports;
    std::string activePort;
    int channels = 2;
    uint32_t volume = 65536;  // the server's scale: 65536 is full volume
};

class PcmInput : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~PcmInput() override = default;

    // The sources as the server lists them now; empty when it cannot be
    // reached.
    virtual std::vector<InputSource> sources() = 0;
    // The source the server records from by default; empty when unknown.
    virtual std::string defaultSource() = 0;
    // volume on the server's scale. False when the server refused.
    virtual bool setSourceVolume(const std::string& source, uint32_t volume) = 0;
    virtual bool setSourcePort(const std::string& source, const std::string& port) = 0;

    // Opens a capture stream at the given format (the server converts) and
    // starts the pump. Returns 0 or an AudioError code; after a failure the
    // input stays closed.
    virtual int open(const std::string& source, int sampleRate, int channels) = 0;
    // Stops capturing; what was captured and not yet read stays readable.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Appends every whole frame captured since the last read.
    virtual void read(std::vector<int16_t>& samples) = 0;
    // True once the stream broke off (the server went away).
    virtual bool failed() const = 0;

signals:
    void pump();
};
