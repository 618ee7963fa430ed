#pragma once
// Records from an input line of the sound server in blocks of blockSize
// frames. The caller picks a device and a line, sets the filters and the
// silence handling, sets the format, starts, takes each finished block with
// getRecordedArray() when onEndArrayRecord says one is ready, and after
// stop() takes the rest until an empty block comes.
//
// Device 1 is the sound server; its lines are its sources, or their ports
// (see inputlines.h). Line numbers count from 1. recordSource chooses the
// line that the next start records from (the server's default source until
// one is chosen); a line that is a port is made the source's active port.
//
// The captured audio runs through the filters, then the silence gate, then
// the automatic gain, in that order. Positions count the frames kept.
//
// Events (Qt signals on the GUI thread, raised only from the input's pump,
// never from inside a method the caller invoked):
//   onEndArrayRecord(n)  a block is ready; n blocks are waiting. Also raised
//                        once, with getError() nonzero, when the input broke
//                        off while recording.
//   onTimer              every kTimerMs of captured audio while recording.
// stop() and start() begin a new run: nothing of an earlier run is raised
// after they return.

#include "components/audio/audioblock.h"
#include "components/recorder/autogain.h"
#include "components/recorder/inputfilters.h"
#include "components/recorder/inputlines.h"
#include "components/recorder/silencegate.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class PcmInput;

class LineRecorder : public QObject {
    Q_OBJECT

public:
    using InputFactory = std::function<std::unique_ptr<PcmInput>()>;

    explicit LineRecorder(QObject* parent = nullptr);
    explicit LineRecorder(std::unique_ptr<PcmInput> input, QObject* parent = nullptr);
    ~LineRecorder() override;

    // Lets tests put every recorder that windows create on a null input. An
    // empty factory restores the sound server.
    static void setInputFactory(InputFactory factory);

    // Devices: 1 when the sound server answers and has a source, else 0.
    // Asking for the count reads the server's sources afresh.
    int deviceCount();
    int device() const { return device_; }
    void setDevice(int device);
    bool deviceUsable() const { return !lines_.empty(); }

    // Lines of the selected device; line() is the one the next calls act on.
    int lineCount() const { return static_cast<int>(lines_.size()); }
    int line() const { return line_; }
    void setLine(int line);
    QString lineName() const;
    bool lineUsable() const;
    bool lineSourceUsable() const;
    // 0..65535; the volume of the line's source at the server.
    int lineVolume();
    void setLineVolume(int volume);
    bool recordSource() const;
    void setRecordSource(bool on);

    bool notchFilter = false;
    float notchFrequency = 50;
    bool highFilter = false;
    float highFilterFrequency = 400;
    bool lowFilter = false;
    float lowFilterFrequency = 4000;

    // Levels on the settings' scale -92..0 (see silencegate.h); times in ms.
    bool silenceDetection = false;
    int attackTime = 300;
    int attackLevel = -1;
    int releaseTime = 100;
    int releaseLevel = -1;
    // dBFS and dB (see autogain.h).
    bool autoGain = false;
    int autoGainMin = -40;
    int autoGainMax = -10;
    int autoGainStep = 4;

    // Frames at the current format.
    int msToSamples(int ms) const;
    int64_t samplesToMs(int64_t frames) const;
    int blockSize() const { return blockSize_; }
    void setBlockSize(int frames);

    // 16-bit samples; the server converts from what the line gives. The
    // default is 44100 Hz, two channels.
    void setFormat(int sampleRate, int channels);
    int sampleRate() const { return rate_; }
    int channels() const { return channels_; }

    // Opens the chosen line with the filters and silence handling as set
    // now. getError() is 0 when it is recording; otherwise nothing is
    // recorded and no event comes. A start while recording changes nothing.
    void start();
    // Stops (it also serves as pause: start() again goes on). What was
    // captured up to here becomes the last blocks, the final one short.
    void stop();
    bool isRecording() const { return recording_; }
    // Frames kept since the last start(); kept after stop().
    int64_t getPosition() const { return position_; }
    int getError() const { return error_; }
    // The oldest waiting block; an empty block when none is left.
    AudioBlock getRecordedArray();
    int readyBlocks() const { return static_cast<int>(ready_.size()); }

    static constexpr int kTimerMs = 100;

signals:
    void onEndArrayRecord(int readyBlocks);
    void onTimer();

private:
    void readLines();
    const InputLine* currentLine() const;
    void pumpInput();
    void takeCaptured();
    void keep(size_t before);
    // Moves whole blocks (all: also the rest) from kept_ to the ready queue;
    // returns how many.
    int cutBlocks(bool all);

    std::unique_ptr<PcmInput> input_;
    std::vector<InputLine> lines_;
    int device_ = 0;
    int line_ = 0;
    std::string chosenSource_;  // the source of the chosen line; empty: the default
    std::string defaultSource_;
    std::vector<std::pair<std::string, std::string>> activePorts_;  // source, its active port

    int rate_ = 44100;
    int channels_ = 2;
    int blockSize_ = 26460;
    int error_ = AudioErrorNone;

    bool recording_ = false;
    uint64_t generation_ = 0;
    int64_t position_ = 0;
    int64_t capturedFrames_ = 0;   // before the gate, for the timer
    int64_t nextTimerFrame_ = 0;
    std::vector<int16_t> raw_;      // read from the input, not yet processed
    std::vector<int16_t> kept_;     // processed, not yet cut into blocks
    std::deque<AudioBlock> ready_;

    InputFilters filters_;
    SilenceGate gate_;
    AutoGain gain_;
    bool gateOn_ = false;
    bool gainOn_ = false;
};
