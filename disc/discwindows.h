#pragma once
// What the writer windows share: placing controls, the data writer's
// settings section, and the texts of a writer's failures.

#include <QWidget>

#include <memory>

#include "components/discwriter/discrecorder.h"

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

// A failed write or erase: the writer's reason is in the text itself, where
// the user reads it, not only behind the details.
inline QString WriterErrorText(const QString& reason)
{
    return reason.isEmpty() ? QStringLiteral("Error!") : QStringLiteral("Error! ") + reason;
}

inline QString DriveWaitText() { return QStringLiteral("Waiting for the drive..."); }

// A write asked of a closed disc, refused before anything is prepared.
inline QString ClosedDiscText()
{
    return QStringLiteral("The disc is closed: nothing more can be written on it. Erase it first (Erase CD-RW), "
                          "or insert a blank disc.");
}

// While a writer waits for its drive the window says so, with a busy
// pointer, and its status comes back afterwards.
template <typename GetStatus, typename SetStatus>
void FollowDriveWaits(QWidget* window, DiscRecorder* writer, GetStatus status, SetStatus setStatus)
{
    auto before = std::make_shared<QString>();
    QObject::connect(writer, &DiscRecorder::onWaiting, window, [=](bool waiting) {
        if (waiting) {
            *before = status();
            setStatus(DriveWaitText());
            window->setCursor(Qt::BusyCursor);
        } else {
            setStatus(*before);
            window->unsetCursor();
        }
    });
}
