#include <fontconfig/fontconfig.h>

#include <future>

#include "app/application.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    // Reading the font configuration takes milliseconds that the splash's
    // first words would otherwise wait for; it is read while the application
    // object connects to the display.
    const std::future<void> fonts = std::async(std::launch::async, [] { FcInit(); });
    TunevaleApplication app(argc, argv);
    return RunProgram(app);
}
