#pragma once
// What the library benchmarks share: the clock, a data root of their own and
// a main window whose start-up has run.

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "components/skin/skinengine.h"
#include "library/main.h"

namespace benchlib {

using Clock = std::chrono::steady_clock;
inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline void pointDataAt(const std::string& home) {
    std::filesystem::create_directories(home);
    ::setenv("TUNEVALE_HOME", home.c_str(), 1);
}

// A shown main window whose start-up has run.
inline Tfm_main* startWindow() {
    auto* w = new Tfm_main;
    w->Parameters.clear();
    fm_main = w;
    w->show();
    while (w->Skin->appliedSection(w).isEmpty()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    return w;
}

inline void closeWindow(Tfm_main* w) {
    delete w;
    fm_main = nullptr;
}

// The tag editor's OK on 1,000 of these tagged MP3 files in a library of
// 100,000 records, and its Close pruning 10,000 artist and 10,000 album
// nodes, each against the literal algorithm.
void BenchTagEditor(const std::string& dir, const std::vector<std::string>& mp3Files);

}  // namespace benchlib
