#include "disc/discwindows.h"

namespace {
void (*g_dress)(QWidget*) = nullptr;
}

void SetDiscWindowDresser(void (*dress)(QWidget*)) { g_dress = dress; }

void DressDiscWindow(QWidget* window)
{
    if (g_dress)
        g_dress(window);
}
