#pragma once
// What the library benchmarks share: their program's set-up, a data root of
// their own and a main window whose start-up has run.

#include <QApplication>
#include <QCoreApplication>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/support/benchsupport.h"
#include "components/player/audioplayer.h"
#include "components/player/nullpcmoutput.h"
#include "components/player/virtualclock.h"
#include "components/skin/skinengine.h"
#include "library/main.h"
#include "platform/fakes.h"

// A benchmark program: a temporary folder that holds its settings and desktop
// entry, the application on the offscreen platform, every player on the null
// output of a clock of its own, and message boxes that answer themselves.
class LibraryBenchProgram {
public:
    LibraryBenchProgram(const char* name, int& argc, char** argv)
        : dir(name), environment_(prepareEnvironment(dir)), app(argc, argv) {
        AudioPlayer::setOutputFactory([this] { return std::make_unique<NullPcmOutput>(&clock); });
    }
    ~LibraryBenchProgram() { AudioPlayer::setOutputFactory({}); }
    LibraryBenchProgram(const LibraryBenchProgram&) = delete;
    LibraryBenchProgram& operator=(const LibraryBenchProgram&) = delete;

    bench::TempFolder dir;

private:
    static int prepareEnvironment(const bench::TempFolder& dir) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ::setenv("TUNEVALE_CONFIG_DIR", (dir / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir / "xdg").c_str(), 1);
        return 0;
    }
    int environment_;  // set before the application is made

public:
    QApplication app;
    VirtualClock clock;
    FakeMessageBoxes boxes;
};

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
