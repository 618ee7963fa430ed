#include <QApplication>

#include "library/startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return RunProgram(app);
}
