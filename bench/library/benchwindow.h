#pragma once
// The library benchmarks' main window: a data root of their own and a window
// whose start-up has run.

#include <QCoreApplication>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "components/skin/skinengine.h"
#include "library/main.h"

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
