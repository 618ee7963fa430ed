#include "components/player/virtualclock.h"

#include <QCoreApplication>

#include <algorithm>

VirtualClock::VirtualClock(int stepMs, QObject* parent) : QObject(parent), step_(std::max(1, stepMs)) {}

void VirtualClock::advance(int64_t ms) {
    while (ms > 0) {
        QCoreApplication::sendPostedEvents();
        const int64_t step = std::min<int64_t>(step_, ms);
        now_ += step;
        ms -= step;
        emit ticked();
    }
    QCoreApplication::sendPostedEvents();
}
