#pragma once
// Feeds an AudioPlayer as the windows do and logs its events, on the null
// output or on the sound server's device.

#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

enum class Ev { Request, EndArray, Timer, EndPlay };

struct Event {
    Ev kind;
    int64_t atMs;
    int64_t frames = 0;
    int left = 0;
    int right = 0;
};

// Stereo tone with a loud left and a quiet right channel, so levels can be
// told apart and every sample is different from its neighbours.
inline std::vector<int16_t> tone(int rate, int channels, int ms, int ampLeft = 12000, int ampRight = 3000) {
    const int frames = rate * ms / 1000;
    std::vector<int16_t> s;
    s.reserve(static_cast<size_t>(frames * channels));
    for (int i = 0; i < frames; ++i) {
        const double v = std::sin(2 * M_PI * 440.0 * i / rate);
        s.push_back(static_cast<int16_t>(std::lround(ampLeft * v)));
        if (channels > 1) s.push_back(static_cast<int16_t>(std::lround(ampRight * v)));
    }
    return s;
}

// Drives a player the way the windows do: two blocks at the start, one more on
// every request and every end-of-block event, a block of msToSamples(200)
// samples read from a source that returns an empty block at its end. Events
// are logged with the time they came: on the null output, by a clock the test
// moves; on the device, by the wall clock.
class Harness {
public:
    enum Output { Null, Device };
    explicit Harness(Output where = Null) {
        if (where == Device) {
            wall.start();
            player = std::make_unique<AudioPlayer>();  // the default output, as the windows play
        } else {
            auto out = std::make_unique<NullPcmOutput>(&clock);
            output = out.get();
            player = std::make_unique<AudioPlayer>(std::move(out));
        }
        QObject::connect(player.get(), &AudioPlayer::onRequestOnLoadArray, [this] {
            log(Ev::Request);
            if (feedOnRequest) feed();
        });
        QObject::connect(player.get(), &AudioPlayer::onEndArrayPlay, [this] {
            log(Ev::EndArray);
            if (onEndArray) onEndArray();
            if (feedOnEndArray) feed();
        });
        QObject::connect(player.get(), &AudioPlayer::onTimer, [this](qint64 frames, int l, int r) {
            events.push_back({Ev::Timer, nowMs(), frames, l, r});
        });
        QObject::connect(player.get(), &AudioPlayer::onEndPlay, [this] {
            log(Ev::EndPlay);
            if (onEndPlay) onEndPlay();
        });
    }

    void setSource(std::vector<int16_t> samples) {
        source = std::move(samples);
        readPos = 0;
    }

    void feed() {
        const size_t n = std::min(source.size() - readPos, static_cast<size_t>(blockSamples));
        AudioBlock block(std::vector<int16_t>(source.begin() + static_cast<long>(readPos),
                                              source.begin() + static_cast<long>(readPos + n)));
        readPos += n;
        if (!block.empty()) ++blocksFed;
        player->loadArray(block);
    }

    // As the main window starts a track.
    void start(int rate, int channels) {
        player->setFormat(rate, channels);
        blockSamples = player->msToSamples(200);
        player->play();
        ASSERT_EQ(player->getError(), 0);
        feed();
        feed();
    }

    void play(std::vector<int16_t> samples, int rate = 44100, int channels = 2) {
        setSource(std::move(samples));
        start(rate, channels);
    }

    int count(Ev kind) const {
        int n = 0;
        for (const Event& e : events) n += e.kind == kind;
        return n;
    }
    const Event* last(Ev kind) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->kind == kind) return &*it;
        return nullptr;
    }
    int64_t eventsSince(size_t index) const { return static_cast<int64_t>(events.size() - index); }
    int64_t nowMs() const { return wall.isValid() ? wall.elapsed() : clock.nowMs(); }

    VirtualClock clock{10};
    QElapsedTimer wall;
    NullPcmOutput* output = nullptr;  // on the null output only
    std::unique_ptr<AudioPlayer> player;
    std::vector<Event> events;
    std::vector<int16_t> source;
    size_t readPos = 0;
    int blockSamples = 8820;
    int blocksFed = 0;
    bool feedOnRequest = true;
    bool feedOnEndArray = true;
    std::function<void()> onEndArray;
    std::function<void()> onEndPlay;

private:
    void log(Ev kind) { events.push_back({kind, nowMs()}); }
};

