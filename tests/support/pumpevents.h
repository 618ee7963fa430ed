#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace testenv {

// Lets Qt's events run until done() holds or ms have passed; tells whether
// it holds.
inline bool pumpUntil(const std::function<bool()>& done, int ms = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

}  // namespace testenv
