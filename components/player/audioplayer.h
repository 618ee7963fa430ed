#pragma once
// Plays pushed PCM blocks. The caller sets the format, starts the player and
// queues blocks with loadArray(); the player asks for more through its
// events and ends the run when an empty block has been reached and the
// device has played everything before it.
//
// Events (Qt signals on the GUI thread, raised only from the output's pump or
// a deferred call, never from inside a method the caller invoked):
//   onRequestOnLoadArray  the player wants another block: raised while less
//                         than kAheadMs of audio is queued and not yet heard,
//                         so the device never starves on a busy GUI thread.
//   onEndArrayPlay        one per non-empty block, when it has been heard.
//   onTimer               every 100 ms while playing: frames heard since the
//                         last play() and the peak levels (0..32767) of each
//                         channel over the audio heard since the last one.
//   onEndPlay             exactly once per run, after the end block was
//                         reached and the device drained; the player is then
//                         stopped and raises nothing more for that run.
// stop(), setFormat() and play() start a new generation: nothing that belongs
// to an earlier run is raised after they return.

#include "components/audio/audioblock.h"

#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

class PcmOutput;

class AudioPlayer : public QObject {
    Q_OBJECT

public:
    using OutputFactory = std::function<std::unique_ptr<PcmOutput>()>;

    // Plays through the output that the installed factory makes, by default
    // the sound server's default device.
    explicit AudioPlayer(QObject* parent = nullptr);
    explicit AudioPlayer(std::unique_ptr<PcmOutput> output, QObject* parent = nullptr);
    ~AudioPlayer() override;

    // Lets tests put every player that windows create on a null output. An
    // empty factory restores the real device.
    static void setOutputFactory(OutputFactory factory);

    // Stops, drops the queue and sets the format of the next play(). Samples
    // are always 16 bits; other widths, rates or channel counts that the
    // device cannot take leave getError() at AudioErrorUnsupported and make
    // play() fail. The default is 44100 Hz, two channels.
    void setFormat(int sampleRate, int channels);
    void setFormat(int sampleRate, int bitsPerSample, int channels);
    int sampleRate() const { return rate_; }
    int channels() const { return channels_; }

    // Frames in ms at the current format, and back.
    int msToSamples(int ms) const;
    int64_t samplesToMs(int64_t frames) const;

    // Starts, or restarts after stop(), with whatever was queued meanwhile.
    // The played count restarts at 0. getError() is 0 when the device opened;
    // otherwise nothing plays and no event comes. A play() while playing
    // changes nothing.
    void play();
    // Stops at once, dropping the queue and what the device holds (it also
    // serves as pause: read getPosition() first, seek the source there and
    // play() again).
    void stop();
    bool isPlaying() const { return playing_; }

    // Queues a copy of the block. An empty block marks the end of the
    // stream; blocks after it are ignored until the next stop, format or end
    // of play. Accepted while stopped: they play at the next play().
    void loadArray(const AudioBlock& block);

    // Frames heard since the last play(); kept after stop() and after the end
    // of play until the next play().
    int64_t getPosition() const;
    int getError() const { return error_; }

    // 0..65535, clamped; setting it raises no event.
    int volume() const { return volume_; }
    void setVolume(int volume);
    bool mute() const { return mute_; }
    void setMute(bool mute);

    static constexpr int kTimerMs = 100;
    static constexpr int kAheadMs = 500;

signals:
    void onRequestOnLoadArray();
    void onEndArrayPlay();
    void onTimer(qint64 currentSamples, int levelLeft, int levelRight);
    void onEndPlay();

private:
    struct Queued {
        AudioBlock block;
        int64_t endSample;  // stream offset just past this block, in samples
    };

    void pumpOutput();
    void writeToDevice();
    int64_t playedSamples() const;
    void measureLevels(int64_t upToSample);
    bool requestBlocks(uint64_t generation);
    void finishPlay();
    void dropQueue();
    void applyGain();

    std::unique_ptr<PcmOutput> output_;
    int rate_ = 44100;
    int channels_ = 2;
    int formatError_ = AudioErrorNone;
    int error_ = AudioErrorNone;
    int volume_ = 65535;
    bool mute_ = false;

    bool playing_ = false;
    uint64_t generation_ = 0;
    std::deque<Queued> queue_;   // blocks not yet completely heard
    int64_t queuedSamples_ = 0;  // end of the last queued block
    int64_t writtenSamples_ = 0; // handed to the device
    bool endMarked_ = false;
    int64_t position_ = 0;       // frames heard, frozen when stopped

    int64_t nextTimerMs_ = kTimerMs;
    int64_t levelSample_ = 0;
    int peakLeft_ = 0;
    int peakRight_ = 0;
};
