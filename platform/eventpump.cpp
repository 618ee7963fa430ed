#include "platform/eventpump.h"

#include <QCoreApplication>

EventPump::EventPump(int intervalMs) : intervalMs_(intervalMs) { since_.start(); }

bool EventPump::pump(const std::function<void()>& before) {
    if (since_.elapsed() < intervalMs_) return false;
    since_.restart();
    if (before) before();
    QCoreApplication::processEvents();
    return true;
}
