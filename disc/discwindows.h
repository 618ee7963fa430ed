#pragma once
// What the data writer's windows share: placing controls and the settings
// section.

#include <QWidget>

#include "platform/messageboxes.h"

inline constexpr const char* kDataCdSection = "Data CD Burner";

template <typename W>
W* PlaceControl(W* w, QWidget* parent, int x, int y, int width, int height)
{
    w->setParent(parent);
    w->setGeometry(x, y, width, height);
    return w;
}


// A message box with the caption the windows give it (OK only); details
// (what the disc library said) are shown on demand.
inline void TellDisc(const QString& text, const QString& caption, QWidget* parent = nullptr,
                     MessageKind kind = MessageKind::Information, const QString& details = QString())
{
    MessageRequest request;
    request.kind = kind;
    request.title = caption;
    request.text = text;
    request.parent = parent;
    request.details = details;
    ShowMessage(request);
}
