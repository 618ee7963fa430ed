#pragma once
// What the windows of the disc tools share: placing controls, the skin
// dressing and the data writer's settings section.

#include <QWidget>

inline constexpr const char* kDataCdSection = "Data CD Burner";

template <typename W>
W* PlaceControl(W* w, QWidget* parent, int x, int y, int width, int height)
{
    w->setParent(parent);
    w->setGeometry(x, y, width, height);
    return w;
}

// Applies the skin's "Windows" section to a disc tool window; nothing when
// no skin engine was handed over (tests).
void DressDiscWindow(QWidget* window);
void SetDiscWindowDresser(void (*dress)(QWidget*));
