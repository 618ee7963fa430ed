#pragma once
// What the data writer's windows share: placing controls and the settings
// section.

#include <QWidget>

inline constexpr const char* kDataCdSection = "Data CD Burner";

template <typename W>
W* PlaceControl(W* w, QWidget* parent, int x, int y, int width, int height)
{
    w->setParent(parent);
    w->setGeometry(x, y, width, height);
    return w;
}

