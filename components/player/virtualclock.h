#pragma once
// A clock that only moves when told to, for outputs that must behave the same
// on every run. advance() moves in fixed steps; before each step the posted
// events (the player's deferred calls) run, as they would in the event loop
// between two timer ticks.

#include <QObject>

#include <cstdint>

class VirtualClock : public QObject {
    Q_OBJECT

public:
    explicit VirtualClock(int stepMs = 10, QObject* parent = nullptr);

    int64_t nowMs() const { return now_; }
    int stepMs() const { return step_; }
    void advance(int64_t ms);

signals:
    void ticked();

private:
    int64_t now_ = 0;
    int step_;
};
