#include "app/application.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    StartReadingFontConfiguration();
    TunevaleApplication app(argc, argv);
    return RunProgram(app);
}
