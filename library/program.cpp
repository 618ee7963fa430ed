#include "library/application.h"
#include "library/startup.h"

int main(int argc, char** argv) {
    TunevaleApplication app(argc, argv);
    return RunProgram(app);
}
