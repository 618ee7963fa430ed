#include "app/application.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    TunevaleApplication app(argc, argv);
    return RunProgram(app);
}
