#pragma once
// Lets the window's events run now and then while a long loop works on the
// GUI thread: often enough that the window repaints and takes its clicks
// (about every 30 ms), rarely enough that repainting does not cost more
// than the work. The interval runs from the start of one pump to the next,
// so the pace holds however long a repaint takes.

#include <QElapsedTimer>

#include <functional>

class EventPump {
public:
    static constexpr int kIntervalMs = 30;

    // The interval starts now.
    explicit EventPump(int intervalMs = kIntervalMs);
    // Starts the interval anew, as a loop begins.
    void restart() { since_.restart(); }
    // Once the interval has passed: runs before (what the loop gathered
    // since the last pump, put in first so that the events find it there),
    // then the pending events. Returns whether it pumped.
    bool pump(const std::function<void()>& before = {});

private:
    QElapsedTimer since_;
    int intervalMs_;
};
